#include "SegyZarr.h"

#include "SegySamples.h"
#include "SegyZarrStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include <fcntl.h>

using namespace SegyZarrNames;

namespace {

constexpr int kTraceHeaderBytes = 240;
// Longest chunk of a coordinate array.
constexpr qint64 kCoordinateChunk = qint64{1} << 20;

struct ExportPlan {
    const SegyFile* file = nullptr;
    const SegyGeometry* geometry = nullptr;
    SegyGeometryKind kind = SegyGeometryKind::Unstructured;
    bool offsets = false; // a 2D line of several offsets
    QString store; // the hidden folder being written
    int samples = 0;
    int headerBytes = kTraceHeaderBytes;
    int format = 1;
    bool little = false;
    SegyField cdpXField = {};
    SegyField cdpYField = {};
    SegyField scalarField = {};
    ZarrArray amplitude;
    ZarrArray live;
    ZarrArray headers;
    ZarrArray cdpX;
    ZarrArray cdpY;

    int TraceDimensions() const { return int(live.shape.size()); }
    qint64 BlockCount() const
    {
        qint64 n = 1;
        for (int d = 0; d < TraceDimensions(); ++d)
            n *= live.ChunkCount(d);
        return n;
    }
    qint64 TraceAt(const std::vector<qint64>& at) const
    {
        const SegyGeometry& g = *geometry;
        switch (kind) {
        case SegyGeometryKind::Cube:
            return g.TraceNumber(g.Inlines().At(at[0]), g.Crosslines().At(at[1]));
        case SegyGeometryKind::Prestack:
            return g.TraceNumber(
                g.Inlines().At(at[0]), g.Crosslines().At(at[1]), g.Offsets()[std::size_t(at[2])]);
        case SegyGeometryKind::Line:
            return offsets ? g.TraceNumber(g.Cdps().At(at[0]), 0, g.Offsets()[std::size_t(at[1])])
                           : g.TraceNumber(g.Cdps().At(at[0]), 0);
        case SegyGeometryKind::Unstructured:
            return at[0];
        }
        return -1;
    }
};

QString ChunkError(const ExportPlan& plan, const ZarrArray& array, const std::vector<qint64>& index,
    const QString& reason)
{
    return plan.store
        + QStringLiteral(": %1: chunk %2: %3")
              .arg(array.name, QString::fromLatin1(ZarrChunkKey(index)), reason);
}

double Scaled(qint64 value, qint64 scalar)
{
    if (scalar < 0)
        return double(value) / double(-scalar);
    return double(value) * double(scalar == 0 ? 1 : scalar);
}

// Writes every chunk of one block of positions (one chunk of `live`): the samples chunk by
// chunk along `sample`, then the headers, the live mask and the coordinates. Buffers are kept
// from block to block.
class BlockWriter {
public:
    explicit BlockWriter(const ExportPlan& plan)
        : plan(plan)
    {
    }

    bool Write(qint64 block, qint64* liveCount, QString* error)
    {
        const int n = plan.TraceDimensions();
        std::vector<qint64> index(static_cast<std::size_t>(n));
        for (int d = n - 1; d >= 0; --d) {
            index[std::size_t(d)] = block % plan.live.ChunkCount(d);
            block /= plan.live.ChunkCount(d);
        }
        FindTraces(index);
        *liveCount = 0;
        const std::size_t positions = traces.size();
        live.assign(positions, 0);
        for (std::size_t p = 0; p < positions; ++p)
            live[p] = traces[p] >= 0 ? 1 : 0;
        *liveCount = std::count(live.begin(), live.end(), 1);

        const qint64 sampleChunk = plan.amplitude.chunks.back();
        std::vector<qint64> key = index;
        key.push_back(0);
        samples.resize(plan.amplitude.ChunkElements());
        QString reason;
        for (qint64 c = 0; c < plan.amplitude.ChunkCount(n); ++c) {
            key.back() = c;
            FillSamples(int(c * sampleChunk), int(sampleChunk));
            if (!WriteZarrChunk(plan.amplitude, ZarrChunkPath(plan.store, plan.amplitude, key),
                    samples.data(), &work, &reason)) {
                *error = ChunkError(plan, plan.amplitude, key, reason);
                return false;
            }
        }
        if (!FillHeaders(error))
            return false;
        key.back() = 0;
        return WriteChunk(plan.headers, key, headers.data(), error)
            && WriteChunk(plan.live, index, live.data(), error)
            && WriteChunk(plan.cdpX, index, xs.data(), error)
            && WriteChunk(plan.cdpY, index, ys.data(), error);
    }

private:
    void FindTraces(const std::vector<qint64>& index)
    {
        const int n = plan.TraceDimensions();
        const std::size_t positions = std::size_t(plan.live.ChunkElements());
        traces.assign(positions, -1);
        std::vector<qint64> at(std::size_t(n), 0);
        std::vector<qint64> global(static_cast<std::size_t>(n));
        for (std::size_t p = 0; p < positions; ++p) {
            bool inside = true;
            for (int d = 0; d < n; ++d) {
                global[std::size_t(d)]
                    = index[std::size_t(d)] * plan.live.chunks[std::size_t(d)] + at[std::size_t(d)];
                inside = inside && global[std::size_t(d)] < plan.live.shape[std::size_t(d)];
            }
            if (inside)
                traces[p] = plan.TraceAt(global);
            for (int d = n - 1; d >= 0 && ++at[std::size_t(d)] == plan.live.chunks[std::size_t(d)];
                 --d)
                at[std::size_t(d)] = 0;
        }
    }

    // Samples [first, first + count) of every position; zeros past a trace's end and where no
    // trace is.
    void FillSamples(int first, int count)
    {
        const SegyFile& file = *plan.file;
        const int bytesPerSample = file.Format().bytesPerSample;
        for (std::size_t p = 0; p < traces.size(); ++p) {
            float* dst = samples.data() + p * std::size_t(count);
            int n = 0;
            if (traces[p] >= 0) {
                const int end = std::min(plan.samples, file.SampleCount(traces[p]));
                n = std::max(0, std::min(count, end - first));
                if (n > 0)
                    DecodeSegySamples(file.RawSamples(traces[p]) + qint64(first) * bytesPerSample,
                        plan.format, plan.little, dst, n);
            }
            std::fill(dst + n, dst + count, 0.0f);
        }
    }

    bool FillHeaders(QString* error)
    {
        const std::size_t positions = traces.size();
        const std::size_t width = std::size_t(plan.headerBytes);
        headers.assign(positions * width, 0);
        xs.assign(positions, std::numeric_limits<double>::quiet_NaN());
        ys.assign(positions, std::numeric_limits<double>::quiet_NaN());
        SegyTraceHeader header;
        for (std::size_t p = 0; p < positions; ++p) {
            if (traces[p] < 0)
                continue;
            if (!plan.file->ReadTraceHeader(traces[p], &header, error))
                return false;
            unsigned char* dst = headers.data() + p * width;
            std::memcpy(dst, header.Bytes(), kTraceHeaderBytes);
            if (width > kTraceHeaderBytes) {
                const QByteArray more = plan.file->RawAdditionalTraceHeaders(traces[p]);
                std::memcpy(dst + kTraceHeaderBytes, more.constData(),
                    std::min(std::size_t(more.size()), width - kTraceHeaderBytes));
            }
            const qint64 scalar = header.Value(plan.scalarField);
            xs[p] = Scaled(header.Value(plan.cdpXField), scalar);
            ys[p] = Scaled(header.Value(plan.cdpYField), scalar);
        }
        return true;
    }

    bool WriteChunk(
        const ZarrArray& array, const std::vector<qint64>& index, const void* data, QString* error)
    {
        QString reason;
        if (WriteZarrChunk(array, ZarrChunkPath(plan.store, array, index), data, &work, &reason))
            return true;
        *error = ChunkError(plan, array, index, reason);
        return false;
    }

    const ExportPlan& plan;
    std::vector<qint64> traces;
    std::vector<float> samples;
    std::vector<unsigned char> headers;
    std::vector<unsigned char> live;
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<unsigned char> work;
};

// Removes the hidden folder unless the store was placed.
struct PendingStore {
    QString path;
    bool placed = false;
    ~PendingStore()
    {
        if (!placed && !path.isEmpty())
            QDir(path).removeRecursively();
    }
};

QString WithoutPrefix(const QString& message, const QString& path)
{
    const QString prefix = path + QStringLiteral(": ");
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

QString Text(const QStringList& lines)
{
    QStringList trimmed;
    for (const QString& line : lines)
        trimmed << line.trimmed();
    while (!trimmed.isEmpty() && trimmed.last().isEmpty())
        trimmed.removeLast();
    return trimmed.join(QLatin1Char('\n'));
}

ZarrArray MakeArray(const char* name, const char* dtype, const std::vector<qint64>& shape,
    const std::vector<qint64>& chunks, const QStringList& dimensions,
    const SegyZarrExportOptions& options)
{
    ZarrArray a;
    a.name = QString::fromLatin1(name);
    a.dtype = dtype;
    a.shape = shape;
    a.chunks = chunks;
    a.dimensions = dimensions;
    a.compression = options.compression;
    a.level = options.level;
    return a;
}

// A one-dimensional array whose element i is value(i), chunk by chunk.
template <typename T, typename Value>
bool WriteVector(const QString& store, const ZarrArray& array, Value value, QString* error)
{
    std::vector<T> chunk(std::size_t(array.chunks[0]));
    std::vector<unsigned char> work;
    for (qint64 c = 0; c < array.ChunkCount(0); ++c) {
        for (qint64 i = 0; i < array.chunks[0]; ++i) {
            const qint64 at = c * array.chunks[0] + i;
            chunk[std::size_t(i)] = at < array.shape[0] ? T(value(at)) : T(0);
        }
        QString reason;
        if (!WriteZarrChunk(
                array, ZarrChunkPath(store, array, {c}), chunk.data(), &work, &reason)) {
            *error = store + QStringLiteral(": %1: %2").arg(array.name, reason);
            return false;
        }
    }
    return true;
}

ZarrArray Coordinate(
    const char* name, const char* dtype, qint64 length, const SegyZarrExportOptions& options)
{
    return MakeArray(name, dtype, {length},
        {std::max<qint64>(1, std::min(length, kCoordinateChunk))}, {QString::fromLatin1(name)},
        options);
}

std::vector<qint64> DefaultChunks(SegyGeometryKind kind, bool offsets)
{
    switch (kind) {
    case SegyGeometryKind::Cube:
        return {64, 64, 256};
    case SegyGeometryKind::Prestack:
        return {16, 16, 16, 256};
    case SegyGeometryKind::Line:
        if (offsets)
            return {256, 16, 256};
        return {4096, 256};
    case SegyGeometryKind::Unstructured:
        return {4096, 256};
    }
    return {};
}

// Renames the finished store into place; an earlier store there is swapped out and removed.
bool PlaceStore(PendingStore* pending, const QString& target, QString* error)
{
    const QByteArray from = QFile::encodeName(pending->path);
    const QByteArray to = QFile::encodeName(target);
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink()) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE)
            != 0) {
            *error = target
                + QStringLiteral(": cannot replace: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        pending->placed = true;
        QDir(pending->path).removeRecursively();
        return true;
    }
    if (std::rename(from.constData(), to.constData()) != 0) {
        *error = target
            + QStringLiteral(": cannot rename into place: %1")
                  .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    pending->placed = true;
    return true;
}

bool CheckTarget(const QString& target, QString* error)
{
    const QFileInfo info(target);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() && QFileInfo::exists(target + QStringLiteral("/.zgroup")))
        return true;
    *error = target + QStringLiteral(": exists and is not a Zarr store");
    return false;
}

QJsonObject RootAttributes(
    const SegyFile& file, const SegyGeometry& geometry, const SegyZarrExportOptions& options)
{
    QJsonObject a;
    a.insert(QStringLiteral("source"), QFileInfo(file.FileName()).fileName());
    a.insert(QStringLiteral("kind"), QString::fromLatin1(SegyGeometryKindName(geometry.Kind())));
    a.insert(
        QStringLiteral("sorting"), QString::fromLatin1(SegyTraceSortingName(geometry.Sorting())));
    a.insert(QStringLiteral("sample_format"), file.Format().code);
    a.insert(QStringLiteral("byte_order"),
        file.ByteOrder() == SegyByteOrder::Little ? QStringLiteral("little")
                                                  : QStringLiteral("big"));
    a.insert(QStringLiteral("text_encoding"),
        file.TextEncoding() == SegyTextEncoding::Ascii ? QStringLiteral("ascii")
                                                       : QStringLiteral("ebcdic"));
    a.insert(QStringLiteral("revision"),
        QStringLiteral("%1.%2").arg(file.Revision()).arg(file.MinorRevision()));
    a.insert(QStringLiteral("fixed_length"), file.IsFixedLength());
    a.insert(QStringLiteral("sample_interval"), file.SampleInterval());
    a.insert(QStringLiteral("samples"), geometry.SampleCount());
    a.insert(QStringLiteral("additional_trace_headers"), file.AdditionalTraceHeaders());
    a.insert(QStringLiteral("traces"), double(geometry.TraceCount() - geometry.DuplicateCount()));
    a.insert(QStringLiteral("missing_traces"), double(geometry.MissingTraceCount()));
    a.insert(QStringLiteral("duplicate_traces"), double(geometry.DuplicateCount()));
    QJsonObject keys;
    keys.insert(QStringLiteral("inline"), options.geometry.inlineField);
    keys.insert(QStringLiteral("crossline"), options.geometry.crosslineField);
    keys.insert(QStringLiteral("offset"), options.geometry.offsetField);
    keys.insert(QStringLiteral("cdp"), options.geometry.cdpField);
    keys.insert(QStringLiteral("cdp_x"), options.geometry.cdpXField);
    keys.insert(QStringLiteral("cdp_y"), options.geometry.cdpYField);
    keys.insert(QStringLiteral("coordinate_scalar"), options.geometry.coordinateScalarField);
    a.insert(QStringLiteral("header_keys"), keys);
    a.insert(QStringLiteral("text_header"), Text(file.TextHeader()));
    // The binary header's fields that are not zero, by name, for reading; the bytes are in the
    // array binary_header.
    QJsonObject binary;
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    for (int i = 0; i < count; ++i) {
        const SegyField& f = fields[i];
        const double value = f.type == SegyFieldType::Float64 ? file.BinaryHeader().DoubleValue(f)
            : f.type == SegyFieldType::UInt64 ? double(file.BinaryHeader().UnsignedValue(f))
                                              : double(file.BinaryHeader().Value(f));
        if (value != 0 && std::isfinite(value))
            binary.insert(QString::fromLatin1(f.name), value);
    }
    a.insert(QStringLiteral("binary_header"), binary);
    QJsonArray extended;
    for (int i = 0; i < file.ExtendedTextHeaderCount(); ++i)
        extended.append(Text(file.ExtendedTextHeader(i)));
    a.insert(QStringLiteral("extended_text_headers"), extended);
    QJsonArray warnings;
    for (const QString& w : file.Warnings() + geometry.Warnings())
        warnings.append(WithoutPrefix(w, file.FileName()));
    a.insert(QStringLiteral("warnings"), warnings);
    return a;
}

bool MakePlan(const SegyFile& file, const SegyGeometry& geometry,
    const SegyZarrExportOptions& options, const QString& store, ExportPlan* plan, QString* error)
{
    plan->file = &file;
    plan->geometry = &geometry;
    plan->kind = geometry.Kind();
    plan->offsets = plan->kind == SegyGeometryKind::Line && geometry.Offsets().size() > 1;
    plan->store = store;
    plan->samples = geometry.SampleCount();
    plan->headerBytes = kTraceHeaderBytes * (1 + file.AdditionalTraceHeaders());
    plan->format = file.Format().code;
    plan->little = file.ByteOrder() == SegyByteOrder::Little;
    if (!ParseSegyTraceField(options.geometry.cdpXField, &plan->cdpXField)
        || !ParseSegyTraceField(options.geometry.cdpYField, &plan->cdpYField)
        || !ParseSegyTraceField(options.geometry.coordinateScalarField, &plan->scalarField)) {
        *error = file.FileName() + QStringLiteral(": no such CDP coordinate or scalar field");
        return false;
    }

    std::vector<qint64> shape;
    switch (plan->kind) {
    case SegyGeometryKind::Cube:
        shape = {geometry.Inlines().count, geometry.Crosslines().count};
        break;
    case SegyGeometryKind::Prestack:
        shape = {geometry.Inlines().count, geometry.Crosslines().count,
            qint64(geometry.Offsets().size())};
        break;
    case SegyGeometryKind::Line:
        shape = {geometry.Cdps().count};
        if (plan->offsets)
            shape.push_back(qint64(geometry.Offsets().size()));
        break;
    case SegyGeometryKind::Unstructured:
        shape = {geometry.TraceCount()};
        break;
    }
    shape.push_back(plan->samples);
    std::vector<qint64> chunks
        = options.chunks.empty() ? DefaultChunks(plan->kind, plan->offsets) : options.chunks;
    if (chunks.size() != shape.size()) {
        *error = file.FileName()
            + QStringLiteral(": %1 chunk sizes given where a %2 has %3 dimensions")
                  .arg(chunks.size())
                  .arg(QString::fromLatin1(SegyGeometryKindName(plan->kind)))
                  .arg(shape.size());
        return false;
    }
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (chunks[d] <= 0) {
            *error = file.FileName() + QStringLiteral(": chunk sizes must be positive");
            return false;
        }
        chunks[d] = std::max<qint64>(1, std::min(chunks[d], shape[d]));
    }
    QStringList dimensions = SegyZarrTraceDimensions(plan->kind, plan->offsets);
    std::vector<qint64> traceShape(shape.begin(), shape.end() - 1);
    std::vector<qint64> traceChunks(chunks.begin(), chunks.end() - 1);
    plan->amplitude
        = MakeArray(kAmplitude, "<f4", shape, chunks, dimensions + QStringList{kSample}, options);
    plan->amplitude.attributes.insert(QStringLiteral("coordinates"), QStringLiteral("cdp_x cdp_y"));
    // A Blosc block per index of the first dimension (an inline of a chunk), when that is of a
    // sensible size: the import, writing inline by inline, then decompresses each block once.
    const qint64 indexBytes = plan->amplitude.ChunkElements() / chunks[0] * qint64(sizeof(float));
    if (indexBytes >= (qint64(4) << 10) && indexBytes <= (qint64(1) << 20))
        plan->amplitude.blocksize = int(indexBytes);
    plan->live = MakeArray(kLive, "|u1", traceShape, traceChunks, dimensions, options);
    std::vector<qint64> headerShape = traceShape;
    headerShape.push_back(plan->headerBytes);
    std::vector<qint64> headerChunks = traceChunks;
    headerChunks.push_back(plan->headerBytes);
    plan->headers = MakeArray(kTraceHeaders, "|u1", headerShape, headerChunks,
        dimensions + QStringList{QStringLiteral("header_byte")}, options);
    plan->cdpX = MakeArray(kCdpX, "<f8", traceShape, traceChunks, dimensions, options);
    plan->cdpY = MakeArray(kCdpY, "<f8", traceShape, traceChunks, dimensions, options);
    return true;
}

// The coordinate arrays of the dimensions, the file headers and the metadata of everything.
bool WriteSmallArrays(const ExportPlan& plan, const SegyZarrExportOptions& options,
    QList<ZarrArray>* arrays, QString* error)
{
    const SegyGeometry& g = *plan.geometry;
    const SegyFile& file = *plan.file;
    const QString& store = plan.store;
    const auto make = [&](ZarrArray array) {
        QDir().mkpath(ZarrArrayPath(store, array));
        arrays->append(array);
        return array;
    };
    bool ok = true;
    switch (plan.kind) {
    case SegyGeometryKind::Cube:
    case SegyGeometryKind::Prestack: {
        const ZarrArray il = make(Coordinate("inline", "<i8", g.Inlines().count, options));
        const ZarrArray xl = make(Coordinate("crossline", "<i8", g.Crosslines().count, options));
        ok = WriteVector<qint64>(
                 store, il, [&](qint64 i) { return g.Inlines().At(i); }, error)
            && WriteVector<qint64>(
                store, xl, [&](qint64 i) { return g.Crosslines().At(i); }, error);
        break;
    }
    case SegyGeometryKind::Line: {
        const ZarrArray cdp = make(Coordinate("cdp", "<i8", g.Cdps().count, options));
        ok = WriteVector<qint64>(
            store, cdp, [&](qint64 i) { return g.Cdps().At(i); }, error);
        break;
    }
    case SegyGeometryKind::Unstructured: {
        const ZarrArray trace = make(Coordinate("trace", "<i8", g.TraceCount(), options));
        ok = WriteVector<qint64>(
            store, trace, [](qint64 i) { return i; }, error);
        break;
    }
    }
    if (ok && (plan.kind == SegyGeometryKind::Prestack || plan.offsets)) {
        const ZarrArray off
            = make(Coordinate("offset", "<i8", qint64(g.Offsets().size()), options));
        ok = WriteVector<qint64>(
            store, off, [&](qint64 i) { return g.Offsets()[std::size_t(i)]; }, error);
    }
    if (!ok)
        return false;

    // Sample times in milliseconds from the first trace's delay (bytes 109-110).
    qint64 delay = 0;
    if (file.TraceCount() > 0)
        file.ReadTraceField(0, *FindSegyTraceField(109), &delay);
    const double interval = file.SampleInterval() / 1000.0;
    ZarrArray sample = Coordinate(kSample, "<f8", plan.samples, options);
    sample.attributes.insert(QStringLiteral("units"), QStringLiteral("ms"));
    sample = make(sample);
    if (!WriteVector<double>(
            store, sample, [&](qint64 i) { return double(delay) + double(i) * interval; }, error))
        return false;

    const qint64 records = 1 + file.ExtendedTextHeaderCount();
    const ZarrArray binary = make(MakeArray(
        kBinaryHeader, "|u1", {400}, {400}, {QStringLiteral("binary_header_byte")}, options));
    const ZarrArray text = make(MakeArray(kTextHeaders, "|u1", {records, 3200}, {records, 3200},
        {QStringLiteral("text_header"), QStringLiteral("text_header_byte")}, options));
    QByteArray textBytes = file.RawTextHeader();
    for (int i = 0; i < file.ExtendedTextHeaderCount(); ++i)
        textBytes += file.RawExtendedTextHeader(i);
    std::vector<unsigned char> work;
    QString reason;
    if (!WriteZarrChunk(
            binary, ZarrChunkPath(store, binary, {0}), file.BinaryHeader().Bytes(), &work, &reason)
        || !WriteZarrChunk(
            text, ZarrChunkPath(store, text, {0, 0}), textBytes.constData(), &work, &reason)) {
        *error = store + QStringLiteral(": file headers: ") + reason;
        return false;
    }
    if (file.TrailerRecordCount() > 0) {
        const qint64 n = file.TrailerRecordCount();
        const ZarrArray trailers = make(MakeArray(kTrailerRecords, "|u1", {n, 3200}, {n, 3200},
            {QStringLiteral("trailer_record"), QStringLiteral("text_header_byte")}, options));
        QByteArray bytes;
        for (int i = 0; i < n; ++i)
            bytes += file.RawTrailerRecord(i);
        if (!WriteZarrChunk(trailers, ZarrChunkPath(store, trailers, {0, 0}), bytes.constData(),
                &work, &reason)) {
            *error = store + QStringLiteral(": trailer records: ") + reason;
            return false;
        }
    }
    return true;
}

bool WriteMetadata(const QString& store, const QList<ZarrArray>& arrays,
    const QJsonObject& rootAttributes, QString* error)
{
    QJsonObject consolidated;
    QJsonObject group;
    group.insert(QStringLiteral("zarr_format"), 2);
    QString reason;
    const auto write = [&](const QString& key, const QJsonObject& object) {
        consolidated.insert(key, object);
        if (WriteJsonFile(store + QLatin1Char('/') + key, object, &reason))
            return true;
        *error = store + QStringLiteral(": %1: %2").arg(key, reason);
        return false;
    };
    if (!write(QStringLiteral(".zgroup"), group)
        || !write(QStringLiteral(".zattrs"), rootAttributes))
        return false;
    for (const ZarrArray& a : arrays) {
        if (!write(a.name + QStringLiteral("/.zarray"), a.Metadata())
            || !write(a.name + QStringLiteral("/.zattrs"), a.AttributeObject()))
            return false;
    }
    QJsonObject zmetadata;
    zmetadata.insert(QStringLiteral("zarr_consolidated_format"), 1);
    zmetadata.insert(QStringLiteral("metadata"), consolidated);
    if (!WriteJsonFile(store + QStringLiteral("/.zmetadata"), zmetadata, &reason)) {
        *error = store + QStringLiteral(": .zmetadata: ") + reason;
        return false;
    }
    return true;
}

// Runs BlockWriter over every block on `threads` threads; the calling thread reports progress.
bool WriteBlocks(const ExportPlan& plan, int threads, const SegyProgress& progress,
    qint64 progressBase, qint64 progressTotal, QString* error)
{
    const qint64 blocks = plan.BlockCount();
    std::atomic<qint64> next{0};
    std::atomic<qint64> done{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    int running = threads;
    QString failure;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            BlockWriter writer(plan);
            QString reason;
            for (qint64 b = next++; b < blocks && !stop; b = next++) {
                qint64 traces = 0;
                if (!writer.Write(b, &traces, &reason)) {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (failure.isEmpty())
                        failure = reason;
                    stop = true;
                    break;
                }
                done += traces;
            }
            std::lock_guard<std::mutex> lock(mutex);
            --running;
            finished.notify_all();
        });
    }
    bool cancelled = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(50));
            lock.unlock();
            if (progress && !cancelled && !progress(progressBase + done, progressTotal)) {
                cancelled = true;
                stop = true;
            }
            lock.lock();
        }
    }
    for (std::thread& w : workers)
        w.join();
    if (!cancelled && failure.isEmpty() && progress)
        cancelled = !progress(progressBase + done, progressTotal);
    if (cancelled) {
        *error = plan.file->FileName() + QStringLiteral(": cancelled");
        return false;
    }
    if (!failure.isEmpty()) {
        *error = failure;
        return false;
    }
    return true;
}

} // namespace

bool ExportSegyZarr(const SegyFile& file, const QString& storePath, QString* error,
    const SegyZarrExportOptions& options)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!file.Format().readable) {
        *error = file.FileName()
            + QStringLiteral(": samples of format 4 cannot be read: the format is obsolete");
        return false;
    }
    const QString target = QFileInfo(storePath).absoluteFilePath();
    if (!CheckTarget(storePath, error))
        return false;

    const qint64 traceCount = file.TraceCount();
    SegyGeometryOptions geometryOptions = options.geometry;
    if (options.progress) {
        geometryOptions.progress
            = [&](qint64 done, qint64) { return options.progress(done, 2 * traceCount); };
    } else {
        geometryOptions.progress = nullptr;
    }
    const std::unique_ptr<SegyGeometry> geometry
        = SegyGeometry::Build(file, error, geometryOptions);
    if (!geometry)
        return false;

    PendingStore pending;
    pending.path = QFileInfo(target).path() + QStringLiteral("/.") + QFileInfo(target).fileName()
        + QStringLiteral(".part-") + QString::number(QRandomGenerator::global()->generate64(), 36);
    if (!QDir().mkdir(pending.path)) {
        *error = storePath + QStringLiteral(": cannot create the store's folder");
        return false;
    }
    ExportPlan plan;
    if (!MakePlan(file, *geometry, options, pending.path, &plan, error))
        return false;
    QList<ZarrArray> arrays{plan.amplitude, plan.live, plan.headers, plan.cdpX, plan.cdpY};
    for (const ZarrArray& a : arrays) {
        if (!QDir().mkdir(ZarrArrayPath(plan.store, a))) {
            *error = storePath + QStringLiteral(": cannot create the folder of ") + a.name;
            return false;
        }
    }
    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = int(std::max<qint64>(1, std::min<qint64>(threads, plan.BlockCount())));
    if (!WriteBlocks(plan, threads, options.progress, traceCount, 2 * traceCount, error)) {
        // Messages name the store by the name it was to have.
        error->replace(pending.path, target);
        return false;
    }
    if (!WriteSmallArrays(plan, options, &arrays, error)
        || !WriteMetadata(plan.store, arrays, RootAttributes(file, *geometry, options), error)) {
        error->replace(pending.path, target);
        return false;
    }
    return PlaceStore(&pending, target, error);
}
