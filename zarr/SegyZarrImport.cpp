#include "SegyZarr.h"

#include "SegyWriter.h"
#include "SegyZarrStore.h"

#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include <sys/mman.h>

using namespace SegyZarrNames;

namespace {

constexpr int kTraceHeaderBytes = 240;
constexpr int kRecordBytes = 3200;

QString ShapeText(const std::vector<qint64>& shape)
{
    QStringList parts;
    for (const qint64 n : shape)
        parts << QString::number(n);
    return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// Every chunk index of `array` whose first index is `row` (every chunk when row < 0).
std::vector<std::vector<qint64>> ChunkIndices(const ZarrArray& array, qint64 row)
{
    const int n = int(array.shape.size());
    std::vector<std::vector<qint64>> indices;
    for (int d = 0; d < n; ++d) {
        if (array.ChunkCount(d) == 0)
            return indices;
    }
    std::vector<qint64> at(std::size_t(n), 0);
    if (row >= 0)
        at[0] = row;
    for (;;) {
        indices.push_back(at);
        int d = n - 1;
        while (d >= (row >= 0 ? 1 : 0) && ++at[std::size_t(d)] == array.ChunkCount(d))
            at[std::size_t(d--)] = 0;
        if (d < (row >= 0 ? 1 : 0))
            break;
    }
    return indices;
}

// One row of chunks along the first dimension, decoded: positions [first, first + count) of
// dimension 0 and every index of the others. The samples stay in their chunks (in the order of
// ChunkIndices), each trace gathered from them as it is written; headers and the live mask are
// laid out position by position.
// Memory for a row's samples, kept from row to row: anonymous pages asked for as huge pages, so
// that first touching a few hundred megabytes costs a few hundred page faults, not 65,000.
class RowSamples {
public:
    RowSamples() = default;
    ~RowSamples() { Release(); }
    RowSamples(const RowSamples&) = delete;
    RowSamples& operator=(const RowSamples&) = delete;

    // False when the memory cannot be had.
    bool resize(std::size_t count)
    {
        if (count <= capacity) {
            used = count;
            return true;
        }
        Release();
        const std::size_t bytes = count * sizeof(float);
        void* p
            = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        ::madvise(p, bytes, MADV_HUGEPAGE);
        values = static_cast<float*>(p);
        capacity = used = count;
        return true;
    }
    float* data() { return values; }
    const float* data() const { return values; }

private:
    void Release()
    {
        if (values)
            ::munmap(values, capacity * sizeof(float));
        values = nullptr;
        capacity = used = 0;
    }

    float* values = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;
};

struct Row {
    qint64 first = 0;
    qint64 count = 0;
    RowSamples samples;
    std::vector<unsigned char> headers;
    std::vector<unsigned char> live;
    QString error;
};

class StoreReader {
public:
    explicit StoreReader(const QString& path)
        : path(path)
    {
    }

    bool Open(QString* error);
    bool ReadWhole(
        const ZarrArray& array, std::vector<unsigned char>* values, QString* error) const;
    void DecodeRow(qint64 row, int threads, Row* out) const;
    // The samples of position `p` of `row` (Samples() values).
    void GatherTrace(const Row& row, qint64 p, float* dst) const;

    QJsonObject root;
    SegyGeometryKind kind = SegyGeometryKind::Unstructured;
    ZarrArray amplitude;
    ZarrArray live;
    ZarrArray headers;
    ZarrArray binary;
    ZarrArray text;
    ZarrArray trailers;
    bool hasTrailers = false;

    qint64 Rows() const { return amplitude.ChunkCount(0); }
    int Samples() const { return int(amplitude.shape.back()); }
    int HeaderBytes() const { return int(headers.shape.back()); }
    // Positions per index of dimension 0.
    qint64 PositionsPerRow() const
    {
        qint64 n = 1;
        for (std::size_t d = 1; d < live.shape.size(); ++d)
            n *= live.shape[d];
        return n;
    }

private:
    bool Load(const char* name, ZarrArray* array, QString* error, bool* missing = nullptr) const;
    bool Expect(const ZarrArray& array, const QByteArray& dtype, const std::vector<qint64>& shape,
        const std::vector<qint64>& chunks, QString* error) const;
    QString Fail(const ZarrArray& array, const QString& message) const
    {
        return path + QStringLiteral(": %1: %2").arg(array.name, message);
    }

    QString path;
    // Buffers of each decoding thread, kept from row to row (rows are decoded one at a time).
    struct Scratch {
        std::vector<unsigned char> chunk;
        std::vector<unsigned char> compressed;
    };
    mutable std::vector<Scratch> scratch;
};

bool StoreReader::Load(const char* name, ZarrArray* array, QString* error, bool* missing) const
{
    array->name = QString::fromLatin1(name);
    const QString folder = ZarrArrayPath(path, *array);
    QJsonObject metadata;
    QJsonObject attributes;
    QString reason;
    if (!QFileInfo::exists(folder + QStringLiteral("/.zarray"))) {
        if (missing) {
            *missing = true;
            return false;
        }
        *error = Fail(*array, QStringLiteral("missing (no .zarray)"));
        return false;
    }
    if (!ReadJsonFile(folder + QStringLiteral("/.zarray"), &metadata, &reason)
        || !ReadJsonFile(folder + QStringLiteral("/.zattrs"), &attributes, &reason)
        || !ParseZarrArray(metadata, attributes, array, &reason)) {
        *error = Fail(*array, reason);
        return false;
    }
    array->name = QString::fromLatin1(name);
    return true;
}

bool StoreReader::Expect(const ZarrArray& array, const QByteArray& dtype,
    const std::vector<qint64>& shape, const std::vector<qint64>& chunks, QString* error) const
{
    if (array.dtype != dtype) {
        *error = Fail(array,
            QStringLiteral("type %1 where %2 is expected")
                .arg(QString::fromLatin1(array.dtype), QString::fromLatin1(dtype)));
        return false;
    }
    if (array.shape != shape) {
        *error = Fail(array,
            QStringLiteral("shape %1 where %2 is expected")
                .arg(ShapeText(array.shape), ShapeText(shape)));
        return false;
    }
    if (!chunks.empty() && array.chunks != chunks) {
        *error = Fail(array,
            QStringLiteral("chunks %1 where %2 is expected")
                .arg(ShapeText(array.chunks), ShapeText(chunks)));
        return false;
    }
    return true;
}

bool StoreReader::Open(QString* error)
{
    QString reason;
    QJsonObject group;
    if (!ReadJsonFile(path + QStringLiteral("/.zgroup"), &group, &reason)) {
        *error = path + QStringLiteral(": not a Zarr group: .zgroup: ") + reason;
        return false;
    }
    if (!ReadJsonFile(path + QStringLiteral("/.zattrs"), &root, &reason)
        || !ParseSegyGeometryKind(root.value(QStringLiteral("kind")).toString(), &kind)) {
        *error = path + QStringLiteral(": .zattrs: no survey kind (not a store of the frame)");
        return false;
    }
    if (!Load(kAmplitude, &amplitude, error) || !Load(kLive, &live, error)
        || !Load(kTraceHeaders, &headers, error) || !Load(kBinaryHeader, &binary, error)
        || !Load(kTextHeaders, &text, error))
        return false;
    bool trailersMissing = false;
    hasTrailers = Load(kTrailerRecords, &trailers, error, &trailersMissing);
    if (!hasTrailers && !trailersMissing)
        return false;

    const bool offsets = kind == SegyGeometryKind::Line && amplitude.dimensions.size() == 3;
    const QStringList dimensions = SegyZarrTraceDimensions(kind, offsets) + QStringList{kSample};
    if (amplitude.dimensions != dimensions) {
        *error = Fail(amplitude,
            QStringLiteral("dimensions (%1) where a %2 has (%3)")
                .arg(amplitude.dimensions.join(QStringLiteral(", ")),
                    QString::fromLatin1(SegyGeometryKindName(kind)),
                    dimensions.join(QStringLiteral(", "))));
        return false;
    }
    if (!Expect(amplitude, "<f4", amplitude.shape, {}, error))
        return false;
    const std::vector<qint64> traceShape(amplitude.shape.begin(), amplitude.shape.end() - 1);
    const std::vector<qint64> traceChunks(amplitude.chunks.begin(), amplitude.chunks.end() - 1);
    if (!Expect(live, "|u1", traceShape, traceChunks, error))
        return false;
    const qint64 headerBytes = headers.shape.empty() ? 0 : headers.shape.back();
    if (headerBytes < kTraceHeaderBytes || headerBytes % kTraceHeaderBytes != 0) {
        *error = Fail(headers,
            QStringLiteral("%1 bytes per trace, not a whole number of 240-byte headers")
                .arg(headerBytes));
        return false;
    }
    std::vector<qint64> headerShape = traceShape;
    headerShape.push_back(headerBytes);
    std::vector<qint64> headerChunks = traceChunks;
    headerChunks.push_back(headerBytes);
    if (!Expect(headers, "|u1", headerShape, headerChunks, error)
        || !Expect(binary, "|u1", {400}, {}, error))
        return false;
    const qint64 records = text.shape.size() == 2 ? text.shape[0] : 0;
    if (!Expect(text, "|u1", {std::max<qint64>(1, records), kRecordBytes}, {}, error))
        return false;
    if (hasTrailers) {
        const qint64 n = trailers.shape.size() == 2 ? trailers.shape[0] : 0;
        if (!Expect(trailers, "|u1", {n, kRecordBytes}, {}, error))
            return false;
    }
    return true;
}

bool StoreReader::ReadWhole(
    const ZarrArray& array, std::vector<unsigned char>* values, QString* error) const
{
    qint64 elements = 1;
    for (const qint64 n : array.shape)
        elements *= n;
    values->assign(std::size_t(elements) * std::size_t(array.ItemSize()), 0);
    if (elements == 0)
        return true;
    std::vector<unsigned char> chunk(array.ChunkBytes());
    std::vector<unsigned char> work;
    QString reason;
    for (const std::vector<qint64>& index : ChunkIndices(array, -1)) {
        if (!ReadZarrChunk(
                array, ZarrChunkPath(path, array, index), chunk.data(), &work, &reason)) {
            *error = Fail(array,
                QStringLiteral("chunk %1: %2")
                    .arg(QString::fromLatin1(ZarrChunkKey(index)), reason));
            return false;
        }
        CopyZarrChunkToRows(array, index, chunk.data(), 0, values->data());
    }
    return true;
}

void StoreReader::DecodeRow(qint64 row, int threads, Row* out) const
{
    out->first = row * amplitude.chunks[0];
    out->count = std::min(amplitude.chunks[0], amplitude.shape[0] - out->first);
    const std::size_t positions = std::size_t(out->count * PositionsPerRow());
    const std::size_t chunkValues = std::size_t(amplitude.ChunkElements());

    out->headers.resize(positions * std::size_t(HeaderBytes()));
    out->live.resize(positions);
    out->error.clear();
    const std::size_t values = chunkValues * ChunkIndices(amplitude, row).size();
    if (!out->samples.resize(values)) {
        out->error = Fail(amplitude,
            QStringLiteral("cannot allocate %1 bytes for a row of chunks")
                .arg(values * sizeof(float)));
        return;
    }

    struct Job {
        const ZarrArray* array;
        std::vector<qint64> index;
        void* rows; // rows to copy the chunk into, or null
        void* chunk; // where the chunk goes as a whole, or null
    };
    std::vector<Job> jobs;
    for (std::vector<qint64>& index : ChunkIndices(amplitude, row))
        jobs.push_back({&amplitude, std::move(index), nullptr,
            out->samples.data() + jobs.size() * chunkValues});
    for (const auto& [array, rows] :
        {std::pair<const ZarrArray*, void*>{&headers, out->headers.data()},
            {&live, out->live.data()}}) {
        for (std::vector<qint64>& index : ChunkIndices(*array, row))
            jobs.push_back({array, std::move(index), rows, nullptr});
    }
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    scratch.resize(std::size_t(threads));
    const auto work = [&](int t) {
        std::vector<unsigned char>& chunk = scratch[std::size_t(t)].chunk;
        std::vector<unsigned char>& compressed = scratch[std::size_t(t)].compressed;
        QString reason;
        for (std::size_t j = next++; j < jobs.size(); j = next++) {
            const Job& job = jobs[j];
            chunk.resize(job.array->ChunkBytes());
            if (!ReadZarrChunk(*job.array, ZarrChunkPath(path, *job.array, job.index),
                    job.chunk ? job.chunk : chunk.data(), &compressed, &reason)) {
                std::lock_guard<std::mutex> lock(mutex);
                if (out->error.isEmpty())
                    out->error = Fail(*job.array,
                        QStringLiteral("chunk %1: %2")
                            .arg(QString::fromLatin1(ZarrChunkKey(job.index)), reason));
                next = jobs.size();
                return;
            }
            if (job.rows)
                CopyZarrChunkToRows(*job.array, job.index, chunk.data(), out->first, job.rows);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work, t);
    work(0);
    for (std::thread& h : helpers)
        h.join();
}

void StoreReader::GatherTrace(const Row& row, qint64 p, float* dst) const
{
    const int dimensions = int(live.shape.size());
    qint64 chunk = 0; // index among the row's chunks of the first sample chunk
    qint64 within = 0; // the position's index inside each of its chunks
    qint64 stride = 1;
    qint64 chunkStride = amplitude.ChunkCount(dimensions);
    for (int d = dimensions - 1; d >= 0; --d) {
        const qint64 extent = d == 0 ? row.count : live.shape[std::size_t(d)];
        const qint64 g = (d == 0 ? row.first : 0) + p % extent;
        p /= extent;
        const qint64 c = amplitude.chunks[std::size_t(d)];
        within += g % c * stride;
        stride *= c;
        if (d > 0) {
            chunk += g / c * chunkStride;
            chunkStride *= amplitude.ChunkCount(d);
        }
    }
    const qint64 sampleChunk = amplitude.chunks.back();
    const std::size_t chunkValues = std::size_t(amplitude.ChunkElements());
    const float* src
        = row.samples.data() + std::size_t(chunk) * chunkValues + std::size_t(within * sampleChunk);
    for (qint64 first = 0; first < Samples(); first += sampleChunk) {
        std::memcpy(dst + first, src,
            std::size_t(std::min(sampleChunk, Samples() - first)) * sizeof(float));
        src += chunkValues;
    }
}

} // namespace

bool ImportSegyZarr(const QString& storePath, const QString& outPath, QString* error,
    const SegyZarrImportOptions& options)
{
    QString ignored;
    if (!error)
        error = &ignored;
    StoreReader store(storePath);
    if (!store.Open(error))
        return false;
    std::vector<unsigned char> binaryBytes;
    std::vector<unsigned char> textBytes;
    std::vector<unsigned char> trailerBytes;
    if (!store.ReadWhole(store.binary, &binaryBytes, error)
        || !store.ReadWhole(store.text, &textBytes, error)
        || (store.hasTrailers && !store.ReadWhole(store.trailers, &trailerBytes, error)))
        return false;

    SegyWriteOptions o;
    o.format = options.format > 0 ? options.format
                                  : store.root.value(QStringLiteral("sample_format")).toInt(1);
    o.byteOrder = options.byteOrder;
    if (o.byteOrder == SegyByteOrder::Auto)
        o.byteOrder
            = store.root.value(QStringLiteral("byte_order")).toString() == QLatin1String("little")
            ? SegyByteOrder::Little
            : SegyByteOrder::Big;
    o.revision = -1; // the headers' bytes as they were
    SegyWriter writer(outPath, o);
    const auto record = [](const std::vector<unsigned char>& bytes, std::size_t i) {
        return QByteArray(
            reinterpret_cast<const char*>(bytes.data()) + i * kRecordBytes, kRecordBytes);
    };
    writer.SetRawTextHeader(record(textBytes, 0));
    QList<QByteArray> extended;
    for (std::size_t i = 1; i < textBytes.size() / kRecordBytes; ++i)
        extended << record(textBytes, i);
    writer.SetRawExtendedTextHeaders(extended);
    QList<QByteArray> trailerList;
    for (std::size_t i = 0; i < trailerBytes.size() / kRecordBytes; ++i)
        trailerList << record(trailerBytes, i);
    writer.SetRawTrailerRecords(trailerList);
    SegyBinaryHeader binary;
    std::memcpy(binary.Bytes(), binaryBytes.data(), 400);
    writer.SetBinaryHeader(binary);

    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::max(1, threads);
    const bool fixedLength = store.root.value(QStringLiteral("fixed_length")).toBool(true);
    const int revision = binaryBytes[300];
    const qint64 total = qint64(store.root.value(QStringLiteral("traces")).toDouble(0));
    const int samples = store.Samples();
    const int headerBytes = store.HeaderBytes();
    const qint64 perRow = store.PositionsPerRow();
    if (!writer.Begin(error))
        return false;

    // Row r + 1 is decoded while row r is written.
    Row rows[2];
    qint64 written = 0;
    SegyTraceHeader header;
    QByteArray additional;
    std::vector<float> trace(std::size_t(std::max(samples, 1)));
    if (store.Rows() > 0)
        store.DecodeRow(0, threads, &rows[0]);
    for (qint64 r = 0; r < store.Rows(); ++r) {
        Row& row = rows[r % 2];
        std::thread next;
        if (r + 1 < store.Rows())
            next = std::thread([&] { store.DecodeRow(r + 1, threads, &rows[(r + 1) % 2]); });
        bool ok = row.error.isEmpty();
        if (!ok)
            *error = row.error;
        const std::size_t positions = std::size_t(row.count * perRow);
        for (std::size_t p = 0; ok && p < positions; ++p) {
            if (row.live[p] == 0)
                continue;
            const unsigned char* h = row.headers.data() + p * std::size_t(headerBytes);
            std::memcpy(header.Bytes(), h, kTraceHeaderBytes);
            if (headerBytes > kTraceHeaderBytes)
                additional = QByteArray(reinterpret_cast<const char*>(h) + kTraceHeaderBytes,
                    headerBytes - kTraceHeaderBytes);
            int count = samples;
            if (!fixedLength) {
                // A trace of a variable-length file keeps its own count (bytes 115-116).
                const int stated = h[114] << 8 | h[115];
                const int given = revision >= 2 ? stated : int(int16_t(stated));
                if (given > 0 && given < samples)
                    count = given;
            }
            store.GatherTrace(row, qint64(p), trace.data());
            ok = writer.WriteTrace(header, trace.data(), count, error, additional);
            ++written;
            if (ok && options.progress && !options.progress(written, total)) {
                *error = outPath + QStringLiteral(": cancelled");
                ok = false;
            }
        }
        if (next.joinable())
            next.join();
        if (!ok) {
            writer.Cancel();
            return false;
        }
    }
    return writer.Finish(error);
}
