#include "SegyWriter.h"

#include "SegyFields.h"
#include "SegySamples.h"

#include "TextUtils.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
#include <vector>

namespace {

constexpr int kTextBytes = 3200;
constexpr int kTraceHeaderBytes = 240;
// Traces collect in memory up to this size before they are written.
constexpr std::size_t kFlushBytes = std::size_t{4} << 20;
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
    QSaveFile file;
    std::vector<unsigned char> buffer;
    const SegyFormat* format = nullptr;
    bool begun = false;
    bool headersWritten = false;
    bool failed = false;
    bool little = false;
    int revision = 1;
    qint64 traces = 0;

    QString Message(const QString& problem) const { return path + QStringLiteral(": ") + problem; }
    bool Fail(QString* error, const QString& problem)
    {
        if (error)
            *error = Message(problem);
        failed = true;
        file.cancelWriting();
        return false;
    }
    bool Flush(QString* error);
    bool WriteHeaders(int firstCount, QString* error);
    unsigned char* AppendTrace(
        const SegyTraceHeader& header, int count, const QByteArray& additional, QString* error);
};

bool SegyWriter::Data::Flush(QString* error)
{
    if (buffer.empty())
        return true;
    const qint64 n = qint64(buffer.size());
    if (file.write(reinterpret_cast<const char*>(buffer.data()), n) != n)
        return Fail(error, QStringLiteral("cannot write: %1").arg(file.errorString()));
    buffer.clear();
    return true;
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
    buffer.insert(buffer.end(), head.constData(), head.constData() + head.size());
    headersWritten = true;
    return true;
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
    const int extra = revision >= 2 ? int(binary.Value(Binary(3507))) * kTraceHeaderBytes : 0;
    if (!additional.isEmpty() && additional.size() != extra) {
        Fail(error,
            QStringLiteral(
                "trace %1: %2 bytes of additional headers given; the binary header asks for %3")
                .arg(traces)
                .arg(additional.size())
                .arg(extra));
        return nullptr;
    }
    SegyTraceHeader h = header;
    const SegyField& samplesField = *FindSegyTraceField(115);
    const qint64 given = h.Value(samplesField) & (revision >= 2 ? 0xFFFF : -1);
    const qint64 fileSamples
        = binary.Value(Binary(3221)) != 0 ? binary.Value(Binary(3221)) : binary.Value(Binary(3269));
    if (count == 0 && fileSamples != 0) {
        Fail(error,
            QStringLiteral("trace %1 has no samples, which the file cannot tell from the %2 of its "
                           "binary header")
                .arg(traces)
                .arg(fileSamples));
        return nullptr;
    }
    const bool stated = given == count || (given == 0 && count == fileSamples);
    if (!stated && count <= (revision >= 2 ? 65535 : 32767))
        h.SetValue(samplesField, count);
    if (little)
        SwapTraceHeader(h.Bytes());

    const std::size_t at = buffer.size();
    const std::size_t bytes = std::size_t(kTraceHeaderBytes) + std::size_t(extra)
        + std::size_t(count) * std::size_t(format->bytesPerSample);
    buffer.resize(at + bytes);
    std::memcpy(&buffer[at], h.Bytes(), kTraceHeaderBytes);
    if (additional.isEmpty())
        std::memset(&buffer[at + kTraceHeaderBytes], 0, std::size_t(extra));
    else
        std::memcpy(&buffer[at + kTraceHeaderBytes], additional.constData(), std::size_t(extra));
    ++traces;
    return &buffer[at + kTraceHeaderBytes + std::size_t(extra)];
}

SegyWriter::SegyWriter(const QString& path, const SegyWriteOptions& options)
    : d(std::make_unique<Data>())
{
    d->path = path;
    d->options = options;
    d->little = options.byteOrder == SegyByteOrder::Little;
    d->file.setFileName(path);
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
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        d->failed = true;
        if (error)
            *error = d->Message(QStringLiteral("cannot create: %1").arg(d->file.errorString()));
        return false;
    }
    d->begun = true;
    d->buffer.reserve(kFlushBytes + (std::size_t{1} << 20));
    return true;
}

bool SegyWriter::WriteTrace(const SegyTraceHeader& header, const float* samples, int count,
    QString* error, const QByteArray& additional)
{
    unsigned char* dst = d->AppendTrace(header, count, additional, error);
    if (!dst)
        return false;
    EncodeSegySamples(samples, d->format->code, d->little, dst, count);
    return d->buffer.size() < kFlushBytes || d->Flush(error);
}

bool SegyWriter::WriteTrace(const SegyTraceHeader& header, const double* samples, int count,
    QString* error, const QByteArray& additional)
{
    unsigned char* dst = d->AppendTrace(header, count, additional, error);
    if (!dst)
        return false;
    EncodeSegySamples(samples, d->format->code, d->little, dst, count);
    return d->buffer.size() < kFlushBytes || d->Flush(error);
}

bool SegyWriter::WriteRawTrace(const SegyTraceHeader& header, const unsigned char* sampleBytes,
    int count, QString* error, const QByteArray& additional)
{
    unsigned char* dst = d->AppendTrace(header, count, additional, error);
    if (!dst)
        return false;
    if (count > 0)
        std::memcpy(dst, sampleBytes, std::size_t(count) * std::size_t(d->format->bytesPerSample));
    return d->buffer.size() < kFlushBytes || d->Flush(error);
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
    for (const QByteArray& record : d->trailers)
        d->buffer.insert(d->buffer.end(), record.constData(), record.constData() + record.size());
    if (!d->Flush(error))
        return false;
    d->begun = false;
    if (!d->file.commit()) {
        d->failed = true;
        if (error)
            *error = d->Message(QStringLiteral("cannot save: %1").arg(d->file.errorString()));
        return false;
    }
    return true;
}

void SegyWriter::Cancel()
{
    if (d->begun) {
        d->file.cancelWriting();
        d->file.commit(); // with writing cancelled, this only removes the temporary file
        d->begun = false;
    }
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
    std::vector<unsigned char> raw;
    std::vector<float> floats;
    std::vector<double> doubles;
    SegyTraceHeader header;
    const qint64 total = in.TraceCount();
    for (qint64 t = 0; t < total; ++t) {
        const int n = in.SampleCount(t);
        if (!in.ReadTraceHeader(t, &header, error))
            return false;
        const QByteArray additional = in.RawAdditionalTraceHeaders(t);
        bool ok = false;
        if (sameFormat && sameOrder) {
            ok = writer.WriteRawTrace(header, in.RawSamples(t), n, error, additional);
        } else if (sameFormat) {
            raw.resize(std::size_t(n) * std::size_t(from.bytesPerSample));
            SwapSegyValues(in.RawSamples(t), raw.data(), from.bytesPerSample, n);
            ok = writer.WriteRawTrace(header, raw.data(), n, error, additional);
        } else if (wide) {
            doubles.resize(std::size_t(n));
            ok = in.ReadSamples(t, doubles.data(), error)
                && writer.WriteTrace(header, doubles.data(), n, error, additional);
        } else {
            floats.resize(std::size_t(n));
            ok = in.ReadSamples(t, floats.data(), error)
                && writer.WriteTrace(header, floats.data(), n, error, additional);
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
    return writer.Finish(error);
}
