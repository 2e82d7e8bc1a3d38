#include "SegyWriter.h"

#include "SegyFields.h"
#include "SegyPendingFile.h"
#include "SegySamples.h"

#include "TextUtils.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kTextBytes = 3200;
constexpr int kTraceHeaderBytes = 240;
// Traces collect in memory up to this size before they are written.
constexpr std::size_t kFlushBytes = std::size_t{8} << 20;
// SegyCopy reads the input in runs of about this many bytes.
constexpr qint64 kRunBytes = qint64{4} << 20;
constexpr qint64 kByteOrderConstant = 0x01020304;

const SegyField& Binary(int byte)
{
    return *FindSegyBinaryField(byte);
}

bool IsWritableFormat(int code)
{
    const SegyFormat* f = FindSegyFormat(code);
    return f && f->readable;
}

} // namespace

QByteArray EncodeSegyText(const QStringList& lines, SegyTextEncoding encoding)
{
    QByteArray bytes(kTextBytes, ' ');
    for (int i = 0; i < 40 && i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).toLatin1().left(80);
        std::memcpy(bytes.data() + i * 80, line.constData(), std::size_t(line.size()));
    }
    if (encoding == SegyTextEncoding::Ebcdic)
        AsciiToEbcdic(bytes.data(), bytes.size());
    return bytes;
}

struct SegyWriter::Data {
    QString path;
    SegyWriteOptions options;
    QByteArray text;
    QList<QByteArray> extended;
    QList<QByteArray> trailers;
    SegyBinaryHeader binary;
    SegyPendingFile file;
    // Bytes not yet written: `used` of `capacity`, left uninitialised until filled.
    std::unique_ptr<unsigned char[]> buffer;
    std::size_t used = 0;
    std::size_t capacity = 0;
    // A full buffer goes to a thread of its own that writes it while the next one fills: the
    // system's copy into the page cache overlaps the conversion.
    std::thread writerThread;
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<unsigned char[]> writing; // the buffer being written, null when idle
    std::size_t writingSize = 0;
    std::size_t writingCapacity = 0;
    std::unique_ptr<unsigned char[]> spare; // the other buffer, while not in use
    std::size_t spareCapacity = 0;
    bool stopWriting = false;
    QString writeFailure; // the system's reason, once a write failed

    ~Data() { StopWriting(); }
    void WriteInBackground();
    bool WaitForWrite(QString* error);
    void StopWriting();
    const SegyFormat* format = nullptr;
    bool begun = false;
    bool headersWritten = false;
    bool failed = false;
    bool little = false;
    int revision = 1;
    qint64 traces = 0;
    qint64 fileSamples = 0; // the binary header's samples per trace, as written
    int extraBytes = 0; // additional trace headers of every trace

    QString Message(const QString& problem) const { return path + QStringLiteral(": ") + problem; }
    bool Fail(QString* error, const QString& problem)
    {
        if (error)
            *error = Message(problem);
        failed = true;
        StopWriting();
        file.Discard();
        return false;
    }
    bool Flush(QString* error);
    unsigned char* Reserve(std::size_t bytes, QString* error);
    bool Append(const char* data, std::size_t bytes, QString* error);
    bool WriteHeaders(int firstCount, QString* error);
    unsigned char* AppendTrace(
        const SegyTraceHeader& header, int count, const QByteArray& additional, QString* error);
    template <typename Sample>
    bool WriteSamples(const SegyTraceHeader& header, const Sample* samples, int count,
        QString* error, const QByteArray& additional)
    {
        unsigned char* dst = AppendTrace(header, count, additional, error);
        if (!dst)
            return false;
        EncodeSegySamples(samples, format->code, little, dst, count);
        return used < kFlushBytes || Flush(error);
    }
};

void SegyWriter::Data::WriteInBackground()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return writing || stopWriting; });
        if (!writing)
            return;
        QString reason;
        lock.unlock();
        const bool ok = writeFailure.isNull() && file.Write(writing.get(), writingSize, &reason);
        lock.lock();
        if (!ok && writeFailure.isNull())
            writeFailure = reason;
        // Handed back as the spare buffer.
        spare = std::move(writing);
        spareCapacity = writingCapacity;
        changed.notify_all();
    }
}

// Waits until the buffer in the writer thread is written; false when a write failed.
bool SegyWriter::Data::WaitForWrite(QString* error)
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !writing; });
    if (writeFailure.isNull())
        return true;
    const QString reason = writeFailure;
    lock.unlock();
    return Fail(error, QStringLiteral("cannot write: %1").arg(reason));
}

void SegyWriter::Data::StopWriting()
{
    if (!writerThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopWriting = true;
    }
    changed.notify_all();
    writerThread.join();
}

bool SegyWriter::Data::Flush(QString* error)
{
    if (used == 0)
        return true;
    if (!WaitForWrite(error))
        return false;
    if (!writerThread.joinable())
        writerThread = std::thread([this] { WriteInBackground(); });
    {
        std::lock_guard<std::mutex> lock(mutex);
        writing = std::move(buffer);
        writingSize = used;
        writingCapacity = capacity;
        buffer = std::move(spare);
        capacity = buffer ? spareCapacity : 0;
    }
    changed.notify_all();
    used = 0;
    return true;
}

// Room for `bytes` more at the end of the buffer, flushing it first when full.
unsigned char* SegyWriter::Data::Reserve(std::size_t bytes, QString* error)
{
    if (used + bytes > capacity && !Flush(error))
        return nullptr;
    if (bytes > capacity) {
        capacity = std::max(bytes, kFlushBytes + (std::size_t{1} << 20));
        buffer.reset(new unsigned char[capacity]);
    }
    unsigned char* at = buffer.get() + used;
    used += bytes;
    return at;
}

bool SegyWriter::Data::Append(const char* data, std::size_t bytes, QString* error)
{
    unsigned char* at = Reserve(bytes, error);
    if (at && bytes > 0)
        std::memcpy(at, data, bytes);
    return at != nullptr;
}

// The file headers, with the fields the writer keeps right; `firstCount` is the first trace's
// sample count (-1 when the file has no trace).
bool SegyWriter::Data::WriteHeaders(int firstCount, QString* error)
{
    SegyBinaryHeader h = binary;
    unsigned char* b = h.Bytes();
    const int givenMajor = b[300];
    const int givenMinor = b[301];

    qint64 samples = h.Value(Binary(3221));
    if (givenMajor >= 2 && h.Value(Binary(3269)) != 0)
        samples = h.Value(Binary(3269));
    if (samples == 0 && firstCount > 0 && options.revision >= 0)
        samples = firstCount;
    const int additional = givenMajor >= 2 ? int(h.Value(Binary(3507))) : 0;

    int major = options.revision > 0 ? options.revision
                                     : std::max(givenMajor, options.revision == 0 ? 1 : 0);
    int minor = major == givenMajor ? givenMinor : 0;
    if (major < 2 && (little || additional > 0 || samples > 32767)) {
        major = 2;
        minor = 0;
    }
    revision = major;
    b[300] = static_cast<unsigned char>(major);
    b[301] = static_cast<unsigned char>(minor);

    h.SetValue(Binary(3225), format->code);
    const bool newConstant = options.revision >= 0 && major >= 2 && h.Value(Binary(3297)) == 0;
    if (little || newConstant)
        h.SetValue(Binary(3297), kByteOrderConstant);
    if (samples > 65535) {
        h.SetValue(Binary(3221), 0);
        h.SetValue(Binary(3269), samples);
    } else if (h.Value(Binary(3269)) == 0 || major < 2) {
        h.SetValue(Binary(3221), samples);
    }
    const bool keepVariable = h.Value(Binary(3505)) == -1 && !extended.isEmpty()
        && IsEndStanza(reinterpret_cast<const unsigned char*>(extended.last().constData()));
    if (!keepVariable)
        h.SetValue(Binary(3505), extended.size());
    if (major >= 2)
        h.SetValue(Binary(3529), trailers.size());
    binary = h;

    if (little)
        SwapBinaryHeader(b);
    QByteArray head = text.isEmpty() ? EncodeSegyText({}, options.textEncoding) : text;
    head.append(reinterpret_cast<const char*>(b), 400);
    for (const QByteArray& record : extended)
        head.append(record);
    const quint64 firstTrace = binary.UnsignedValue(Binary(3521));
    if (major >= 2 && firstTrace != 0) {
        if (firstTrace < quint64(head.size())) {
            return Fail(error,
                QStringLiteral("first-trace offset %1 lies inside the %2 bytes of file headers")
                    .arg(firstTrace)
                    .arg(head.size()));
        }
        if (firstTrace > quint64(head.size()) + (quint64{1} << 30))
            return Fail(error,
                QStringLiteral("first-trace offset %1 is too far past the headers")
                    .arg(firstTrace));
        head.append(QByteArray(int(firstTrace - quint64(head.size())), '\0'));
    }
    fileSamples
        = binary.Value(Binary(3221)) != 0 ? binary.Value(Binary(3221)) : binary.Value(Binary(3269));
    extraBytes = major >= 2 ? int(binary.Value(Binary(3507))) * kTraceHeaderBytes : 0;
    headersWritten = true;
    return Append(head.constData(), std::size_t(head.size()), error);
}

unsigned char* SegyWriter::Data::AppendTrace(
    const SegyTraceHeader& header, int count, const QByteArray& additional, QString* error)
{
    if (!begun || failed) {
        Fail(error, QStringLiteral("the writer is not open"));
        return nullptr;
    }
    if (count < 0) {
        Fail(error, QStringLiteral("negative sample count %1").arg(count));
        return nullptr;
    }
    if (!headersWritten && !WriteHeaders(count, error))
        return nullptr;
    const int extra = extraBytes;
    if (!additional.isEmpty() && additional.size() != extra) {
        Fail(error,
            QStringLiteral(
                "trace %1: %2 bytes of additional headers given; the binary header asks for %3")
                .arg(traces)
                .arg(additional.size())
                .arg(extra));
        return nullptr;
    }
    if (count == 0 && fileSamples != 0) {
        Fail(error,
            QStringLiteral("trace %1 has no samples, which the file cannot tell from the %2 of its "
                           "binary header")
                .arg(traces)
                .arg(fileSamples));
        return nullptr;
    }
    const std::size_t bytes = std::size_t(kTraceHeaderBytes) + std::size_t(extra)
        + std::size_t(count) * std::size_t(format->bytesPerSample);
    unsigned char* at = Reserve(bytes, error);
    if (!at)
        return nullptr;
    std::memcpy(at, header.Bytes(), kTraceHeaderBytes);
    // The trace's sample count (bytes 115-116), unless the header says it already.
    const int given = (at[114] << 8 | at[115]);
    const qint64 givenCount = revision >= 2 ? given : int16_t(given);
    // A 0 there stands for the binary header's count in files written elsewhere; a copy keeps
    // it, a new file states every trace's count.
    const bool keepZero = options.revision < 0 && givenCount == 0 && count == fileSamples;
    const bool stated = givenCount == count || keepZero;
    if (!stated && count <= (revision >= 2 ? 65535 : 32767)) {
        at[114] = static_cast<unsigned char>(count >> 8);
        at[115] = static_cast<unsigned char>(count);
    }
    if (little)
        SwapTraceHeader(at);
    if (additional.isEmpty())
        std::memset(at + kTraceHeaderBytes, 0, std::size_t(extra));
    else
        std::memcpy(at + kTraceHeaderBytes, additional.constData(), std::size_t(extra));
    ++traces;
    return at + kTraceHeaderBytes + extra;
}

SegyWriter::SegyWriter(const QString& path, const SegyWriteOptions& options)
    : d(std::make_unique<Data>())
{
    d->path = path;
    d->options = options;
    d->little = options.byteOrder == SegyByteOrder::Little;
}

SegyWriter::~SegyWriter()
{
    Cancel();
}

void SegyWriter::SetTextHeader(const QStringList& lines)
{
    d->text = EncodeSegyText(lines, d->options.textEncoding);
}

void SegyWriter::SetRawTextHeader(const QByteArray& bytes)
{
    const char blank = d->options.textEncoding == SegyTextEncoding::Ebcdic ? char(0x40) : ' ';
    d->text = bytes.left(kTextBytes);
    d->text.append(QByteArray(kTextBytes - d->text.size(), blank));
}

void SegyWriter::SetRawExtendedTextHeaders(const QList<QByteArray>& records)
{
    d->extended.clear();
    for (const QByteArray& r : records)
        d->extended << r.left(kTextBytes)
                + QByteArray(kTextBytes - std::min(int(r.size()), kTextBytes), ' ');
}

void SegyWriter::SetBinaryHeader(const SegyBinaryHeader& header)
{
    d->binary = header;
}

SegyBinaryHeader& SegyWriter::BinaryHeader()
{
    return d->binary;
}

bool SegyWriter::Begin(QString* error)
{
    d->format = FindSegyFormat(d->options.format);
    if (!IsWritableFormat(d->options.format)) {
        d->failed = true;
        if (error)
            *error = d->Message(
                QStringLiteral("cannot write samples in format %1").arg(d->options.format));
        return false;
    }
    QString reason;
    if (!d->file.Open(d->path, &reason)) {
        d->failed = true;
        if (error)
            *error = d->Message(QStringLiteral("cannot create: %1").arg(reason));
        return false;
    }
    d->begun = true;
    return true;
}

bool SegyWriter::WriteTrace(const SegyTraceHeader& header, const float* samples, int count,
    QString* error, const QByteArray& additional)
{
    return d->WriteSamples(header, samples, count, error, additional);
}

bool SegyWriter::WriteTrace(const SegyTraceHeader& header, const double* samples, int count,
    QString* error, const QByteArray& additional)
{
    return d->WriteSamples(header, samples, count, error, additional);
}

bool SegyWriter::WriteRawTrace(const SegyTraceHeader& header, const unsigned char* sampleBytes,
    int count, QString* error, const QByteArray& additional)
{
    unsigned char* dst = d->AppendTrace(header, count, additional, error);
    if (!dst)
        return false;
    if (count > 0)
        std::memcpy(dst, sampleBytes, std::size_t(count) * std::size_t(d->format->bytesPerSample));
    return d->used < kFlushBytes || d->Flush(error);
}

void SegyWriter::SetRawTrailerRecords(const QList<QByteArray>& records)
{
    d->trailers.clear();
    for (const QByteArray& r : records)
        d->trailers << r.left(kTextBytes)
                + QByteArray(kTextBytes - std::min(int(r.size()), kTextBytes), ' ');
}

bool SegyWriter::Finish(QString* error)
{
    if (!d->begun || d->failed)
        return d->Fail(error, QStringLiteral("the writer is not open"));
    if (!d->headersWritten && !d->WriteHeaders(-1, error))
        return false;
    for (const QByteArray& record : d->trailers) {
        if (!d->Append(record.constData(), std::size_t(record.size()), error))
            return false;
    }
    if (!d->Flush(error) || !d->WaitForWrite(error))
        return false;
    d->StopWriting();
    d->begun = false;
    QString reason;
    if (!d->file.Commit(&reason)) {
        d->failed = true;
        if (error)
            *error = d->Message(QStringLiteral("cannot save: %1").arg(reason));
        return false;
    }
    return true;
}

void SegyWriter::Cancel()
{
    d->StopWriting();
    d->file.Discard();
    d->begun = false;
}

qint64 SegyWriter::TracesWritten() const
{
    return d->traces;
}

bool SegyCopy(const SegyFile& in, const QString& outPath, const SegyWriteOptions& options,
    QString* error, const SegyProgress& progress)
{
    if (QFileInfo(outPath).absoluteFilePath() == QFileInfo(in.FileName()).absoluteFilePath()
        || (QFileInfo::exists(outPath)
            && QFileInfo(outPath).canonicalFilePath()
                == QFileInfo(in.FileName()).canonicalFilePath())) {
        if (error)
            *error = outPath + QStringLiteral(": is the input file itself");
        return false;
    }
    SegyWriteOptions o = options;
    if (o.revision == 0)
        o.revision = -1;
    SegyWriter writer(outPath, o);
    writer.SetRawTextHeader(in.RawTextHeader());
    QList<QByteArray> records;
    for (int i = 0; i < in.ExtendedTextHeaderCount(); ++i)
        records << in.RawExtendedTextHeader(i);
    writer.SetRawExtendedTextHeaders(records);
    QList<QByteArray> trailers;
    for (int i = 0; i < in.TrailerRecordCount(); ++i)
        trailers << in.RawTrailerRecord(i);
    writer.SetRawTrailerRecords(trailers);
    SegyBinaryHeader binary = in.BinaryHeader();
    if (!in.IsFixedLength())
        binary.SetValue(Binary(3503), 0); // a scan found traces of differing lengths
    writer.SetBinaryHeader(binary);
    if (!writer.Begin(error))
        return false;

    const SegyFormat& from = in.Format();
    const bool sameFormat = from.code == o.format;
    const bool sameOrder = in.ByteOrder()
        == (o.byteOrder == SegyByteOrder::Little ? SegyByteOrder::Little : SegyByteOrder::Big);
    if (!sameFormat && !from.readable) {
        if (error)
            *error = in.FileName()
                + QStringLiteral(": samples of format 4 cannot be read: the format is obsolete");
        return false;
    }
    const bool wide = from.widerThanFloat
        || (FindSegyFormat(o.format) && FindSegyFormat(o.format)->widerThanFloat);
    const bool little = in.ByteOrder() == SegyByteOrder::Little;
    const int headerBytes = kTraceHeaderBytes * (1 + in.AdditionalTraceHeaders());
    std::vector<unsigned char> raw;
    std::vector<float> floats;
    std::vector<double> doubles;
    SegyTraceHeader header;

    // The traces are read in runs of a few megabytes with read(): on a file met for the first
    // time that is several times faster than touching the mapping page by page.
    QFile source(in.FileName());
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = in.FileName() + QStringLiteral(": cannot open: %1").arg(source.errorString());
        return false;
    }
    std::vector<unsigned char> run;
    const qint64 total = in.TraceCount();
    qint64 t = 0;
    while (t < total) {
        // Traces [t, end) follow one another from TraceOffset(t) on.
        const qint64 start = in.TraceOffset(t);
        qint64 end = t;
        qint64 bytes = 0;
        do {
            bytes += headerBytes + qint64(in.SampleCount(end)) * from.bytesPerSample;
            ++end;
        } while (end < total && bytes < kRunBytes);
        run.resize(std::size_t(bytes));
        if (!source.seek(start)
            || source.read(reinterpret_cast<char*>(run.data()), bytes) != bytes) {
            if (error)
                *error
                    = in.FileName() + QStringLiteral(": cannot read: %1").arg(source.errorString());
            return false;
        }
        const unsigned char* trace = run.data();
        for (; t < end; ++t) {
            const int n = in.SampleCount(t);
            std::memcpy(header.Bytes(), trace, kTraceHeaderBytes);
            if (little)
                SwapTraceHeader(header.Bytes());
            const QByteArray additional = headerBytes > kTraceHeaderBytes
                ? QByteArray::fromRawData(reinterpret_cast<const char*>(trace) + kTraceHeaderBytes,
                    headerBytes - kTraceHeaderBytes)
                : QByteArray();
            const unsigned char* samples = trace + headerBytes;
            trace = samples + std::size_t(n) * std::size_t(from.bytesPerSample);
            bool ok = false;
            if (sameFormat && sameOrder) {
                ok = writer.WriteRawTrace(header, samples, n, error, additional);
            } else if (sameFormat) {
                raw.resize(std::size_t(n) * std::size_t(from.bytesPerSample));
                SwapSegyValues(samples, raw.data(), from.bytesPerSample, n);
                ok = writer.WriteRawTrace(header, raw.data(), n, error, additional);
            } else if (wide) {
                doubles.resize(std::size_t(n));
                DecodeSegySamples(samples, from.code, little, doubles.data(), n);
                ok = writer.WriteTrace(header, doubles.data(), n, error, additional);
            } else {
                floats.resize(std::size_t(n));
                DecodeSegySamples(samples, from.code, little, floats.data(), n);
                ok = writer.WriteTrace(header, floats.data(), n, error, additional);
            }
            if (!ok)
                return false;
            if (progress && !progress(t + 1, total)) {
                if (error)
                    *error = outPath
                        + QStringLiteral(": cancelled after %1 of %2 traces").arg(t + 1).arg(total);
                return false;
            }
        }
    }
    return writer.Finish(error);
}
