#include "SegyFile.h"

#include "SegyFields.h"
#include "SegySamples.h"

#include <QFile>

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kTextBytes = 3200;
constexpr qint64 kBinaryEnd = 3600;
constexpr int kTraceHeaderBytes = 240;

} // namespace

struct SegyFile::Data {
    QString path;
    QFile file;
    const unsigned char* map = nullptr;
    qint64 size = 0;
    QStringList warnings;

    bool little = false;
    SegyTextEncoding encoding = SegyTextEncoding::Ebcdic;
    SegyBinaryHeader binary;
    int revision = 0;
    int minorRevision = 0;
    bool fixedFlag = false;
    const SegyFormat* format = nullptr;
    int samples = 0;
    double interval = 0;
    int additional = 0;
    std::vector<qint64> extendedOffsets;
    qint64 dataStart = 0;
    qint64 dataEnd = 0;
    int trailerCount = 0;

    qint64 traceCount = 0;
    qint64 traceBytes = 0; // fixed length: bytes of one trace
    std::vector<qint64> offsets; // variable length: offset of every trace
    std::vector<int> counts; // variable length: samples of every trace

    QString Message(const QString& problem) const { return path + QStringLiteral(": ") + problem; }
    bool Fail(QString* error, const QString& problem) const
    {
        if (error)
            *error = Message(problem);
        return false;
    }

    qint64 HeaderBytes() const { return qint64(kTraceHeaderBytes) * (1 + additional); }
    qint64 Offset(qint64 trace) const
    {
        return offsets.empty() ? dataStart + trace * traceBytes : offsets[std::size_t(trace)];
    }
    int Count(qint64 trace) const { return counts.empty() ? samples : counts[std::size_t(trace)]; }

    bool Load(const SegyOpenOptions& options, QString* error);
    bool DetectByteOrder(const SegyOpenOptions& options);
    bool ReadBinaryHeader(QString* error);
    bool FindExtendedHeaders(QString* error);
    bool LayOutTraces(const SegyOpenOptions& options, QString* error);
    bool Scan(const SegyOpenOptions& options, QString* error);
    int TraceSamplesField(qint64 offset) const;
    bool CheckRange(qint64 first, qint64 count, QString* error) const;
    bool CheckSamples(QString* error) const;
    template <typename Out>
    bool ReadFieldColumn(
        const SegyField& field, qint64 first, qint64 count, Out* dst, QString* error) const;
    template <typename Out>
    bool ReadRange(
        qint64 first, qint64 count, Out* dst, QString* error, const SegyProgress& progress) const;
};

bool SegyFile::Data::Load(const SegyOpenOptions& options, QString* error)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, QStringLiteral("cannot open: %1").arg(file.errorString()));
    size = file.size();
    if (size < kBinaryEnd) {
        return Fail(error,
            QStringLiteral("too short for a SEG-Y file: %1 bytes, the file headers alone take 3600")
                .arg(size));
    }
    map = file.map(0, size);
    if (!map)
        return Fail(error, QStringLiteral("cannot map the file: %1").arg(file.errorString()));
    encoding = DetectEncoding(map, kTextBytes);
    return DetectByteOrder(options) && ReadBinaryHeader(error) && FindExtendedHeaders(error)
        && LayOutTraces(options, error);
}

// The revision 2 constant decides; without it, the order in which the format code is a known
// one and the sample count lets a trace fit; big-endian when both or neither do.
bool SegyFile::Data::DetectByteOrder(const SegyOpenOptions& options)
{
    if (options.byteOrder != SegyByteOrder::Auto) {
        little = options.byteOrder == SegyByteOrder::Little;
        return true;
    }
    const unsigned char* h = map + kTextBytes;
    const uint32_t constant = uint32_t(LoadField(h + 96, 4, false));
    if (constant == 0x01020304u || constant == 0x04030201u) {
        little = constant == 0x04030201u;
        return true;
    }
    auto plausible = [&](bool asLittle) {
        const SegyFormat* f = FindSegyFormat(int(int16_t(LoadField(h + 24, 2, asLittle))));
        const qint64 n = qint64(LoadField(h + 20, 2, asLittle));
        return (f ? 2 : 0)
            + (f && n > 0 && kBinaryEnd + kTraceHeaderBytes + n * f->bytesPerSample <= size ? 1
                                                                                            : 0);
    };
    little = plausible(true) > plausible(false);
    return true;
}

bool SegyFile::Data::ReadBinaryHeader(QString* error)
{
    unsigned char* b = binary.Bytes();
    std::memcpy(b, map + kTextBytes, 400);
    if (little)
        SwapBinaryHeader(b);
    revision = b[300];
    minorRevision = b[301];
    const int code = int(binary.Value(*FindSegyBinaryField(3225)));
    format = FindSegyFormat(code);
    if (!format)
        return Fail(error, QStringLiteral("unknown data sample format code %1").arg(code));
    fixedFlag = binary.Value(*FindSegyBinaryField(3503)) != 0;

    qint64 n = binary.Value(*FindSegyBinaryField(3221));
    interval = double(binary.Value(*FindSegyBinaryField(3217)));
    if (revision >= 2) {
        const qint64 extended = binary.Value(*FindSegyBinaryField(3269));
        if (extended != 0)
            n = extended;
        const double extendedInterval = binary.DoubleValue(*FindSegyBinaryField(3273));
        if (extendedInterval != 0)
            interval = extendedInterval;
        additional = int(binary.Value(*FindSegyBinaryField(3507)));
        if (additional < 0) {
            return Fail(error,
                QStringLiteral("negative number of additional trace headers: %1").arg(additional));
        }
        const qint64 trailers = binary.Value(*FindSegyBinaryField(3529));
        if (trailers < 0)
            return Fail(error, QStringLiteral("negative trailer record count: %1").arg(trailers));
        if (trailers * kTextBytes > size - kBinaryEnd) {
            return Fail(error,
                QStringLiteral("%1 trailer records of 3200 bytes do not fit in the %2 bytes after "
                               "the file headers")
                    .arg(trailers)
                    .arg(size - kBinaryEnd));
        }
        trailerCount = int(trailers);
    }
    if (n < 0)
        return Fail(error, QStringLiteral("negative samples per trace: %1").arg(n));
    samples = int(n);
    return true;
}

bool SegyFile::Data::FindExtendedHeaders(QString* error)
{
    const qint64 count = binary.Value(*FindSegyBinaryField(3505));
    dataEnd = size - qint64(trailerCount) * kTextBytes;
    quint64 firstTrace = 0;
    if (revision >= 2)
        firstTrace = binary.UnsignedValue(*FindSegyBinaryField(3521));
    if (firstTrace > quint64(size)) {
        return Fail(error,
            QStringLiteral("first-trace offset %1 lies past the end of the file (%2 bytes)")
                .arg(firstTrace)
                .arg(size));
    }
    if (count == -1) {
        // Records up to and including the one that starts with the end stanza.
        const qint64 limit = firstTrace ? qint64(firstTrace) : dataEnd;
        qint64 at = kBinaryEnd;
        for (;;) {
            if (at + kTextBytes > limit) {
                return Fail(error,
                    QStringLiteral("extended textual headers (count -1) reach byte %1 without a "
                                   "((SEG: EndText)) stanza")
                        .arg(limit));
            }
            extendedOffsets.push_back(at);
            at += kTextBytes;
            if (IsEndStanza(map + at - kTextBytes))
                break;
        }
    } else if (count < -1) {
        return Fail(
            error, QStringLiteral("extended textual header count %1 is not valid").arg(count));
    } else {
        if (count * kTextBytes > dataEnd - kBinaryEnd) {
            return Fail(error,
                QStringLiteral("extended textual header count %1 needs %2 bytes after the binary "
                               "header; the file has %3")
                    .arg(count)
                    .arg(count * kTextBytes)
                    .arg(dataEnd - kBinaryEnd));
        }
        for (qint64 i = 0; i < count; ++i)
            extendedOffsets.push_back(kBinaryEnd + i * kTextBytes);
    }
    const qint64 textEnd = kBinaryEnd + qint64(extendedOffsets.size()) * kTextBytes;
    dataStart = firstTrace ? qint64(firstTrace) : textEnd;
    if (dataStart < textEnd) {
        return Fail(error,
            QStringLiteral(
                "first-trace offset %1 lies inside the file headers, which end at byte %2")
                .arg(dataStart)
                .arg(textEnd));
    }
    if (dataStart > dataEnd) {
        return Fail(error,
            QStringLiteral("first-trace offset %1 lies inside the %2 trailer records at the end")
                .arg(dataStart)
                .arg(trailerCount));
    }
    return true;
}

// Samples of the trace whose header starts at `offset`, from its header (0 when not given).
int SegyFile::Data::TraceSamplesField(qint64 offset) const
{
    const uint64_t raw = LoadField(map + offset + 114, 2, little);
    return revision >= 2 ? int(raw) : std::max(0, int(int16_t(raw)));
}

bool SegyFile::Data::LayOutTraces(const SegyOpenOptions& options, QString* error)
{
    const qint64 bytes = dataEnd - dataStart;
    if (bytes == 0)
        return true;
    const int bps = format->bytesPerSample;
    traceBytes = HeaderBytes() + qint64(samples) * bps;
    const int firstSamples = bytes >= HeaderBytes() ? TraceSamplesField(dataStart) : 0;

    bool fixed = fixedFlag && samples > 0 && !options.scanTraces;
    if (!fixedFlag && !options.scanTraces && samples > 0 && bytes % traceBytes == 0) {
        // Looks fixed: whole traces, and the first and last say the binary header's count.
        const qint64 last = dataStart + (bytes / traceBytes - 1) * traceBytes;
        const int lastSamples = bytes >= traceBytes ? TraceSamplesField(last) : 0;
        fixed = (firstSamples == 0 || firstSamples == samples)
            && (lastSamples == 0 || lastSamples == samples);
    }
    if (!fixed && (firstSamples > 0 || (samples > 0 && !fixedFlag)))
        return Scan(options, error);

    if (samples == 0) {
        return Fail(error,
            QStringLiteral("zero samples per trace, with %1 bytes of traces after the headers")
                .arg(bytes));
    }
    if (traceBytes > bytes) {
        return Fail(error,
            QStringLiteral("%1 samples per trace of %2 bytes make traces of %3 bytes; no trace "
                           "fits in the %4 bytes after the headers")
                .arg(samples)
                .arg(bps)
                .arg(traceBytes)
                .arg(bytes));
    }
    traceCount = bytes / traceBytes;
    const qint64 rest = bytes % traceBytes;
    if (rest != 0) {
        warnings << Message(QStringLiteral(
            "trace count inconsistent with file size: %1 bytes after the headers hold %2 traces of "
            "%3 bytes and %4 bytes more; the partial trace %2 at byte %5 is left out")
                                .arg(bytes)
                                .arg(traceCount)
                                .arg(traceBytes)
                                .arg(rest)
                                .arg(dataStart + traceCount * traceBytes));
    }
    if (revision >= 2) {
        const quint64 given = binary.UnsignedValue(*FindSegyBinaryField(3513));
        if (given != 0 && given != quint64(traceCount)) {
            warnings << Message(
                QStringLiteral("the binary header gives %1 traces; the file holds %2")
                    .arg(given)
                    .arg(traceCount));
        }
    }
    return true;
}

// Walks the traces by their own sample counts (the binary header's when a trace gives 0).
bool SegyFile::Data::Scan(const SegyOpenOptions& options, QString* error)
{
    const int bps = format->bytesPerSample;
    qint64 estimate = std::max<qint64>(1, (dataEnd - dataStart) / std::max<qint64>(traceBytes, 1));
    bool allSame = true;
    qint64 at = dataStart;
    while (at < dataEnd) {
        const qint64 remaining = dataEnd - at;
        const int n = remaining >= kTraceHeaderBytes && TraceSamplesField(at) > 0
            ? TraceSamplesField(at)
            : samples;
        const qint64 length = HeaderBytes() + qint64(n) * bps;
        if (length > remaining && offsets.empty()) {
            return Fail(error,
                QStringLiteral("the first trace needs %1 bytes (%2 samples of %3 bytes); only %4 "
                               "bytes follow the headers")
                    .arg(length)
                    .arg(n)
                    .arg(bps)
                    .arg(remaining));
        }
        if (length > remaining) {
            warnings << Message(QStringLiteral("trace %1 at byte %2 needs %3 bytes (%4 samples) "
                                               "but only %5 bytes remain; it is left out")
                                    .arg(qint64(offsets.size()))
                                    .arg(at)
                                    .arg(length)
                                    .arg(n)
                                    .arg(remaining));
            break;
        }
        if (n == 0 && samples == 0 && offsets.empty()) {
            return Fail(error,
                QStringLiteral("zero samples per trace, with %1 bytes of traces after the headers")
                    .arg(dataEnd - dataStart));
        }
        allSame = allSame && n == samples;
        offsets.push_back(at);
        counts.push_back(n);
        at += length;
        if (qint64(offsets.size()) > estimate)
            estimate *= 2;
        if (options.progress && !options.progress(qint64(offsets.size()), estimate))
            return Fail(error, QStringLiteral("cancelled while scanning the traces"));
    }
    traceCount = qint64(offsets.size());
    if (allSame && samples > 0) {
        // Every trace has the binary header's length after all: no index needed.
        offsets = {};
        counts = {};
        traceBytes = HeaderBytes() + qint64(samples) * bps;
    }
    return true;
}

bool SegyFile::Data::CheckRange(qint64 first, qint64 count, QString* error) const
{
    if (first < 0 || count < 0 || first > traceCount || count > traceCount - first) {
        return Fail(error,
            QStringLiteral("traces %1 to %2 asked for; the file has %3 traces (0 to %4)")
                .arg(first)
                .arg(first + count - 1)
                .arg(traceCount)
                .arg(traceCount - 1));
    }
    return true;
}

bool SegyFile::Data::CheckSamples(QString* error) const
{
    if (format->readable)
        return true;
    return Fail(error,
        QStringLiteral("samples of format %1 (%2) cannot be read: the format is obsolete")
            .arg(format->code)
            .arg(QLatin1String(format->title)));
}

template <typename Out>
bool SegyFile::Data::ReadRange(
    qint64 first, qint64 count, Out* dst, QString* error, const SegyProgress& progress) const
{
    if (!CheckRange(first, count, error) || !CheckSamples(error))
        return false;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 t = first + i;
        const int n = Count(t);
        DecodeSegySamples(map + Offset(t) + HeaderBytes(), format->code, little, dst, n);
        dst += n;
        if (progress && !progress(i + 1, count))
            return Fail(
                error, QStringLiteral("cancelled after %1 of %2 traces").arg(i + 1).arg(count));
    }
    return true;
}

SegyFile::SegyFile(std::unique_ptr<Data> data)
    : d(std::move(data))
{
}

SegyFile::~SegyFile() = default;

std::unique_ptr<SegyFile> SegyFile::Open(
    const QString& path, QString* error, const SegyOpenOptions& options)
{
    auto data = std::make_unique<Data>();
    data->path = path;
    if (!data->Load(options, error))
        return nullptr;
    return std::unique_ptr<SegyFile>(new SegyFile(std::move(data)));
}

QString SegyFile::FileName() const
{
    return d->path;
}

qint64 SegyFile::FileSize() const
{
    return d->size;
}

QStringList SegyFile::Warnings() const
{
    return d->warnings;
}

SegyByteOrder SegyFile::ByteOrder() const
{
    return d->little ? SegyByteOrder::Little : SegyByteOrder::Big;
}

SegyTextEncoding SegyFile::TextEncoding() const
{
    return d->encoding;
}

QStringList SegyFile::TextHeader() const
{
    return DecodeText(d->map, d->encoding);
}

QByteArray SegyFile::RawTextHeader() const
{
    return QByteArray(reinterpret_cast<const char*>(d->map), int(kTextBytes));
}

int SegyFile::ExtendedTextHeaderCount() const
{
    return int(d->extendedOffsets.size());
}

QStringList SegyFile::ExtendedTextHeader(int index) const
{
    if (index < 0 || index >= ExtendedTextHeaderCount())
        return {};
    const unsigned char* record = d->map + d->extendedOffsets[std::size_t(index)];
    return DecodeText(record, DetectEncoding(record, kTextBytes));
}

QByteArray SegyFile::RawExtendedTextHeader(int index) const
{
    if (index < 0 || index >= ExtendedTextHeaderCount())
        return {};
    return QByteArray(
        reinterpret_cast<const char*>(d->map + d->extendedOffsets[std::size_t(index)]),
        int(kTextBytes));
}

const SegyBinaryHeader& SegyFile::BinaryHeader() const
{
    return d->binary;
}

int SegyFile::Revision() const
{
    return d->revision;
}

int SegyFile::MinorRevision() const
{
    return d->minorRevision;
}

bool SegyFile::FixedLengthFlag() const
{
    return d->fixedFlag;
}

bool SegyFile::IsFixedLength() const
{
    return d->offsets.empty();
}

const SegyFormat& SegyFile::Format() const
{
    return *d->format;
}

int SegyFile::SamplesPerTrace() const
{
    return d->samples;
}

double SegyFile::SampleInterval() const
{
    return d->interval;
}

int SegyFile::AdditionalTraceHeaders() const
{
    return d->additional;
}

qint64 SegyFile::FirstTraceOffset() const
{
    return d->dataStart;
}

int SegyFile::TrailerRecordCount() const
{
    return d->trailerCount;
}

qint64 SegyFile::TraceCount() const
{
    return d->traceCount;
}

int SegyFile::SampleCount(qint64 trace) const
{
    return trace >= 0 && trace < d->traceCount ? d->Count(trace) : -1;
}

qint64 SegyFile::SampleCount(qint64 first, qint64 count) const
{
    if (!d->CheckRange(first, count, nullptr))
        return -1;
    if (d->counts.empty())
        return count * d->samples;
    qint64 total = 0;
    for (qint64 t = first; t < first + count; ++t)
        total += d->counts[std::size_t(t)];
    return total;
}

qint64 SegyFile::TraceOffset(qint64 trace) const
{
    return trace >= 0 && trace < d->traceCount ? d->Offset(trace) : -1;
}

bool SegyFile::ReadTraceHeader(qint64 trace, SegyTraceHeader* header, QString* error) const
{
    if (!d->CheckRange(trace, 1, error))
        return false;
    std::memcpy(header->Bytes(), d->map + d->Offset(trace), kTraceHeaderBytes);
    if (d->little)
        SwapTraceHeader(header->Bytes());
    return true;
}

bool SegyFile::ReadTraceField(
    qint64 trace, const SegyField& field, qint64* value, QString* error) const
{
    return ReadTraceFieldColumn(field, trace, 1, value, error);
}

namespace {

// One field of many traces, `stride` bytes apart (fixed length) or at offsetOf(i). The width
// and byte order are fixed per loop so that each value is one load and a byte swap.
template <typename Raw, typename Out, typename Offset>
void ReadColumnAs(const unsigned char* p, qint64 count, Out* dst, bool little, Offset offsetOf)
{
    for (qint64 i = 0; i < count; ++i) {
        Raw v;
        std::memcpy(&v, p + offsetOf(i), sizeof v);
        if (!little) {
            if constexpr (sizeof(Raw) == 2)
                v = Raw(__builtin_bswap16(uint16_t(v)));
            else if constexpr (sizeof(Raw) == 4)
                v = Raw(__builtin_bswap32(uint32_t(v)));
            else if constexpr (sizeof(Raw) == 8)
                v = Raw(__builtin_bswap64(uint64_t(v)));
        }
        dst[i] = static_cast<Out>(v);
    }
}

template <typename Out, typename Offset>
void ReadColumn(const unsigned char* p, qint64 count, Out* dst, SegyFieldType type, bool little,
    Offset offsetOf)
{
    switch (type) {
    case SegyFieldType::Int8:
        return ReadColumnAs<int8_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::UInt8:
        return ReadColumnAs<uint8_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::Int16:
        return ReadColumnAs<int16_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::UInt16:
        return ReadColumnAs<uint16_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::Int32:
        return ReadColumnAs<int32_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::UInt32:
        return ReadColumnAs<uint32_t>(p, count, dst, little, offsetOf);
    case SegyFieldType::Int64:
        return ReadColumnAs<int64_t>(p, count, dst, little, offsetOf);
    default:
        return ReadColumnAs<uint64_t>(p, count, dst, little, offsetOf);
    }
}

} // namespace

template <typename Out>
bool SegyFile::Data::ReadFieldColumn(
    const SegyField& field, qint64 first, qint64 count, Out* dst, QString* error) const
{
    if (!CheckRange(first, count, error) || !CheckTraceField(field, path, error))
        return false;
    const SegyFieldType type = TraceFieldType(field, revision);
    const unsigned char* p = map + field.byte - 1;
    if (offsets.empty()) {
        const qint64 start = Offset(first);
        const qint64 stride = traceBytes;
        ReadColumn(
            p, count, dst, type, little, [start, stride](qint64 i) { return start + i * stride; });
    } else {
        const qint64* at = offsets.data() + first;
        ReadColumn(p, count, dst, type, little, [at](qint64 i) { return at[i]; });
    }
    return true;
}

bool SegyFile::ReadTraceFieldColumn(
    const SegyField& field, qint64 first, qint64 count, int32_t* dst, QString* error) const
{
    return d->ReadFieldColumn(field, first, count, dst, error);
}

bool SegyFile::ReadTraceFieldColumn(
    const SegyField& field, qint64 first, qint64 count, qint64* dst, QString* error) const
{
    return d->ReadFieldColumn(field, first, count, dst, error);
}

bool SegyFile::ReadTraceFieldColumns(const SegyField* fields, int fieldCount, qint64 first,
    qint64 count, qint64* const* dst, QString* error) const
{
    if (!d->CheckRange(first, count, error))
        return false;
    for (int k = 0; k < fieldCount; ++k) {
        if (!CheckTraceField(fields[k], d->path, error))
            return false;
    }
    // Field by field over a run of headers small enough to stay in the caches and the TLB: the
    // first field's pass pays the misses, and each pass is a tight loop that keeps many of them
    // under way at once.
    constexpr qint64 kRun = 256;
    for (qint64 at = 0; at < count; at += kRun) {
        const qint64 n = std::min(kRun, count - at);
        for (int k = 0; k < fieldCount; ++k)
            d->ReadFieldColumn(fields[k], first + at, n, dst[k] + at, nullptr);
    }
    return true;
}

QByteArray SegyFile::RawAdditionalTraceHeaders(qint64 trace) const
{
    if (trace < 0 || trace >= d->traceCount)
        return {};
    return QByteArray(reinterpret_cast<const char*>(d->map + d->Offset(trace) + kTraceHeaderBytes),
        int(d->HeaderBytes() - kTraceHeaderBytes));
}

const unsigned char* SegyFile::RawSamples(qint64 trace) const
{
    if (trace < 0 || trace >= d->traceCount)
        return nullptr;
    return d->map + d->Offset(trace) + d->HeaderBytes();
}

bool SegyFile::ReadSamples(qint64 trace, float* dst, QString* error) const
{
    return d->ReadRange(trace, 1, dst, error, {});
}

bool SegyFile::ReadSamples(qint64 trace, double* dst, QString* error) const
{
    return d->ReadRange(trace, 1, dst, error, {});
}

bool SegyFile::ReadSamples(
    qint64 first, qint64 count, float* dst, QString* error, const SegyProgress& progress) const
{
    return d->ReadRange(first, count, dst, error, progress);
}

bool SegyFile::ReadSamples(
    qint64 first, qint64 count, double* dst, QString* error, const SegyProgress& progress) const
{
    return d->ReadRange(first, count, dst, error, progress);
}

QByteArray SegyFile::RawTrailerRecord(int index) const
{
    if (index < 0 || index >= d->trailerCount)
        return {};
    return QByteArray(
        reinterpret_cast<const char*>(d->map + d->dataEnd + qint64(index) * kTextBytes),
        int(kTextBytes));
}

// The mapping is read-only and shared: dropping its page table entries loses nothing.
void SegyFile::ReleaseResidentPages() const
{
    if (d->map && d->size > 0)
        madvise(const_cast<unsigned char*>(d->map), std::size_t(d->size), MADV_DONTNEED);
}
