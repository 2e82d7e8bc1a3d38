// SEG-Y reading and writing. Files are built by hand from the layout (byte positions, widths,
// byte order) or by the writer, in a temporary folder.

#include "SegyFile.h"
#include "SegyWriter.h"

#include "TextUtils.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A SEG-Y file assembled byte by byte. Header positions are 1-based as in the layout.
struct FileBytes {
    bool little = false;
    QByteArray bytes = QByteArray(3600, '\0');

    void Put(qint64 pos, int width, quint64 value)
    {
        if (bytes.size() < pos - 1 + width)
            bytes.resize(int(pos - 1 + width));
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (little ? i : width - 1 - i);
            bytes[int(pos - 1 + i)] = char((value >> shift) & 0xFF);
        }
    }
    void Text(const QByteArray& ascii, bool ebcdic)
    {
        QByteArray t = ascii.leftJustified(3200, ' ', true);
        if (ebcdic)
            AsciiToEbcdic(t.data(), t.size());
        bytes.replace(0, 3200, t);
    }
    // A trace: header fields (position, width, value), then the sample bytes, given big-endian
    // and reversed per sample for a little-endian file.
    void Trace(const QList<QPair<int, qint64>>& fields, const QByteArray& samplesBigEndian,
        int bytesPerSample)
    {
        const qint64 start = bytes.size();
        bytes.append(QByteArray(240, '\0'));
        for (const auto& f : fields)
            Put(start + f.first, f.first == 115 || f.first == 117 ? 2 : 4, quint64(f.second));
        QByteArray s = samplesBigEndian;
        if (little) {
            for (int i = 0; i + bytesPerSample <= s.size(); i += bytesPerSample)
                std::reverse(s.begin() + i, s.begin() + i + bytesPerSample);
        }
        bytes.append(s);
    }
};

FileBytes Basic(int format, int samples, bool little = false)
{
    FileBytes f;
    f.little = little;
    f.Text("C 1 CLIENT TEST LINE 7", true);
    f.Put(3217, 2, 4000);
    f.Put(3221, 2, quint64(samples));
    f.Put(3225, 2, quint64(format));
    f.Put(3501, 1, 1);
    f.Put(3503, 2, 1);
    return f;
}

QString Save(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray Load(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

uint32_t FloatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

} // namespace

class TestSegy : public QObject {
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void badFiles_data();
    void badFiles();
    void headersAndTextDetection_data();
    void headersAndTextDetection();
    void variableLengthScan();
    void roundTrip_data();
    void roundTrip();
    void writerFailureLeavesNoFile();
    void readsFromSeveralThreads();
    void releaseResidentPages();

private:
    QTemporaryDir dir;
};

void TestSegy::formats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("little");
    QTest::addColumn<QByteArray>("samples"); // big-endian
    QTest::addColumn<QVector<float>>("floats");
    QTest::addColumn<QVector<double>>("doubles");

    struct Row {
        const char* name;
        int format;
        const char* hex;
        QVector<float> floats;
        QVector<double> doubles;
    };
    // clang-format off
    const Row rows[] = {
        {"1 ibm 1.0, -100, -0", 1, "41100000" "c2640000" "80000000", {1.0f, -100.0f, -0.0f}, {1.0, -100.0, -0.0}},
        {"2 int32 max, -1", 2, "7fffffff" "ffffffff", {2147483648.0f, -1.0f}, {2147483647.0, -1.0}},
        {"3 int16 -2, 32767", 3, "fffe" "7fff", {-2.0f, 32767.0f}, {-2.0, 32767.0}},
        {"5 ieee 1.0, -inf", 5, "3f800000" "ff800000", {1.0f, -INFINITY}, {1.0, -INFINITY}},
        {"6 ieee64 1+2^-52, 2^200", 6, "3ff0000000000001" "4c70000000000000", {1.0f, INFINITY}, {1.0000000000000002, 0x1p200}},
        {"7 int24 -2, max", 7, "fffffe" "7fffff", {-2.0f, 8388607.0f}, {-2.0, 8388607.0}},
        {"8 int8 -128, 127", 8, "80" "7f", {-128.0f, 127.0f}, {-128.0, 127.0}},
        {"9 int64 max, -3", 9, "7fffffffffffffff" "fffffffffffffffd", {0x1p63f, -3.0f}, {0x1p63, -3.0}},
        {"10 uint32 max, 2^24+1", 10, "ffffffff" "01000001", {0x1p32f, 16777216.0f}, {4294967295.0, 16777217.0}},
        {"11 uint16 65534", 11, "fffe", {65534.0f}, {65534.0}},
        {"12 uint64 max, 2^53+1", 12, "ffffffffffffffff" "0020000000000001", {0x1p64f, 0x1p53f}, {0x1p64, 0x1p53}},
        {"15 uint24 16777214", 15, "fffffe", {16777214.0f}, {16777214.0}},
        {"16 uint8 254", 16, "fe", {254.0f}, {254.0}},
    };
    // clang-format on
    for (const Row& r : rows) {
        for (bool little : {false, true}) {
            QTest::newRow(qPrintable(
                QStringLiteral("%1 %2").arg(QLatin1String(r.name), little ? "le" : "be")))
                << r.format << little << Hex(r.hex) << r.floats << r.doubles;
        }
    }
}

// Each format read from hand-built bytes in both byte orders (the little-endian file carries no
// byte-order constant, so the order is found from the format code), then written back from the
// doubles read: the same sample bytes.
void TestSegy::formats()
{
    QFETCH(int, format);
    QFETCH(bool, little);
    QFETCH(QByteArray, samples);
    QFETCH(QVector<float>, floats);
    QFETCH(QVector<double>, doubles);

    const int n = floats.size();
    const int bps = samples.size() / n;
    FileBytes f = Basic(format, n, little);
    f.Trace({{189, 1000}, {193, -7}}, samples, bps);
    f.Trace({{189, 1001}, {193, 8}}, samples, bps);
    const QString path = Save(dir, QStringLiteral("f%1%2.sgy").arg(format).arg(little), f.bytes);

    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    QCOMPARE(file->ByteOrder(), little ? SegyByteOrder::Little : SegyByteOrder::Big);
    QCOMPARE(file->Format().code, format);
    QCOMPARE(file->TraceCount(), qint64(2));
    QVERIFY(file->Warnings().isEmpty());

    std::vector<float> gotFloats(std::size_t(2 * n) + 1, 42.0f);
    QVERIFY(file->ReadSamples(0, 2, gotFloats.data(), &error));
    QCOMPARE(gotFloats.back(), 42.0f);
    std::vector<double> gotDoubles(static_cast<std::size_t>(n));
    QVERIFY(file->ReadSamples(1, gotDoubles.data(), &error));
    for (int i = 0; i < n; ++i) {
        QCOMPARE(FloatBits(gotFloats[std::size_t(i)]), FloatBits(floats[i]));
        QCOMPARE(FloatBits(gotFloats[std::size_t(n + i)]), FloatBits(floats[i]));
        QCOMPARE(gotDoubles[std::size_t(i)], doubles[i]);
    }
    qint64 crossline = 0;
    QVERIFY(file->ReadTraceField(0, *FindSegyTraceField(QStringLiteral("crossline")), &crossline));
    QCOMPARE(crossline, qint64(-7));

    // Rounded or saturated values do not come back; the rest does, bit for bit.
    if (format != 9 && format != 12) {
        SegyWriteOptions options;
        options.format = format;
        options.byteOrder = little ? SegyByteOrder::Little : SegyByteOrder::Big;
        SegyWriter writer(
            dir.filePath(QStringLiteral("w%1%2.sgy").arg(format).arg(little)), options);
        QVERIFY(writer.Begin(&error));
        SegyTraceHeader header;
        QVERIFY(writer.WriteTrace(header, gotDoubles.data(), n, &error));
        QVERIFY2(writer.Finish(&error), qPrintable(error));
        const auto written = SegyFile::Open(
            dir.filePath(QStringLiteral("w%1%2.sgy").arg(format).arg(little)), &error);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(written->RawSamples(0)), samples.size()),
            QByteArray(reinterpret_cast<const char*>(file->RawSamples(0)), samples.size()));
    }
}

void TestSegy::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("traces");

    const QByteArray trace = QByteArray(8, '\x41');
    QTest::newRow("missing file") << QByteArray() << false << "cannot open" << qint64(0);
    {
        FileBytes f = Basic(1, 2);
        f.bytes.truncate(3000);
        QTest::newRow("shorter than 3600 bytes")
            << f.bytes << false << "too short for a SEG-Y file: 3000 bytes" << qint64(0);
    }
    {
        FileBytes f = Basic(17, 2);
        f.Trace({}, trace, 4);
        QTest::newRow("unknown format code")
            << f.bytes << false << "unknown data sample format code 17" << qint64(0);
    }
    {
        FileBytes f = Basic(1, 0);
        f.Trace({}, trace, 4);
        QTest::newRow("zero samples with traces")
            << f.bytes << false << "zero samples per trace, with 248 bytes" << qint64(0);
    }
    {
        FileBytes f = Basic(1, 30000);
        f.Trace({}, trace, 4);
        QTest::newRow("no trace fits")
            << f.bytes << false << "make traces of 120240 bytes; no trace fits in the 248 bytes"
            << qint64(0);
    }
    {
        FileBytes f = Basic(1, 2);
        f.Trace({}, trace, 4);
        f.Trace({}, trace, 4);
        f.bytes.append(QByteArray(100, '\0'));
        QTest::newRow("partial trace at the end")
            << f.bytes << true
            << "596 bytes after the headers hold 2 traces of 248 bytes and 100 bytes more"
            << qint64(2);
    }
    {
        FileBytes f = Basic(1, 2);
        f.Put(3503, 2, 0);
        f.Trace({{115, 2}}, trace, 4);
        f.Trace({{115, 9}}, trace, 4);
        QTest::newRow("variable trace past the end")
            << f.bytes << true
            << "trace 1 at byte 3848 needs 276 bytes (9 samples) but only 248 bytes remain"
            << qint64(1);
    }
    {
        FileBytes f = Basic(1, 2);
        f.Put(3505, 2, 3);
        f.Trace({}, trace, 4);
        QTest::newRow("extended header count larger than the file")
            << f.bytes << false
            << "extended textual header count 3 needs 9600 bytes after the binary header; the file "
               "has 248"
            << qint64(0);
    }
    {
        FileBytes f = Basic(1, 2);
        f.Put(3505, 2, quint64(-1));
        f.Trace({}, trace, 4);
        QTest::newRow("variable extended headers without an end")
            << f.bytes << false << "without a ((SEG: EndText)) stanza" << qint64(0);
    }
    {
        FileBytes f = Basic(1, 2);
        f.Put(3501, 1, 2);
        f.Put(3521, 8, 999999);
        f.Trace({}, trace, 4);
        QTest::newRow("first-trace offset past the end")
            << f.bytes << false
            << "first-trace offset 999999 lies past the end of the file (3848 bytes)" << qint64(0);
    }
    {
        FileBytes f = Basic(4, 2);
        f.Trace({{189, 5}}, trace, 4);
        QTest::newRow("format 4: headers read, samples refused")
            << f.bytes << true
            << "samples of format 4 (4-byte fixed point with gain (obsolete)) cannot be read"
            << qint64(1);
    }
}

// Each bad file gives a message naming the file and what is wrong; those that open offer their
// whole traces and nothing past the end.
void TestSegy::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    QFETCH(QString, message);
    QFETCH(qint64, traces);

    const QString path = bytes.isNull() ? dir.filePath(QStringLiteral("missing.sgy"))
                                        : Save(dir, QStringLiteral("bad.sgy"), bytes);
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QCOMPARE(bool(file), opens);
    if (!opens) {
        QVERIFY2(error.startsWith(path + QStringLiteral(": ")), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
        return;
    }
    QCOMPARE(file->TraceCount(), traces);
    std::vector<float> samples(64);
    const bool read = file->ReadSamples(0, file->TraceCount(), samples.data(), &error);
    const QString said = file->Warnings().join(QLatin1Char('\n')) + (read ? QString() : error);
    QVERIFY2(said.contains(message), qPrintable(said));
    QVERIFY(said.startsWith(path + QStringLiteral(": ")));
    qint64 value = 0;
    QVERIFY(!file->ReadTraceField(traces, *FindSegyTraceField(189), &value, &error));
    QVERIFY(error.contains(QStringLiteral("the file has %1 traces").arg(traces)));
}

void TestSegy::headersAndTextDetection_data()
{
    QTest::addColumn<bool>("ebcdic");
    QTest::addColumn<bool>("little");
    QTest::addColumn<int>("extended"); // -1: variable, ended by a stanza
    QTest::addRow("ebcdic, big, 2 extended") << true << false << 2;
    QTest::addRow("ascii, little with constant, variable extended") << false << true << -1;
    QTest::addRow("ebcdic, little with constant, variable extended") << true << true << -1;
    QTest::addRow("ascii, big, none") << false << false << 0;
}

// A revision 2 file with everything that moves the traces: extended textual headers, additional
// trace headers, a first-trace offset, a trailer record; text in either code, either order.
void TestSegy::headersAndTextDetection()
{
    QFETCH(bool, ebcdic);
    QFETCH(bool, little);
    QFETCH(int, extended);

    FileBytes f = Basic(5, 3, little);
    f.Text("C 1 SURVEY NORTH FIELD  (3-D) {x|y}", ebcdic);
    f.Put(3297, 4, 0x01020304);
    f.Put(3501, 1, 2);
    f.Put(3505, 2, quint64(qint64(extended)));
    f.Put(3507, 2, 1);
    f.Put(3529, 4, 1);
    const int records = extended < 0 ? 2 : extended;
    for (int i = 0; i < records; ++i) {
        QByteArray r = (i == records - 1 && extended < 0 ? QByteArray("(( seg: endText ))")
                                                         : QByteArray("((SEG: Stanza))"))
                           .leftJustified(3200, ' ');
        if (ebcdic)
            AsciiToEbcdic(r.data(), r.size());
        f.bytes.append(r);
    }
    const qint64 first = f.bytes.size() + 400;
    f.Put(3521, 8, quint64(first));
    f.bytes.append(QByteArray(400, '\x7'));
    const QByteArray samples = Hex("3f800000"
                                   "40000000"
                                   "c0400000");
    for (int t = 0; t < 3; ++t) {
        const qint64 start = f.bytes.size();
        f.Trace({{189, 100 + t}, {193, -t}, {115, 3}}, samples, 4);
        f.bytes.insert(int(start + 240), QByteArray(240, char('a' + t))); // the additional header
    }
    f.bytes.append(QByteArray(3200, 'T'));
    const QString path = Save(dir, QStringLiteral("rev2.sgy"), f.bytes);

    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    QCOMPARE(file->TextEncoding(), ebcdic ? SegyTextEncoding::Ebcdic : SegyTextEncoding::Ascii);
    QCOMPARE(file->TextHeader().first(),
        QStringLiteral("C 1 SURVEY NORTH FIELD  (3-D) {x|y}").leftJustified(80));
    QCOMPARE(file->TextHeader().size(), 40);
    QCOMPARE(file->ByteOrder(), little ? SegyByteOrder::Little : SegyByteOrder::Big);
    QCOMPARE(file->Revision(), 2);
    QCOMPARE(file->ExtendedTextHeaderCount(), records);
    if (records > 0)
        QVERIFY(file->ExtendedTextHeader(0).first().startsWith(QLatin1String("((SEG: Stanza))")));
    QCOMPARE(file->AdditionalTraceHeaders(), 1);
    QCOMPARE(file->FirstTraceOffset(), first);
    QCOMPARE(file->TrailerRecordCount(), 1);
    QCOMPARE(file->TraceCount(), qint64(3));
    QVERIFY(file->Warnings().isEmpty());
    QCOMPARE(file->RawAdditionalTraceHeaders(2), QByteArray(240, 'c'));

    qint64 inlines[3] = {};
    int32_t crosslines[4] = {0, 0, 0, 77};
    QVERIFY(
        file->ReadTraceFieldColumn(*FindSegyTraceField(QStringLiteral("inline")), 0, 3, inlines));
    QVERIFY(file->ReadTraceFieldColumn(*FindSegyTraceField(193), 0, 3, crosslines));
    QCOMPARE(inlines[2], qint64(102));
    QCOMPARE(crosslines[2], -2);
    QCOMPARE(crosslines[3], 77);
    // The low half of the inline number: its last two bytes big-endian, its first two little.
    SegyField inlineLow;
    QVERIFY(ParseSegyTraceField(
        little ? QStringLiteral("189:2u") : QStringLiteral("191:2u"), &inlineLow));
    qint64 value = 0;
    QVERIFY(file->ReadTraceField(1, inlineLow, &value));
    QCOMPARE(value, qint64(101));
    float got[3] = {};
    QVERIFY(file->ReadSamples(2, got));
    QCOMPARE(got[2], -3.0f);
    QCOMPARE(file->RawTrailerRecord(0), QByteArray(3200, 'T'));
}

// Traces of differing lengths: the scan indexes them, reports its progress and can be cancelled.
void TestSegy::variableLengthScan()
{
    FileBytes f = Basic(3, 4);
    f.Put(3503, 2, 0);
    f.Trace({{115, 4}, {189, 1}}, Hex("0001000200030004"), 2);
    f.Trace({{115, 1}, {189, 2}}, Hex("fffb"), 2);
    f.Trace({{115, 0}, {189, 3}}, Hex("0005000600070008"), 2); // 0: the binary header's count
    f.Trace({{115, 2}, {189, 4}}, Hex("00090000"), 2);
    const QString path = Save(dir, QStringLiteral("variable.sgy"), f.bytes);

    QString error;
    qint64 reports = 0;
    SegyOpenOptions options;
    options.progress
        = [&reports](qint64 done, qint64 total) { return ++reports <= 2 && done <= total; };
    QVERIFY(!SegyFile::Open(path, &error, options));
    QVERIFY2(error.contains(QStringLiteral("cancelled")), qPrintable(error));

    options.progress = [](qint64, qint64) { return true; };
    const auto file = SegyFile::Open(path, &error, options);
    QVERIFY2(file, qPrintable(error));
    QVERIFY(!file->IsFixedLength());
    QCOMPARE(file->TraceCount(), qint64(4));
    QCOMPARE(file->SampleCount(1), 1);
    QCOMPARE(file->SampleCount(2), 4);
    QCOMPARE(file->SampleCount(1, 3), qint64(7));
    std::vector<float> all(11);
    QVERIFY(file->ReadSamples(0, 4, all.data(), &error));
    QCOMPARE(all, (std::vector<float>{1, 2, 3, 4, -5, 5, 6, 7, 8, 9, 0}));
    int32_t inl[4] = {};
    QVERIFY(file->ReadTraceFieldColumn(*FindSegyTraceField(189), 0, 4, inl));
    QCOMPARE(inl[3], 4);
}

void TestSegy::roundTrip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("little");
    for (int format : {1, 2, 3, 5, 8}) {
        for (bool little : {false, true})
            QTest::addRow("format %d %s", format, little ? "le" : "be") << format << little;
    }
}

// A file written from floats, read back and written again from the floats read, gives the same
// bytes; so does a copy of it; IBM to IEEE and back gives the IBM file again.
void TestSegy::roundTrip()
{
    QFETCH(int, format);
    QFETCH(bool, little);

    SegyWriteOptions options;
    options.format = format;
    options.byteOrder = little ? SegyByteOrder::Little : SegyByteOrder::Big;
    options.textEncoding = little ? SegyTextEncoding::Ascii : SegyTextEncoding::Ebcdic;
    const QString first = dir.filePath(QStringLiteral("rt1.sgy"));
    {
        SegyWriter writer(first, options);
        writer.SetTextHeader({QStringLiteral("C 1 ROUND TRIP"), QStringLiteral("C 2 LINE 12")});
        writer.BinaryHeader().SetValue("sample_interval", 2000);
        writer.BinaryHeader().SetValue("fixed_length", 1);
        QString error;
        QVERIFY2(writer.Begin(&error), qPrintable(error));
        std::vector<float> samples(250);
        for (int t = 0; t < 30; ++t) {
            SegyTraceHeader h;
            h.SetValue("inline", 1000 + t / 10);
            h.SetValue("crossline", t % 10);
            h.SetValue("cdp_x", -123456789);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = format == 8
                    ? float(int(i * 7 + t) % 255 - 127)
                    : float(std::sin(double(i) * 0.1 + t) * std::pow(10.0, double(i % 9) - 2.0));
            QVERIFY(writer.WriteTrace(h, samples.data(), int(samples.size()), &error));
        }
        QVERIFY2(writer.Finish(&error), qPrintable(error));
    }
    const QByteArray original = Load(first);
    QCOMPARE(original.size(), 3600 + 30 * (240 + 250 * (format == 3 ? 2 : format == 8 ? 1 : 4)));
    QString error;
    const auto in = SegyFile::Open(first, &error);
    QVERIFY2(in, qPrintable(error));
    QCOMPARE(in->Revision(), little ? 2 : 1);
    QCOMPARE(in->TextHeader().at(1).trimmed(), QStringLiteral("C 2 LINE 12"));
    qint64 samplesOfTrace = 0;
    QVERIFY(in->ReadTraceField(29, *FindSegyTraceField(115), &samplesOfTrace));
    QCOMPARE(samplesOfTrace, qint64(250));

    // Through floats.
    const QString second = dir.filePath(QStringLiteral("rt2.sgy"));
    {
        SegyWriter writer(second, options);
        writer.SetRawTextHeader(in->RawTextHeader());
        writer.SetBinaryHeader(in->BinaryHeader());
        QVERIFY(writer.Begin(&error));
        std::vector<float> samples(250);
        SegyTraceHeader h;
        for (qint64 t = 0; t < in->TraceCount(); ++t) {
            QVERIFY(in->ReadTraceHeader(t, &h) && in->ReadSamples(t, samples.data()));
            QVERIFY(writer.WriteTrace(h, samples.data(), 250, &error));
        }
        QVERIFY2(writer.Finish(&error), qPrintable(error));
    }
    QCOMPARE(Load(second), original);

    // A copy, and a copy to the other byte order and back.
    const QString copy = dir.filePath(QStringLiteral("rt3.sgy"));
    QVERIFY2(SegyCopy(*in, copy, options, &error), qPrintable(error));
    QCOMPARE(Load(copy), original);
    if (format == 1) {
        SegyWriteOptions ieee = options;
        ieee.format = 5;
        const QString viaIeee = dir.filePath(QStringLiteral("rt4.sgy"));
        QVERIFY(SegyCopy(*in, viaIeee, ieee, &error));
        const auto mid = SegyFile::Open(viaIeee, &error);
        QVERIFY2(mid && mid->Format().code == 5, qPrintable(error));
        QVERIFY(SegyCopy(*mid, copy, options, &error));
        QCOMPARE(Load(copy), original);
    }
    QVERIFY(!SegyCopy(*in, first, options, &error));
    QVERIFY(error.contains(QStringLiteral("input file itself")));
}

// A writer that fails or is dropped leaves nothing under the final name, nor replaces a file.
void TestSegy::writerFailureLeavesNoFile()
{
    const QString path = dir.filePath(QStringLiteral("kept.sgy"));
    QVERIFY(!Save(dir, QStringLiteral("kept.sgy"), "old").isEmpty());
    {
        SegyWriter writer(path);
        QString error;
        QVERIFY(writer.Begin(&error));
        float s[4] = {1, 2, 3, 4};
        QVERIFY(writer.WriteTrace(SegyTraceHeader(), s, 4, &error));
        QVERIFY(!writer.WriteTrace(SegyTraceHeader(), s, 4, &error, QByteArray(10, 'x')));
        QVERIFY(!writer.Finish(&error));
    }
    QCOMPARE(Load(path), QByteArray("old"));
    {
        SegyWriter writer(dir.filePath(QStringLiteral("dropped.sgy")));
        QVERIFY(writer.Begin());
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("dropped.sgy"))));
    SegyWriter nowhere(dir.filePath(QStringLiteral("no/such/folder/x.sgy")));
    QString error;
    QVERIFY(!nowhere.Begin(&error));
    QVERIFY2(error.contains(QStringLiteral("x.sgy: cannot create")), qPrintable(error));
    SegyWriteOptions obsolete;
    obsolete.format = 4;
    SegyWriter format4(dir.filePath(QStringLiteral("f4.sgy")), obsolete);
    QVERIFY(!format4.Begin(&error));
    QVERIFY(error.contains(QStringLiteral("format 4")));
}

// Four threads read every trace of one open file at once and get what one thread gets.
void TestSegy::readsFromSeveralThreads()
{
    FileBytes f = Basic(1, 64);
    f.Put(3503, 2, 0);
    QByteArray samples;
    for (int i = 0; i < 64; ++i)
        samples += Hex("c2640000");
    for (int t = 0; t < 200; ++t)
        f.Trace({{189, t}, {115, 64}}, samples, 4);
    const QString path = Save(dir, QStringLiteral("threads.sgy"), f.bytes);
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));

    auto sum = [&file] {
        double total = 0;
        std::vector<float> s(64);
        qint64 inl = 0;
        for (int pass = 0; pass < 20; ++pass) {
            for (qint64 t = 0; t < file->TraceCount(); ++t) {
                file->ReadSamples(t, s.data());
                file->ReadTraceField(t, *FindSegyTraceField(189), &inl);
                total += double(s[63]) + double(inl);
            }
        }
        return total;
    };
    const double expected = 20 * (200 * -100.0 + 199 * 200 / 2);
    std::vector<double> results(4);
    std::vector<std::thread> threads;
    for (double& r : results)
        threads.emplace_back([&r, &sum] { r = sum(); });
    for (std::thread& t : threads)
        t.join();
    for (double r : results)
        QCOMPARE(r, expected);
}

// File pages of the mapping counted in this process's resident memory, in MB.
static double MappedFileMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("RssFile:"))
            return line.mid(8).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// Reading 16 MB of samples maps them; releasing gives them back, and reads after it read the
// same values.
void TestSegy::releaseResidentPages()
{
    const QString path = dir.filePath(QStringLiteral("release.sgy"));
    SegyWriteOptions options;
    options.format = 5;
    SegyWriter writer(path, options);
    QVERIFY(writer.Begin());
    std::vector<float> s(1000);
    for (int t = 0; t < 4096; ++t) {
        for (int i = 0; i < 1000; ++i)
            s[std::size_t(i)] = float(t % 17 + i % 5);
        QVERIFY(writer.WriteTrace(SegyTraceHeader(), s.data(), 1000));
    }
    QVERIFY(writer.Finish());
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    const auto sum = [&] {
        double total = 0;
        for (qint64 t = 0; t < file->TraceCount(); ++t) {
            file->ReadSamples(t, s.data());
            for (float v : s)
                total += double(v);
        }
        return total;
    };
    const double before = MappedFileMb();
    const double expected = sum();
    const double read = MappedFileMb();
    QVERIFY2(read - before > 12, qPrintable(QStringLiteral("%1 -> %2 MB").arg(before).arg(read)));
    file->ReleaseResidentPages();
    const double released = MappedFileMb();
    QVERIFY2(
        released < before + 2, qPrintable(QStringLiteral("%1 -> %2 MB").arg(read).arg(released)));
    QCOMPARE(sum(), expected);
}

QTEST_GUILESS_MAIN(TestSegy)
#include "test_segy.moc"
