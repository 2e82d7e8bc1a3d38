#include "SegyCheck.h"

#include "SegyFields.h"
#include "SegyGeometry.h"

#include <QSet>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <limits>

namespace {

constexpr qint64 kTextBytes = 3200;
constexpr qint64 kBinaryEnd = 3600;
constexpr int kTraceHeaderBytes = 240;
// Traces are read in runs of about this many bytes of samples.
constexpr qint64 kRunBytes = qint64{1} << 20;
// The trace header fields the trace pass reads: coordinate scalar, sample count, sample
// interval, then source, group and CDP X and Y.
constexpr int kColumnBytes[9] = {71, 115, 117, 73, 77, 81, 85, 181, 185};
// Header columns of the geometry pass are read this many traces at a time.
constexpr qint64 kKeyRun = 65536;

const SegyField& Binary(int byte)
{
    return *FindSegyBinaryField(byte);
}

const SegyField& Trace(int byte)
{
    return *FindSegyTraceField(byte);
}

// "1 trace", "12 traces".
QString Traces(qint64 count)
{
    return count == 1 ? QStringLiteral("1 trace") : QStringLiteral("%1 traces").arg(count);
}

QString Number(double value)
{
    return QString::number(value, 'g', 15);
}

// Traces concerned by one finding: the first few and how many.
struct TraceList {
    std::vector<qint64> first;
    qint64 count = 0;

    void Add(qint64 trace, int listed)
    {
        if (qint64(first.size()) < listed)
            first.push_back(trace);
        ++count;
    }
};

// The limits a clipped integer sample sits at; none for the floating-point formats. Unsigned
// formats have only the top: runs of zeros are mutes, not clipping.
struct SampleLimits {
    bool integer = false;
    double high = 0;
    double low = 0;
};

SampleLimits LimitsOf(int format)
{
    auto signedBits = [](int bits) {
        const double high = std::ldexp(1.0, bits - 1) - 1;
        return SampleLimits{true, high, -high - 1};
    };
    auto unsignedBits = [](int bits) {
        const double high = std::ldexp(1.0, bits) - 1;
        return SampleLimits{true, high, high};
    };
    switch (format) {
    case 2:
        return signedBits(32);
    case 3:
        return signedBits(16);
    case 7:
        return signedBits(24);
    case 8:
        return signedBits(8);
    case 9:
        return signedBits(64);
    case 10:
        return unsignedBits(32);
    case 11:
        return unsignedBits(16);
    case 12:
        return unsignedBits(64);
    case 15:
        return unsignedBits(24);
    case 16:
        return unsignedBits(8);
    default:
        return {};
    }
}

// Formats whose samples are checked as doubles: float would round them.
bool DecodesAsDouble(int format)
{
    return format == 6 || format == 2 || format == 9 || format == 10 || format == 12;
}

class Checker {
public:
    Checker(const SegyFile& file, const SegyCheckOptions& options)
        : file(file)
        , options(options)
        , listed(std::max(0, options.listedTraces))
        , traceCount(file.TraceCount())
    {
    }

    bool Run(std::vector<SegyFinding>* findings, QString* error);

private:
    void Add(SegySeverity severity, const char* code, const QString& message,
        const TraceList& traces = {})
    {
        found.push_back({severity, code, message, traces.first, traces.count});
    }
    bool Fail(QString* error, const QString& problem) const
    {
        if (error)
            *error = file.FileName() + QStringLiteral(": ") + problem;
        return false;
    }

    void CheckTextHeader(
        const unsigned char* text, SegyTextEncoding encoding, const QString& name, qint64 offset);
    void CheckTextHeaders();
    void CheckRevision();
    void CheckLayout();
    bool ReadTraces(QString* error);
    template <typename T> bool ReadSampleRuns(QString* error);
    template <typename T> void CheckSamples(qint64 trace, const T* samples, int count);
    void CheckHeaderColumns(qint64 first, qint64 count);
    void ReportTraceFindings();
    bool FinishGeometry(std::unique_ptr<SegyGeometry>* geometry, QString* error);
    bool CheckGeometry(const SegyGeometry* geometry, QString* error);
    bool ReadKeys(const SegyGeometry& geometry, QString* error);
    void ReportMissingBins(const SegyGeometry& geometry);

    const SegyFile& file;
    const SegyCheckOptions& options;
    const int listed;
    const qint64 traceCount;
    std::vector<SegyFinding> found;
    bool cancelled = false;

    // The geometry, built beside the trace pass.
    std::future<std::unique_ptr<SegyGeometry>> building;
    std::atomic<bool> stopBuilding{false};
    QString geometryError;

    // What the trace pass finds.
    TraceList dead, nonFinite, clipped;
    TraceList sampleCount, interval, scalarZero, scalarChanges, zeroCoordinates;
    qint64 firstOtherSamples = 0, firstOtherInterval = 0, firstScalar = 0, otherScalar = 0;
    // The first sample count a trace header gives, and whether others give another.
    qint64 firstGivenSamples = 0;
    bool lengthsVary = false;
    bool anyCoordinates = false;
    // Header columns read per run, in the order of kColumnBytes.
    std::vector<qint64> columns[9];
};

void Checker::CheckTextHeader(
    const unsigned char* text, SegyTextEncoding encoding, const QString& name, qint64 offset)
{
    qint64 bad = 0;
    qint64 firstBad = -1;
    for (qint64 i = 0; i < kTextBytes; ++i) {
        const unsigned char b = text[i];
        const bool clean = b == 0
            || (encoding == SegyTextEncoding::Ascii
                    ? (b >= 0x20 && b <= 0x7E) || b == '\n' || b == '\r'
                    : IsEbcdicPrintable(b));
        if (!clean) {
            if (bad == 0)
                firstBad = i;
            ++bad;
        }
    }
    if (bad == 0)
        return;
    Add(SegySeverity::Warning, "text-encoding",
        QStringLiteral("%1 is neither clean EBCDIC nor clean ASCII: read as %2, %3 of its 3200 "
                       "bytes are not printable, the first at file byte %4 (0x%5)")
            .arg(name,
                encoding == SegyTextEncoding::Ascii ? QStringLiteral("ASCII")
                                                    : QStringLiteral("EBCDIC"))
            .arg(bad)
            .arg(offset + firstBad + 1)
            .arg(uint(text[firstBad]), 2, 16, QLatin1Char('0')));
}

void Checker::CheckTextHeaders()
{
    const QByteArray text = file.RawTextHeader();
    CheckTextHeader(reinterpret_cast<const unsigned char*>(text.constData()), file.TextEncoding(),
        QStringLiteral("the textual header"), 0);
    for (int i = 0; i < file.ExtendedTextHeaderCount(); ++i) {
        const QByteArray record = file.RawExtendedTextHeader(i);
        const auto* bytes = reinterpret_cast<const unsigned char*>(record.constData());
        CheckTextHeader(bytes, DetectEncoding(bytes, int(kTextBytes)),
            QStringLiteral("extended textual header %1").arg(i + 1), kBinaryEnd + i * kTextBytes);
    }
}

void Checker::CheckRevision()
{
    const SegyBinaryHeader& binary = file.BinaryHeader();
    const int major = file.Revision();
    if (major > 2) {
        Add(SegySeverity::Warning, "unknown-revision",
            QStringLiteral("the binary header gives revision %1.%2, which is not 0, 1 or 2")
                .arg(major)
                .arg(file.MinorRevision()));
        return;
    }
    if (major == 2) {
        if (binary.Value(Binary(3297)) == 0) {
            Add(SegySeverity::Warning, "revision-2-missing",
                QStringLiteral("a revision 2 file without the byte-order constant 16909060 at "
                               "bytes 3297-3300"));
        }
        return;
    }
    // Fields that revision 2 gave to bytes unassigned before.
    QStringList set;
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    for (int i = 0; i < count; ++i) {
        const SegyField& field = fields[i];
        const bool revision2 = (field.byte >= 3261 && field.byte <= 3300)
            || (field.byte >= 3507 && field.byte <= 3532);
        if (!revision2)
            continue;
        const bool zero = field.type == SegyFieldType::Float64 ? binary.DoubleValue(field) == 0
                                                               : binary.UnsignedValue(field) == 0;
        if (!zero)
            set << QStringLiteral("%1 (%2)").arg(QLatin1String(field.name)).arg(field.byte);
    }
    if (!set.isEmpty()) {
        Add(SegySeverity::Warning, "revision-2-fields",
            QStringLiteral("a revision %1 file with revision 2 fields set, which readers of "
                           "revision %1 ignore: %2")
                .arg(major)
                .arg(set.join(QStringLiteral(", "))));
    }
}

void Checker::CheckLayout()
{
    const qint64 dataEnd = file.FileSize() - qint64(file.TrailerRecordCount()) * kTextBytes;
    qint64 end = file.FirstTraceOffset();
    if (traceCount > 0) {
        const qint64 last = traceCount - 1;
        end = file.TraceOffset(last)
            + qint64(kTraceHeaderBytes) * (1 + file.AdditionalTraceHeaders())
            + qint64(file.SampleCount(last)) * file.Format().bytesPerSample;
    }
    if (end < dataEnd) {
        TraceList partial;
        partial.Add(traceCount, listed);
        Add(SegySeverity::Error, "partial-trace",
            QStringLiteral("the file ends inside trace %1: %2 bytes follow the last whole trace "
                           "at byte %3, less than a trace")
                .arg(traceCount)
                .arg(dataEnd - end)
                .arg(end),
            partial);
    }
    if (file.Revision() >= 2) {
        const quint64 given = file.BinaryHeader().UnsignedValue(Binary(3513));
        if (given != 0 && given != quint64(traceCount)) {
            TraceList extra;
            for (qint64 t = qint64(std::min(given, quint64(traceCount))); t < traceCount; ++t)
                extra.Add(t, listed);
            Add(SegySeverity::Error, "trace-count",
                QStringLiteral("the binary header gives %1 traces (bytes 3513-3520); the file "
                               "holds %2")
                    .arg(given)
                    .arg(traceCount),
                extra);
        }
    }
}

void Checker::CheckHeaderColumns(qint64 first, qint64 count)
{
    const std::size_t n = std::size_t(count);
    SegyField fields[9];
    qint64* dst[9];
    for (int k = 0; k < 9; ++k) {
        fields[k] = Trace(kColumnBytes[k]);
        columns[k].resize(n);
        dst[k] = columns[k].data();
    }
    file.ReadTraceFieldColumns(fields, 9, first, count, dst);
    const std::vector<qint64>& scalars = columns[0];
    const std::vector<qint64>& samplesField = columns[1];
    const std::vector<qint64>& intervals = columns[2];

    const qint64 binarySamples = file.SamplesPerTrace();
    const double binaryInterval = file.SampleInterval();
    if (first == 0)
        firstScalar = scalars[0];
    for (std::size_t i = 0; i < n; ++i) {
        const qint64 trace = first + qint64(i);
        const qint64 samples = samplesField[i];
        if (samples != 0 && firstGivenSamples == 0)
            firstGivenSamples = samples;
        lengthsVary |= samples != 0 && samples != firstGivenSamples;
        if (samples != 0 && samples != binarySamples) {
            if (sampleCount.count == 0)
                firstOtherSamples = samples;
            sampleCount.Add(trace, listed);
        }
        const qint64 step = intervals[i];
        if (step != 0 && std::fabs(double(step) - binaryInterval) >= 1) {
            if (interval.count == 0)
                firstOtherInterval = step;
            interval.Add(trace, listed);
        }
        if (scalars[i] != firstScalar) {
            if (scalarChanges.count == 0)
                otherScalar = scalars[i];
            scalarChanges.Add(trace, listed);
        }
        bool hasCoordinates = false;
        for (int k = 3; k < 9; ++k)
            hasCoordinates |= columns[k][i] != 0;
        if (hasCoordinates) {
            anyCoordinates = true;
            if (scalars[i] == 0)
                scalarZero.Add(trace, listed);
        } else {
            zeroCoordinates.Add(trace, listed);
        }
    }
}

// True when a sample is NaN or infinite: its exponent bits all set. On the bits, so that the
// loop vectorises.
bool AnyNonFinite(const float* samples, int count)
{
    bool any = false;
    for (int i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        any |= (bits & 0x7F800000u) == 0x7F800000u;
    }
    return any;
}

bool AnyNonFinite(const double* samples, int count)
{
    bool any = false;
    for (int i = 0; i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        any |= (bits & 0x7FF0000000000000u) == 0x7FF0000000000000u;
    }
    return any;
}

template <typename T> void Checker::CheckSamples(qint64 trace, const T* samples, int count)
{
    if (count <= 0)
        return;
    // Live traces end this loop within a few samples.
    int live = 0;
    while (live < count && samples[live] == T(0))
        ++live;
    if (live == count) {
        dead.Add(trace, listed);
        return;
    }
    const int format = file.Format().code;
    if (format == 5 || format == 6) {
        if (AnyNonFinite(samples, count))
            nonFinite.Add(trace, listed);
        return;
    }
    const SampleLimits limits = LimitsOf(format);
    if (!limits.integer)
        return;
    const T high = T(limits.high);
    const T low = T(limits.low);
    const T negativeHigh = T(-limits.high);
    // Most traces have no sample at a limit: a quick look first, neighbours only then.
    bool atLimit = false;
    for (int i = 0; i < count; ++i)
        atLimit |= samples[i] == high || samples[i] == low || samples[i] == negativeHigh;
    if (!atLimit)
        return;
    for (int i = 1; i < count; ++i) {
        const T s = samples[i];
        if (s == samples[i - 1] && (s == high || s == low || s == negativeHigh)) {
            clipped.Add(trace, listed);
            return;
        }
    }
}

template <typename T> bool Checker::ReadSampleRuns(QString* error)
{
    const bool readable = file.Format().readable;
    const qint64 traceBytes = qint64(kTraceHeaderBytes) * (1 + file.AdditionalTraceHeaders())
        + qint64(file.SamplesPerTrace()) * file.Format().bytesPerSample;
    const qint64 run = std::max<qint64>(1, kRunBytes / std::max<qint64>(traceBytes, 1));
    std::vector<T> samples;
    QString reason;
    for (qint64 first = 0; first < traceCount; first += run) {
        const qint64 count = std::min(run, traceCount - first);
        // The samples first: their sequential read brings the run's pages in, so that the
        // header columns, whose reads stride from trace to trace, find them in the cache.
        if (readable) {
            samples.resize(std::size_t(file.SampleCount(first, count)));
            if (!file.ReadSamples(first, count, samples.data(), &reason)) {
                if (error)
                    *error = reason;
                return false;
            }
        }
        CheckHeaderColumns(first, count);
        const T* at = samples.data();
        for (qint64 i = 0; i < count; ++i) {
            const qint64 trace = first + i;
            const int n = file.SampleCount(trace);
            if (readable) {
                CheckSamples(trace, at, n);
                at += n;
            }
            if (options.progress && !options.progress(trace + 1, traceCount)) {
                cancelled = true;
                return Fail(error,
                    QStringLiteral("cancelled after %1 of %2 traces")
                        .arg(trace + 1)
                        .arg(traceCount));
            }
        }
    }
    return true;
}

bool Checker::ReadTraces(QString* error)
{
    if (traceCount == 0)
        return true;
    if (!file.Format().readable) {
        Add(SegySeverity::Error, "unreadable-samples",
            QStringLiteral("samples of format %1 (%2) cannot be read: the format is obsolete; "
                           "only the headers are checked")
                .arg(file.Format().code)
                .arg(QLatin1String(file.Format().title)));
    }
    return DecodesAsDouble(file.Format().code) ? ReadSampleRuns<double>(error)
                                               : ReadSampleRuns<float>(error);
}

void Checker::ReportTraceFindings()
{
    if (sampleCount.count > 0) {
        // A binary header that every trace contradicts, or one the reader went by, leads
        // readers astray; traces of their own lengths are allowed without the fixed-length flag.
        const bool wrong = file.IsFixedLength() || !lengthsVary;
        QString what;
        if (!lengthsVary) {
            what = QStringLiteral("the binary header gives %1 samples per trace; every trace "
                                  "header that gives a count gives %2")
                       .arg(file.SamplesPerTrace())
                       .arg(firstGivenSamples);
        } else {
            what = QStringLiteral("%1 give another sample count than the binary header's %2 (the "
                                  "first: %3)")
                       .arg(Traces(sampleCount.count))
                       .arg(file.SamplesPerTrace())
                       .arg(firstOtherSamples);
        }
        if (file.IsFixedLength()) {
            what += QStringLiteral(
                "; the traces are read with %1 samples, as the binary header says")
                        .arg(file.SamplesPerTrace());
        } else if (lengthsVary) {
            what += QStringLiteral("; the traces differ in length");
        }
        Add(wrong ? SegySeverity::Error : SegySeverity::Warning, "sample-count", what, sampleCount);
    }
    if (interval.count > 0) {
        Add(SegySeverity::Warning, "sample-interval",
            QStringLiteral("%1 give another sample interval than the binary header's %2 (the "
                           "first: %3)")
                .arg(Traces(interval.count))
                .arg(Number(file.SampleInterval()))
                .arg(firstOtherInterval),
            interval);
    } else if (file.SampleInterval() == 0) {
        Add(SegySeverity::Warning, "no-sample-interval",
            QStringLiteral("no sample interval: the binary header and the trace headers give 0"));
    }
    if (traceCount > 0 && zeroCoordinates.count == traceCount) {
        Add(SegySeverity::Warning, "zero-coordinates",
            QStringLiteral("no coordinates: source, group and CDP X and Y are 0 in every trace"),
            zeroCoordinates);
    } else if (zeroCoordinates.count > 0) {
        Add(SegySeverity::Warning, "zero-coordinates",
            QStringLiteral("%1 have no coordinates: source, group and CDP X and Y are all 0")
                .arg(Traces(zeroCoordinates.count)),
            zeroCoordinates);
    }
    if (anyCoordinates && scalarChanges.count > 0) {
        Add(SegySeverity::Warning, "coordinate-scalar-changes",
            QStringLiteral("the coordinate scalar changes along the file: %1 in the first trace, "
                           "another value in %2 (the first: %3)")
                .arg(firstScalar)
                .arg(Traces(scalarChanges.count))
                .arg(otherScalar),
            scalarChanges);
    }
    if (scalarZero.count > 0) {
        Add(SegySeverity::Note, "coordinate-scalar-zero",
            QStringLiteral("coordinate scalar 0 in %1: the coordinates are read as they stand "
                           "(scalar 1)")
                .arg(scalarZero.count == traceCount
                        ? QStringLiteral("every trace")
                        : Traces(scalarZero.count) + QStringLiteral(" with coordinates")),
            scalarZero);
    }
    if (nonFinite.count > 0) {
        Add(SegySeverity::Error, "non-finite-samples",
            QStringLiteral("%1 hold NaN or infinite samples").arg(Traces(nonFinite.count)),
            nonFinite);
    }
    if (dead.count > 0) {
        Add(SegySeverity::Warning, "dead-traces",
            QStringLiteral("%1 dead: every sample is 0").arg(Traces(dead.count)), dead);
    }
    if (clipped.count > 0) {
        const SampleLimits limits = LimitsOf(file.Format().code);
        const QString range = limits.low == limits.high
            ? Number(limits.high)
            : QStringLiteral("%1 or %2").arg(Number(limits.low), Number(limits.high));
        Add(SegySeverity::Warning, "clipped-samples",
            QStringLiteral("%1 clipped: neighbouring samples at the format's limit %2")
                .arg(Traces(clipped.count))
                .arg(range),
            clipped);
    }
}

// Duplicates (traces whose position an earlier trace holds) and, when the geometry finds no
// order, the traces that break the better of inline and crossline order: those that return to
// a line (a CDP of a 2D line) the file has left already.
bool Checker::ReadKeys(const SegyGeometry& geometry, QString* error)
{
    const SegyGeometryKind kind = geometry.Kind();
    const bool unsorted = geometry.Sorting() == SegyTraceSorting::None;
    if (geometry.DuplicateCount() == 0 && !unsorted)
        return true;
    const SegyGeometryOptions defaults;
    SegyField fields[4];
    const QString names[4]
        = {defaults.inlineField, defaults.crosslineField, defaults.offsetField, defaults.cdpField};
    for (int i = 0; i < 4; ++i) {
        if (!ParseSegyTraceField(names[i], &fields[i]))
            return true;
    }

    TraceList duplicates;
    // Order breaks with inline numbers outermost [0] and with crossline numbers outermost [1].
    TraceList breaks[2];
    QSet<qint64> left[2];
    qint64 previous[2] = {};
    qint64 previousOffset = 0;
    std::vector<qint64> keys[4];
    QString reason;
    for (qint64 first = 0; first < traceCount; first += kKeyRun) {
        const qint64 count = std::min(kKeyRun, traceCount - first);
        qint64* dst[4];
        for (int k = 0; k < 4; ++k) {
            keys[k].resize(std::size_t(count));
            dst[k] = keys[k].data();
        }
        if (!file.ReadTraceFieldColumns(fields, 4, first, count, dst, &reason)) {
            if (error)
                *error = reason;
            return false;
        }
        for (qint64 i = 0; i < count; ++i) {
            const qint64 trace = first + i;
            const qint64 il = keys[0][std::size_t(i)];
            const qint64 xl = keys[1][std::size_t(i)];
            const qint64 cdp = keys[3][std::size_t(i)];
            qint64 holder = trace;
            if (kind == SegyGeometryKind::Cube)
                holder = geometry.TraceNumber(il, xl);
            else if (kind == SegyGeometryKind::Prestack)
                holder = geometry.TraceNumber(il, xl, keys[2][std::size_t(i)]);
            else if (kind == SegyGeometryKind::Line)
                holder = geometry.TraceNumber(cdp, 0);
            if (holder >= 0 && holder != trace)
                duplicates.Add(trace, listed);
            if (!unsorted)
                continue;
            // A file of common-offset cubes starts over with each offset.
            const qint64 offset = keys[2][std::size_t(i)];
            if (kind == SegyGeometryKind::Prestack && !geometry.OffsetsInnermost()
                && offset != previousOffset) {
                left[0].clear();
                left[1].clear();
            }
            previousOffset = offset;
            for (int order = 0; order < 2; ++order) {
                const qint64 line = kind == SegyGeometryKind::Line ? cdp : order == 0 ? il : xl;
                if (trace > 0 && line != previous[order]) {
                    // Back to a line the file has left already.
                    left[order].insert(previous[order]);
                    if (left[order].contains(line))
                        breaks[order].Add(trace, listed);
                }
                previous[order] = line;
            }
        }
        if (options.progress && !options.progress(traceCount, traceCount)) {
            cancelled = true;
            return Fail(error, QStringLiteral("cancelled while checking the geometry"));
        }
    }
    if (duplicates.count > 0) {
        Add(SegySeverity::Warning, "duplicate-bins",
            QStringLiteral("%1 at a %2 an earlier trace holds already")
                .arg(Traces(duplicates.count))
                .arg(kind == SegyGeometryKind::Line          ? QStringLiteral("CDP")
                        : kind == SegyGeometryKind::Prestack ? QStringLiteral("bin and offset")
                                                             : QStringLiteral("bin")),
            duplicates);
    }
    if (unsorted) {
        const TraceList& fewer = breaks[1].count < breaks[0].count ? breaks[1] : breaks[0];
        Add(SegySeverity::Warning, "unsorted",
            QStringLiteral("the traces are in neither inline nor crossline order: %1 return to a "
                           "line the file has left, in the nearer order")
                .arg(Traces(fewer.count)),
            fewer);
    }
    return true;
}

void Checker::ReportMissingBins(const SegyGeometry& geometry)
{
    const qint64 missing = geometry.MissingBinCount();
    if (missing <= 0)
        return;
    QStringList firstBins;
    const int shown = 3;
    if (geometry.Kind() == SegyGeometryKind::Line) {
        const SegyAxis& cdps = geometry.Cdps();
        for (qint64 i = 0; i < cdps.count && firstBins.size() < shown; ++i) {
            if (geometry.TraceNumber(cdps.At(i), 0) < 0)
                firstBins << QStringLiteral("CDP %1").arg(cdps.At(i));
        }
    } else {
        const SegyAxis& il = geometry.Inlines();
        const SegyAxis& xl = geometry.Crosslines();
        std::vector<qint64> offsets = geometry.Offsets();
        if (offsets.empty())
            offsets.push_back(std::numeric_limits<qint64>::min());
        for (qint64 i = 0; i < il.count && firstBins.size() < shown; ++i) {
            for (qint64 j = 0; j < xl.count && firstBins.size() < shown; ++j) {
                const bool empty = std::all_of(offsets.begin(), offsets.end(), [&](qint64 offset) {
                    return geometry.TraceNumber(il.At(i), xl.At(j), offset) < 0;
                });
                if (empty)
                    firstBins
                        << QStringLiteral("inline %1 crossline %2").arg(il.At(i)).arg(xl.At(j));
            }
        }
    }
    const bool line = geometry.Kind() == SegyGeometryKind::Line;
    Add(SegySeverity::Note, "missing-bins",
        QStringLiteral("%1 of the %2 %3 hold no trace, the first: %4%5")
            .arg(missing)
            .arg(geometry.BinCount())
            .arg(line ? QStringLiteral("CDPs of the line") : QStringLiteral("bins of the grid"))
            .arg(firstBins.join(QStringLiteral(", ")))
            .arg(missing > firstBins.size() ? QStringLiteral(", ...") : QString()));
}

// Waits for the geometry built beside the trace pass, listening for a cancel meanwhile.
bool Checker::FinishGeometry(std::unique_ptr<SegyGeometry>* geometry, QString* error)
{
    if (!building.valid())
        return true;
    while (building.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (options.progress && !options.progress(traceCount, traceCount)) {
            cancelled = true;
            stopBuilding = true;
        }
    }
    *geometry = building.get();
    if (cancelled)
        return Fail(error, QStringLiteral("cancelled while building the geometry"));
    return true;
}

bool Checker::CheckGeometry(const SegyGeometry* geometry, QString* error)
{
    if (traceCount == 0)
        return true;
    if (!geometry) {
        const QString& reason = geometryError;
        Add(SegySeverity::Note, "no-geometry",
            QStringLiteral("no survey geometry: %1")
                .arg(reason.startsWith(file.FileName() + QStringLiteral(": "))
                        ? reason.mid(file.FileName().size() + 2)
                        : reason));
        return true;
    }
    if (geometry->Kind() == SegyGeometryKind::Unstructured) {
        QStringList why;
        for (const QString& warning : geometry->Warnings()) {
            why << (warning.startsWith(file.FileName() + QStringLiteral(": "))
                    ? warning.mid(file.FileName().size() + 2)
                    : warning);
        }
        Add(SegySeverity::Note, "no-geometry",
            QStringLiteral("no survey grid found in the trace headers%1")
                .arg(why.isEmpty() ? QString()
                                   : QStringLiteral(": ") + why.join(QStringLiteral("; "))));
        return true;
    }
    if (!ReadKeys(*geometry, error))
        return false;
    ReportMissingBins(*geometry);
    return true;
}

bool Checker::Run(std::vector<SegyFinding>* findings, QString* error)
{
    CheckLayout();
    CheckRevision();
    CheckTextHeaders();
    // The geometry's header scan runs on a thread of its own beside the trace pass; it only
    // listens for a stop.
    if (traceCount > 0) {
        building = std::async(std::launch::async, [this] {
            SegyGeometryOptions geometryOptions;
            geometryOptions.progress = [this](qint64, qint64) { return !stopBuilding.load(); };
            return SegyGeometry::Build(file, &geometryError, geometryOptions);
        });
    }
    const bool read = ReadTraces(error);
    if (!read)
        stopBuilding = true;
    std::unique_ptr<SegyGeometry> geometry;
    QString waitError;
    const bool built = FinishGeometry(&geometry, &waitError);
    if (!read)
        return false;
    if (!built) {
        if (error)
            *error = waitError;
        return false;
    }
    ReportTraceFindings();
    if (!CheckGeometry(geometry.get(), error))
        return false;
    std::stable_sort(found.begin(), found.end(),
        [](const SegyFinding& a, const SegyFinding& b) { return a.severity < b.severity; });
    *findings = std::move(found);
    return true;
}

} // namespace

const char* SegySeverityName(SegySeverity severity)
{
    switch (severity) {
    case SegySeverity::Error:
        return "error";
    case SegySeverity::Warning:
        return "warning";
    default:
        return "note";
    }
}

bool CheckSegyFile(const SegyFile& file, std::vector<SegyFinding>* findings, QString* error,
    const SegyCheckOptions& options)
{
    Checker checker(file, options);
    return checker.Run(findings, error);
}
