// The file check: small cubes written by the library's writer, each with one fault planted
// through the writer or, where the writer keeps a field right, by patching the bytes. Each fault
// must be found with its code and the traces concerned; a clean file gives no error or warning.

#include "SegyCheck.h"
#include "SegyWriter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr int kInlines = 4; // 1000 to 1003
constexpr int kCrosslines = 5; // 2000 to 2004
constexpr int kSamples = 50;

enum class Fault {
    None,
    PartialTrace,
    TraceCountField,
    TraceSampleCount,
    BinarySampleCount,
    TraceInterval,
    NoInterval,
    ScalarZero,
    ScalarChanges,
    NoCoordinates,
    DeadTraces,
    NonFinite,
    ClippedInt16,
    ClippedInt32,
    DuplicateBin,
    MissingBin,
    StrayTrace,
    Revision2FieldInRevision1,
    Revision2WithoutConstant,
    UnknownRevision,
    AsciiLineInEbcdic,
};

// How a cube is written; `edit` changes trace `trace`'s header and samples before writing.
struct Cube {
    int format = 1;
    SegyByteOrder order = SegyByteOrder::Big;
    int revision = 1;
    int interval = 2000;
    int scalar = -100;
    bool coordinates = true;
    std::vector<int> bins; // the bin (inline-major index) of each trace; all, in order, when empty
    std::function<void(int trace, SegyTraceHeader*, std::vector<double>*)> edit;
};

const SegyField& Field(int byte)
{
    return *FindSegyTraceField(byte);
}

bool Write(const QString& path, const Cube& cube)
{
    SegyWriteOptions options;
    options.format = cube.format;
    options.byteOrder = cube.order;
    options.revision = cube.revision;
    SegyWriter writer(path, options);
    writer.SetTextHeader({QStringLiteral("C 1 CLIENT TESSAVO   AREA NORTH FLANK   TEST CUBE"),
        QStringLiteral("C 2 INLINES 1000-1003 CROSSLINES 2000-2004")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), cube.interval);
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3255), 1);
    if (!writer.Begin())
        return false;
    std::vector<int> bins = cube.bins;
    if (bins.empty()) {
        for (int b = 0; b < kInlines * kCrosslines; ++b)
            bins.push_back(b);
    }
    std::vector<double> samples(kSamples);
    for (int trace = 0; trace < int(bins.size()); ++trace) {
        const int il = bins[std::size_t(trace)] / kCrosslines;
        const int xl = bins[std::size_t(trace)] % kCrosslines;
        SegyTraceHeader header;
        header.SetValue(Field(1), trace + 1);
        header.SetValue(Field(21), bins[std::size_t(trace)] + 1);
        header.SetValue(Field(71), cube.scalar);
        header.SetValue(Field(117), cube.interval);
        if (cube.coordinates) {
            header.SetValue(Field(181), (500000 + 25 * xl) * 100);
            header.SetValue(Field(185), (6700000 + 25 * il) * 100);
        }
        header.SetValue(Field(189), 1000 + il);
        header.SetValue(Field(193), 2000 + xl);
        for (int s = 0; s < kSamples; ++s)
            samples[std::size_t(s)] = std::round(100 * std::sin(0.3 * s + trace) + 10.5) + 0.5;
        if (cube.edit)
            cube.edit(trace, &header, &samples);
        if (!writer.WriteTrace(header, samples.data(), kSamples))
            return false;
    }
    return writer.Finish();
}

// Overwrites `width` bytes big-endian at 1-based file byte `byte`.
bool Patch(const QString& path, qint64 byte, int width, quint64 value)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(byte - 1))
        return false;
    QByteArray bytes(width, '\0');
    for (int i = 0; i < width; ++i)
        bytes[i] = char(value >> (8 * (width - 1 - i)));
    return file.write(bytes) == width;
}

// File byte of trace header byte `byte` of `trace` in a cube of 4-byte samples.
qint64 TraceByte(int trace, int byte)
{
    return 3600 + qint64(trace) * (240 + kSamples * 4) + byte;
}

// Writes the cube with `fault` planted.
bool Plant(const QString& path, Fault fault)
{
    Cube cube;
    switch (fault) {
    case Fault::None:
    case Fault::PartialTrace:
    case Fault::TraceSampleCount:
    case Fault::BinarySampleCount:
    case Fault::Revision2FieldInRevision1:
    case Fault::UnknownRevision:
    case Fault::AsciiLineInEbcdic:
        break;
    case Fault::TraceCountField:
    case Fault::Revision2WithoutConstant:
        cube.revision = 2;
        break;
    case Fault::TraceInterval:
        cube.edit = [](int trace, SegyTraceHeader* header, std::vector<double>*) {
            if (trace == 7)
                header->SetValue(Field(117), 4000);
        };
        break;
    case Fault::NoInterval:
        cube.interval = 0;
        break;
    case Fault::ScalarZero:
        cube.scalar = 0;
        break;
    case Fault::ScalarChanges:
        cube.edit = [](int trace, SegyTraceHeader* header, std::vector<double>*) {
            if (trace == 12)
                header->SetValue(Field(71), -10);
        };
        break;
    case Fault::NoCoordinates:
        cube.coordinates = false;
        break;
    case Fault::DeadTraces:
        cube.edit = [](int trace, SegyTraceHeader*, std::vector<double>* samples) {
            if (trace == 4 || trace == 5)
                std::fill(samples->begin(), samples->end(), 0.0);
        };
        break;
    case Fault::NonFinite:
        cube.format = 5;
        cube.edit = [](int trace, SegyTraceHeader*, std::vector<double>* samples) {
            if (trace == 9)
                (*samples)[30] = std::numeric_limits<double>::quiet_NaN();
            if (trace == 10)
                (*samples)[0] = -std::numeric_limits<double>::infinity();
        };
        break;
    case Fault::ClippedInt16:
        // Two neighbours at the top in trace 6; trace 8 has one lone peak there, which is not
        // clipping.
        cube.format = 3;
        cube.edit = [](int trace, SegyTraceHeader*, std::vector<double>* samples) {
            if (trace == 6)
                (*samples)[20] = (*samples)[21] = 40000;
            if (trace == 8)
                (*samples)[20] = 32767;
        };
        break;
    case Fault::ClippedInt32:
        cube.format = 2;
        cube.edit = [](int trace, SegyTraceHeader*, std::vector<double>* samples) {
            if (trace == 2)
                (*samples)[0] = (*samples)[1] = (*samples)[2] = -3e9;
        };
        break;
    case Fault::DuplicateBin:
        cube.edit = [](int trace, SegyTraceHeader* header, std::vector<double>*) {
            if (trace == 15) {
                header->SetValue(Field(189), 1002);
                header->SetValue(Field(193), 2004);
            }
        };
        break;
    case Fault::MissingBin:
        for (int b = 0; b < kInlines * kCrosslines; ++b) {
            if (b != 7)
                cube.bins.push_back(b);
        }
        break;
    case Fault::StrayTrace:
        for (int b = 0; b < kInlines * kCrosslines; ++b) {
            if (b != 12)
                cube.bins.push_back(b);
        }
        cube.bins.push_back(12);
        break;
    }
    if (!Write(path, cube))
        return false;

    switch (fault) {
    case Fault::PartialTrace: {
        QFile file(path);
        return file.resize(file.size() - 100);
    }
    case Fault::TraceCountField:
        return Patch(path, 3513, 8, 15);
    case Fault::TraceSampleCount:
        return Patch(path, TraceByte(3, 115), 2, 60);
    case Fault::BinarySampleCount:
        return Patch(path, 3221, 2, 40);
    case Fault::Revision2FieldInRevision1:
        return Patch(path, 3513, 8, 20);
    case Fault::Revision2WithoutConstant:
        return Patch(path, 3297, 4, 0);
    case Fault::UnknownRevision:
        return Patch(path, 3501, 1, 3);
    case Fault::AsciiLineInEbcdic: {
        QFile file(path);
        return file.open(QIODevice::ReadWrite) && file.seek(80)
            && file.write("C 2 REPROCESSED 2019 PSTM") == 25;
    }
    default:
        return true;
    }
}

std::vector<qint64> Range(qint64 first, qint64 end)
{
    std::vector<qint64> traces;
    for (qint64 t = first; t < end; ++t)
        traces.push_back(t);
    return traces;
}

QString Describe(const std::vector<SegyFinding>& findings)
{
    QStringList lines;
    for (const SegyFinding& f : findings) {
        QStringList traces;
        for (const qint64 t : f.traces)
            traces << QString::number(t);
        lines << QStringLiteral("%1 %2: %3 [%4] %5")
                     .arg(QLatin1String(SegySeverityName(f.severity)), QLatin1String(f.code),
                         f.message, traces.join(QLatin1Char(',')))
                     .arg(f.count);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(SegySeverity)
Q_DECLARE_METATYPE(SegyByteOrder)
Q_DECLARE_METATYPE(std::vector<qint64>)

class TestSegyCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void faults_data();
    void faults();
    void clean_data();
    void clean();
    void progressAndCancel();

private:
    QTemporaryDir dir;
};

void TestSegyCheck::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("code");
    QTest::addColumn<SegySeverity>("severity");
    QTest::addColumn<std::vector<qint64>>("traces");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("says");

    const auto E = SegySeverity::Error;
    const auto W = SegySeverity::Warning;
    const auto N = SegySeverity::Note;
    // 20 traces: 4 inlines of 5 crosslines; the first ten are listed.
    QTest::newRow("last 100 bytes cut: trace 19 partial")
        << Fault::PartialTrace << "partial-trace" << E << std::vector<qint64>{19} << qint64(1)
        << "trace 19";
    QTest::newRow("revision 2 trace count 15 of 20")
        << Fault::TraceCountField << "trace-count" << E << Range(15, 20) << qint64(5) << "15";
    QTest::newRow("trace 3 header says 60 samples of 50")
        << Fault::TraceSampleCount << "sample-count" << E << std::vector<qint64>{3} << qint64(1)
        << "60";
    QTest::newRow("binary header says 40 samples, traces 50")
        << Fault::BinarySampleCount << "sample-count" << E << Range(0, 10) << qint64(20) << "40";
    QTest::newRow("trace 7 interval 4000 of 2000") << Fault::TraceInterval << "sample-interval" << W
                                                   << std::vector<qint64>{7} << qint64(1) << "4000";
    QTest::newRow("interval 0 everywhere") << Fault::NoInterval << "no-sample-interval" << W
                                           << std::vector<qint64>{} << qint64(0) << "";
    QTest::newRow("coordinate scalar 0")
        << Fault::ScalarZero << "coordinate-scalar-zero" << N << Range(0, 10) << qint64(20) << "";
    QTest::newRow("scalar -10 at trace 12 after -100")
        << Fault::ScalarChanges << "coordinate-scalar-changes" << W << std::vector<qint64>{12}
        << qint64(1) << "-10";
    QTest::newRow("no coordinates")
        << Fault::NoCoordinates << "zero-coordinates" << W << Range(0, 10) << qint64(20) << "";
    QTest::newRow("traces 4 and 5 all zero")
        << Fault::DeadTraces << "dead-traces" << W << std::vector<qint64>{4, 5} << qint64(2) << "";
    QTest::newRow("ieee32 NaN in trace 9, -inf in trace 10")
        << Fault::NonFinite << "non-finite-samples" << E << std::vector<qint64>{9, 10} << qint64(2)
        << "";
    QTest::newRow("int16 two samples at 32767 in trace 6, one in trace 8")
        << Fault::ClippedInt16 << "clipped-samples" << W << std::vector<qint64>{6} << qint64(1)
        << "32767";
    QTest::newRow("int32 three samples at -2^31 in trace 2")
        << Fault::ClippedInt32 << "clipped-samples" << W << std::vector<qint64>{2} << qint64(1)
        << "-2147483648";
    QTest::newRow("trace 15 at the bin of trace 14") << Fault::DuplicateBin << "duplicate-bins" << W
                                                     << std::vector<qint64>{15} << qint64(1) << "";
    QTest::newRow("bin 1001/2002 left out")
        << Fault::MissingBin << "missing-bins" << N << std::vector<qint64>{} << qint64(0)
        << "inline 1001 crossline 2002";
    QTest::newRow("bin 1002/2002 written last")
        << Fault::StrayTrace << "unsorted" << W << std::vector<qint64>{19} << qint64(1) << "";
    QTest::newRow("revision 1 with a trace count at 3513")
        << Fault::Revision2FieldInRevision1 << "revision-2-fields" << W << std::vector<qint64>{}
        << qint64(0) << "trace_count (3513)";
    QTest::newRow("revision 2 without byte-order constant")
        << Fault::Revision2WithoutConstant << "revision-2-missing" << W << std::vector<qint64>{}
        << qint64(0) << "16909060";
    QTest::newRow("revision 3") << Fault::UnknownRevision << "unknown-revision" << W
                                << std::vector<qint64>{} << qint64(0) << "3.0";
    QTest::newRow("ASCII line in an EBCDIC header")
        << Fault::AsciiLineInEbcdic << "text-encoding" << W << std::vector<qint64>{} << qint64(0)
        << "file byte 81";
}

void TestSegyCheck::faults()
{
    QFETCH(Fault, fault);
    QFETCH(QString, code);
    QFETCH(SegySeverity, severity);
    QFETCH(std::vector<qint64>, traces);
    QFETCH(qint64, count);
    QFETCH(QString, says);

    const QString path = dir.filePath(QStringLiteral("fault.sgy"));
    QVERIFY(Plant(path, fault));
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    std::vector<SegyFinding> findings;
    QVERIFY2(CheckSegyFile(*file, &findings, &error), qPrintable(error));
    const QString all = Describe(findings);

    const auto it = std::find_if(findings.begin(), findings.end(),
        [&](const SegyFinding& f) { return code == QLatin1String(f.code); });
    QVERIFY2(it != findings.end(), qPrintable(all));
    QVERIFY2(
        it->severity == severity && it->traces == traces && it->count == count, qPrintable(all));
    QVERIFY2(it->message.contains(says), qPrintable(it->message));
    QFile::remove(path);
}

void TestSegyCheck::clean_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<SegyByteOrder>("order");
    QTest::addColumn<int>("revision");

    QTest::newRow("ibm32 big revision 1") << 1 << SegyByteOrder::Big << 1;
    QTest::newRow("ieee32 little revision 2") << 5 << SegyByteOrder::Little << 2;
    QTest::newRow("ieee64 big revision 2") << 6 << SegyByteOrder::Big << 2;
    QTest::newRow("int16 big revision 1") << 3 << SegyByteOrder::Big << 1;
    QTest::newRow("uint8 little revision 2") << 16 << SegyByteOrder::Little << 2;
}

void TestSegyCheck::clean()
{
    QFETCH(int, format);
    QFETCH(SegyByteOrder, order);
    QFETCH(int, revision);

    Cube cube;
    cube.format = format;
    cube.order = order;
    cube.revision = revision;
    const QString path = dir.filePath(QStringLiteral("clean.sgy"));
    QVERIFY(Write(path, cube));
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    std::vector<SegyFinding> findings;
    QVERIFY2(CheckSegyFile(*file, &findings, &error), qPrintable(error));
    for (const SegyFinding& f : findings)
        QVERIFY2(f.severity == SegySeverity::Note, qPrintable(Describe(findings)));
    QFile::remove(path);
}

void TestSegyCheck::progressAndCancel()
{
    const QString path = dir.filePath(QStringLiteral("progress.sgy"));
    QVERIFY(Write(path, Cube()));
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY(file);

    // Every trace once, counted against the file's traces.
    qint64 last = 0;
    bool inOrder = true;
    SegyCheckOptions options;
    options.progress = [&](qint64 done, qint64 total) {
        inOrder = inOrder && total == 20 && done >= last && done <= total;
        last = done;
        return true;
    };
    std::vector<SegyFinding> findings;
    QVERIFY(CheckSegyFile(*file, &findings, &error, options));
    QVERIFY(inOrder);
    QCOMPARE(last, qint64(20));

    options.progress = [](qint64 done, qint64) { return done < 5; };
    findings = {SegyFinding()};
    QVERIFY(!CheckSegyFile(*file, &findings, &error, options));
    QVERIFY2(error.startsWith(path + QStringLiteral(": ")) && error.contains("cancelled"),
        qPrintable(error));
    QCOMPARE(findings.size(), std::size_t(1));
    QFile::remove(path);
}

QTEST_GUILESS_MAIN(TestSegyCheck)
#include "test_segy_check.moc"
