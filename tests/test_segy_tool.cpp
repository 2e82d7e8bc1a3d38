// orv-segy as users and scripts meet it: the built program run as a child process on files the
// library's writer makes. What it prints comes from the library, whose own tests cover it; here
// the shapes of the output, the exit statuses, the messages, a conversion round trip (also
// through a Zarr store), the closed pipe and an interrupted conversion.

#include "SegyWriter.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace {

struct ToolRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun RunTool(const QStringList& arguments, const QString& outputFile = {})
{
    QProcess tool;
    if (!outputFile.isEmpty())
        tool.setStandardOutputFile(outputFile);
    tool.start(QStringLiteral(ORV_SEGY_TOOL), arguments);
    ToolRun run;
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = tool.exitCode();
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

const SegyField& TraceField(int byte)
{
    const SegyField* field = FindSegyTraceField(byte);
    Q_ASSERT(field);
    return *field;
}

// `traces` traces of `samples` samples, trace i with sequence number i + 1 (byte 1), inline
// 100 + i (189), crossline 200 + 2i (193), and samples i * 10 + s - 0.25: all exact in IBM.
bool WriteTestFile(const QString& path, int traces, int samples, int format = 1,
    SegyByteOrder order = SegyByteOrder::Big)
{
    SegyWriteOptions options;
    options.format = format;
    options.byteOrder = order;
    options.revision = order == SegyByteOrder::Big ? 1 : 2;
    SegyWriter writer(path, options);
    writer.SetTextHeader({QStringLiteral("C 1 CLIENT TESSAVO   LINE 12   TEST FILE"),
        QStringLiteral("C 2 4 MS SAMPLING")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3205), 12);
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), 4000);
    if (!writer.Begin())
        return false;
    std::vector<float> values(static_cast<size_t>(samples));
    for (int i = 0; i < traces; ++i) {
        SegyTraceHeader header;
        header.SetValue(TraceField(1), i + 1);
        header.SetValue(TraceField(189), 100 + i);
        header.SetValue(TraceField(193), 200 + 2 * i);
        for (int s = 0; s < samples; ++s)
            values[size_t(s)] = float(i * 10 + s) - 0.25f;
        if (!writer.WriteTrace(header, values.data(), samples))
            return false;
    }
    return writer.Finish();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> Lines(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestSegyTool : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void badFiles();
    void info();
    void infoJson();
    void checkJson();
    void text();
    void bin();
    void headersRange_data();
    void headersRange();
    void headersTable();
    void samplesReadBack();
    void convertRoundTrip();
    void geometry();
    void slice();
    void closedPipe();
    void interruptedConvert();

private:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString small;
};

void TestSegyTool::initTestCase()
{
    QVERIFY(dir.isValid());
    small = Path("line12.sgy");
    QVERIFY(WriteTestFile(small, 5, 4));
}

void TestSegyTool::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QString missing = Path("missing.sgy");
    const QByteArray missingPrefix = "orv-segy: " + missing.toUtf8() + ": ";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QByteArray("orv-segy 7.1.0\n")
                               << QByteArray();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("convert") << QByteArray();
    QTest::newRow("help headers") << QStringList{"help", "headers"} << 0
                                  << QByteArray("--fields LIST") << QByteArray();
    QTest::newRow("headers --help")
        << QStringList{"headers", "--help"} << 0 << QByteArray("--traces RANGE") << QByteArray();
    QTest::newRow("no command") << QStringList{} << 2 << QByteArray()
                                << QByteArray("Try 'orv-segy --help'");
    QTest::newRow("unknown command") << QStringList{"list", small} << 2 << QByteArray()
                                     << QByteArray("orv-segy: unknown command 'list'\n");
    QTest::newRow("help on no command")
        << QStringList{"help", "list"} << 2 << QByteArray() << QByteArray("--help");
    QTest::newRow("unknown option") << QStringList{"info", "--bogus", small} << 2 << QByteArray()
                                    << QByteArray("Try 'orv-segy info --help'");
    QTest::newRow("no file") << QStringList{"text"} << 2 << QByteArray() << QByteArray("--help");
    QTest::newRow("two files to text")
        << QStringList{"text", small, small} << 2 << QByteArray() << QByteArray("--help");
    QTest::newRow("step 0") << QStringList{"headers", "--traces", "1:2:0", small} << 2
                            << QByteArray() << QByteArray("1:2:0");
    QTest::newRow("range not a number") << QStringList{"samples", "--traces", "a:b", small} << 2
                                        << QByteArray() << QByteArray("a:b");
    QTest::newRow("unknown field") << QStringList{"headers", "--fields", "189,nosuch", small} << 2
                                   << QByteArray() << QByteArray("nosuch");
    QTest::newRow("unknown format")
        << QStringList{"convert", "--format", "42", small, Path("out.sgy")} << 2 << QByteArray()
        << QByteArray("42");
    QTest::newRow("bad byte order")
        << QStringList{"convert", "--endian", "middle", small, Path("out.sgy")} << 2 << QByteArray()
        << QByteArray("middle");
    QTest::newRow("convert onto itself")
        << QStringList{"convert", small, dir.path() + "/./line12.sgy"} << 2 << QByteArray()
        << QByteArray("is the input file");
    QTest::newRow("unknown compression")
        << QStringList{"export", "--compression", "gzip", small, Path("out.zarr")} << 2
        << QByteArray() << QByteArray("gzip");
    QTest::newRow("chunk size 0") << QStringList{"export", "--chunks", "64,0,256", small,
        Path("out.zarr")} << 2 << QByteArray()
                                  << QByteArray("64,0,256");
    QTest::newRow("chunks of another rank")
        << QStringList{"export", "--chunks", "8,8", small, Path("out.zarr")} << 1 << QByteArray()
        << QByteArray("orv-segy: " + small.toUtf8() + ": 2 chunk sizes given where a cube has 3");
    QTest::newRow("import of no store")
        << QStringList{"import", Path("missing.zarr"), Path("out.sgy")} << 1 << QByteArray()
        << QByteArray("orv-segy: " + Path("missing.zarr").toUtf8() + ": not a Zarr group");
    QTest::newRow("trace beyond the end") << QStringList{"samples", "--traces", "5",
        small} << 1 << QByteArray() << QByteArray("orv-segy: " + small.toUtf8() + ": ");
    QTest::newRow("missing file") << QStringList{"info", missing} << 1 << QByteArray()
                                  << missingPrefix;
    // The other files of the command are still shown.
    QTest::newRow("missing among good ones")
        << QStringList{"info", small, missing, small} << 1 << QByteArray("traces") << missingPrefix;
    QTest::newRow("check") << QStringList{"check", small} << 0
                           << QByteArray(small.toUtf8() + ": 5 traces read: ") << QByteArray();
    QTest::newRow("check a missing file among good ones") << QStringList{"check", small, missing,
        small} << 1 << QByteArray("5 traces read") << missingPrefix;
    QTest::newRow("slice without a slice")
        << QStringList{"slice", small} << 2 << QByteArray() << QByteArray("--inline");
    QTest::newRow("two slices") << QStringList{"slice", "--inline", "100", "--sample", "1", small}
                                << 2 << QByteArray() << QByteArray("exclude each other");
    QTest::newRow("gather of a cube") << QStringList{"slice", "--gather", "100,200", small} << 1
                                      << QByteArray() << QByteArray("has no gathers");
    QTest::newRow("inline off the grid") << QStringList{"slice", "--inline", "99", small} << 1
                                         << QByteArray() << QByteArray("no inline 99");
    QTest::newRow("time past the trace") << QStringList{"slice", "--time", "16", small} << 1
                                         << QByteArray() << QByteArray("0 to 12 ms");
    QTest::newRow("unknown key field") << QStringList{"geometry", "--inline-field", "nosuch",
        small} << 1 << QByteArray() << QByteArray("no trace header field 'nosuch'");
    QTest::newRow("unwritable output")
        << QStringList{"convert", small, Path("no/such/folder/out.sgy")} << 1 << QByteArray()
        << QByteArray("orv-segy: " + Path("no/such/folder/out.sgy").toUtf8() + ": ");
}

void TestSegyTool::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    const ToolRun run = RunTool(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.out.contains(out), run.out.constData());
    QVERIFY2(run.err.contains(err), run.err.constData());
    if (status == 0)
        QCOMPARE(run.err, QByteArray());
    else
        QVERIFY(run.err.startsWith("orv-segy: "));
    QVERIFY(!QFile::exists(Path("out.sgy")));
    QVERIFY(!QFileInfo::exists(Path("out.zarr")));
}

// Files the library refuses: each gives one message that names the file, and status 1.
void TestSegyTool::badFiles()
{
    const QString shortFile = Path("short.sgy");
    QFile file(shortFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1000, 'x'));
    file.close();

    // Data sample format code 99 (binary header bytes 3225-3226), in either byte order.
    const QString badFormat = Path("format99.sgy");
    QByteArray bytes = ReadAll(small);
    bytes[3224] = 0;
    bytes[3225] = 99;
    QFile bad(badFormat);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(bytes);
    bad.close();

    for (const QString& path : {shortFile, badFormat}) {
        const ToolRun run = RunTool({"info", path});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QByteArray());
        const QByteArray prefix = "orv-segy: " + path.toUtf8() + ": ";
        QVERIFY2(
            run.err.startsWith(prefix) && run.err.size() > prefix.size() + 1, run.err.constData());
        QCOMPARE(run.err.count('\n'), 1);
    }
    QVERIFY(RunTool({"info", badFormat}).err.contains("99"));
    QFile::remove(shortFile);
    QFile::remove(badFormat);
}

void TestSegyTool::info()
{
    const ToolRun run = RunTool({"info", small});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    const QList<QByteArray> lines = Lines(run.out);
    QStringList rows;
    for (const QByteArray& line : lines)
        rows.append(QString::fromUtf8(line).simplified());
    const QString format = QStringLiteral("sample format 1 %1 (%2)")
                               .arg(FindSegyFormat(1)->name, FindSegyFormat(1)->title);
    const QStringList expected = {"file " + small, "revision 1.0", "byte order big",
        "text encoding ebcdic", format, "samples per trace 4", "sample interval 4000", "traces 5",
        "extended text headers 0", "additional trace headers 0", "trace length fixed"};
    QCOMPARE(rows, expected);
}

void TestSegyTool::infoJson()
{
    const ToolRun one = RunTool({"info", "--json", small});
    QCOMPARE(one.status, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(one.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(document.isObject());
    const QJsonObject info = document.object();
    const QStringList keys
        = {"additionalTraceHeaders", "byteOrder", "extendedTextHeaders", "file", "fixedLength",
            "format", "interval", "revision", "samples", "textEncoding", "traces", "warnings"};
    QCOMPARE(info.keys(), keys);
    QCOMPARE(info["file"].toString(), small);
    QCOMPARE(info["revision"].toString(), QStringLiteral("1.0"));
    QCOMPARE(info["byteOrder"].toString(), QStringLiteral("big"));
    QCOMPARE(info["textEncoding"].toString(), QStringLiteral("ebcdic"));
    QCOMPARE(info["format"].toInt(), 1);
    QCOMPARE(info["samples"].toInt(), 4);
    QCOMPARE(info["interval"].toDouble(), 4000.0);
    QCOMPARE(info["traces"].toInt(), 5);
    QCOMPARE(info["extendedTextHeaders"].toInt(), 0);
    QCOMPARE(info["additionalTraceHeaders"].toInt(), 0);
    QCOMPARE(info["fixedLength"].toBool(), true);
    QVERIFY(info["warnings"].isArray());
    QCOMPARE(info["warnings"].toArray().size(), 0);

    // Several files: an array, in the order given.
    const QString little = Path("little.sgy");
    QVERIFY(WriteTestFile(little, 3, 7, 5, SegyByteOrder::Little));
    const ToolRun two = RunTool({"info", "--json", small, little});
    QCOMPARE(two.status, 0);
    const QJsonArray array = QJsonDocument::fromJson(two.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(array.size(), 2);
    QCOMPARE(array[0].toObject(), info);
    const QJsonObject second = array[1].toObject();
    QCOMPARE(second["byteOrder"].toString(), QStringLiteral("little"));
    QCOMPARE(second["format"].toInt(), 5);
    QCOMPARE(second["samples"].toInt(), 7);
    QCOMPARE(second["traces"].toInt(), 3);
    QFile::remove(little);
}

// Findings whatever they are leave the status at 0; each file is an object with its findings.
void TestSegyTool::checkJson()
{
    const QString cut = Path("cut.sgy");
    QByteArray bytes = ReadAll(small);
    bytes.chop(10);
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const ToolRun text = RunTool({"check", cut});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.startsWith(cut.toUtf8() + ": error: "), text.out.constData());
    QVERIFY(text.out.contains("(trace 4) [partial-trace]\n"));

    const ToolRun run = RunTool({"check", "--json", small, cut});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QJsonParseError error;
    const QJsonArray array = QJsonDocument::fromJson(run.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(array.size(), 2);
    const QStringList keys = {"code", "count", "message", "severity", "traces"};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject object = array[i].toObject();
        QCOMPARE(object.keys(), (QStringList{"file", "findings"}));
        QCOMPARE(object["file"].toString(), i == 0 ? small : cut);
        for (const QJsonValue finding : object["findings"].toArray()) {
            QCOMPARE(finding.toObject().keys(), keys);
            QVERIFY(finding["traces"].isArray());
        }
    }
    const QJsonObject partial = array[1]["findings"][0].toObject();
    QCOMPARE(partial["severity"].toString(), QStringLiteral("error"));
    QCOMPARE(partial["code"].toString(), QStringLiteral("partial-trace"));
    QCOMPARE(partial["traces"].toArray(), QJsonArray{4});
    QCOMPARE(partial["count"].toInt(), 1);

    // One file: the object alone.
    const ToolRun one = RunTool({"check", "--json", cut});
    QCOMPARE(QJsonDocument::fromJson(one.out).object(), array[1].toObject());
    QFile::remove(cut);
}

void TestSegyTool::text()
{
    const ToolRun run = RunTool({"text", small});
    QCOMPARE(run.status, 0);
    const QList<QByteArray> lines = Lines(run.out);
    QCOMPARE(lines.size(), 40);
    QCOMPARE(lines[0], QByteArray("C 1 CLIENT TESSAVO   LINE 12   TEST FILE"));
    QCOMPARE(lines[1], QByteArray("C 2 4 MS SAMPLING"));
    QCOMPARE(lines[2], QByteArray());
}

void TestSegyTool::bin()
{
    const auto rowOf = [](const QByteArray& out, int byte) {
        for (const QByteArray& line : Lines(out)) {
            const QList<QByteArray> cells = line.simplified().split(' ');
            if (cells.size() == 3 && cells[0] == QByteArray::number(byte))
                return cells;
        }
        return QList<QByteArray>();
    };
    const ToolRun nonZero = RunTool({"bin", small});
    QCOMPARE(nonZero.status, 0);
    QCOMPARE(rowOf(nonZero.out, 3205),
        (QList<QByteArray>{"3205", FindSegyBinaryField(3205)->name, "12"}));
    QCOMPARE(rowOf(nonZero.out, 3217),
        (QList<QByteArray>{"3217", FindSegyBinaryField(3217)->name, "4000"}));
    QCOMPARE(rowOf(nonZero.out, 3221).value(2), QByteArray("4"));
    QCOMPARE(rowOf(nonZero.out, 3225).value(2), QByteArray("1"));
    // Byte 3209 (traces per ensemble) was left zero.
    QVERIFY(rowOf(nonZero.out, 3209).isEmpty());

    const ToolRun all = RunTool({"bin", "--all", small});
    QCOMPARE(all.status, 0);
    QCOMPARE(rowOf(all.out, 3209).value(2), QByteArray("0"));
    int fieldCount = 0;
    SegyBinaryFields(&fieldCount);
    QCOMPARE(Lines(all.out).size(), fieldCount);
}

void TestSegyTool::headersRange_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<QList<int>>("traces");

    QTest::newRow("no range: all") << QString() << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("N") << "2" << QList<int>{2};
    QTest::newRow("-1: the last") << "-1" << QList<int>{4};
    QTest::newRow("A:B, B excluded") << "1:4" << QList<int>{1, 2, 3};
    QTest::newRow("-2: from the end") << "-2:" << QList<int>{3, 4};
    QTest::newRow(":-3") << ":-3" << QList<int>{0, 1};
    QTest::newRow("::2") << "::2" << QList<int>{0, 2, 4};
    QTest::newRow("1:5:3") << "1:5:3" << QList<int>{1, 4};
    QTest::newRow("4:0:-2 backwards") << "4:0:-2" << QList<int>{4, 2};
    QTest::newRow("::-1 reversed") << "::-1" << QList<int>{4, 3, 2, 1, 0};
    QTest::newRow("3:100 cut to the file") << "3:100" << QList<int>{3, 4};
    QTest::newRow("-100:2 cut to the file") << "-100:2" << QList<int>{0, 1};
    QTest::newRow("4:1 empty") << "4:1" << QList<int>{};
}

void TestSegyTool::headersRange()
{
    QFETCH(QString, range);
    QFETCH(QList<int>, traces);

    QStringList arguments = {"headers", "--csv", "--fields", "1, inline ,193:4"};
    if (!range.isEmpty())
        arguments << "--traces" << range;
    const ToolRun run = RunTool(arguments << small);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QList<QByteArray> expected
        = {QByteArray("trace,") + TraceField(1).name + ',' + TraceField(189).name + ",193:4"};
    for (const int i : traces)
        expected.append(
            QStringLiteral("%1,%2,%3,%4").arg(i).arg(i + 1).arg(100 + i).arg(200 + 2 * i).toUtf8());
    QCOMPARE(Lines(run.out), expected);
}

// The default table: right-aligned columns, so every row is as long as the header row.
void TestSegyTool::headersTable()
{
    const ToolRun run = RunTool({"headers", small});
    QCOMPARE(run.status, 0);
    const QList<QByteArray> lines = Lines(run.out);
    QCOMPARE(lines.size(), 6);
    const QList<QByteArray> titles = lines[0].simplified().split(' ');
    const int inlineColumn = int(titles.indexOf(TraceField(189).name));
    const int crosslineColumn = int(titles.indexOf(TraceField(193).name));
    QCOMPARE(titles.value(0), QByteArray("trace"));
    QVERIFY(inlineColumn > 0 && crosslineColumn > 0);
    for (int i = 0; i < 5; ++i) {
        const QList<QByteArray> cells = lines[i + 1].simplified().split(' ');
        QCOMPARE(lines[i + 1].size(), lines[0].size());
        QCOMPARE(cells.size(), titles.size());
        QCOMPARE(cells[0].toInt(), i);
        QCOMPARE(cells[inlineColumn].toInt(), 100 + i);
        QCOMPARE(cells[crosslineColumn].toInt(), 200 + 2 * i);
    }
}

// Samples read back with strtof give the very floats written, the awkward ones included.
void TestSegyTool::samplesReadBack()
{
    using Limits = std::numeric_limits<float>;
    const std::vector<float> values
        = {0.1f, -0.0f, 0.0f, Limits::denorm_min(), -Limits::denorm_min() * 1234, Limits::min(),
            Limits::max(), -Limits::max(), 1.0f / 3, std::nextafter(1.0f, 2.0f), 16777216.0f,
            1e-10f, Limits::infinity(), -Limits::infinity(), 123456.789f, -2.5e-38f};
    const QString path = Path("ieee.sgy");
    SegyWriteOptions options;
    options.format = 5;
    SegyWriter writer(path, options);
    QVERIFY(writer.Begin());
    QVERIFY(writer.WriteTrace(SegyTraceHeader(), values.data(), int(values.size())));
    QVERIFY(writer.Finish());

    const ToolRun run = RunTool({"samples", path});
    QCOMPARE(run.status, 0);
    const QList<QByteArray> lines = Lines(run.out);
    QCOMPARE(lines.size(), 1);
    const QList<QByteArray> texts = lines[0].split(' ');
    QCOMPARE(texts.size(), int(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        const float back = std::strtof(texts[int(i)].constData(), nullptr);
        QVERIFY2(std::memcmp(&back, &values[i], sizeof back) == 0, texts[int(i)].constData());
    }
    QCOMPARE(texts[1], QByteArray("-0"));
    QFile::remove(path);

    // The IBM file's first trace, i * 10 + s - 0.25 for trace 0.
    QCOMPARE(
        RunTool({"samples", "--traces", "0", small}).out, QByteArray("-0.25 0.75 1.75 2.75\n"));
}

// IBM to IEEE and back gives the original bytes; another byte order keeps the samples.
void TestSegyTool::convertRoundTrip()
{
    const QString ieee = Path("ieee.sgy");
    const QString back = Path("back.sgy");
    const QString little = Path("little.sgy");
    QCOMPARE(RunTool({"convert", "--format", "5", small, ieee}).status, 0);
    QCOMPARE(RunTool({"convert", "--format", "ibm32", ieee, back}).status, 0);
    QCOMPARE(ReadAll(back), ReadAll(small));
    QCOMPARE(QJsonDocument::fromJson(RunTool({"info", "--json", ieee}).out)["format"].toInt(), 5);

    QCOMPARE(RunTool({"convert", "--endian", "little", ieee, little}).status, 0);
    const QJsonDocument info = QJsonDocument::fromJson(RunTool({"info", "--json", little}).out);
    QCOMPARE(info["byteOrder"].toString(), QStringLiteral("little"));
    QCOMPARE(info["format"].toInt(), 5);
    QCOMPARE(RunTool({"samples", little}).out, RunTool({"samples", small}).out);
    QCOMPARE(RunTool({"headers", "--csv", little}).out, RunTool({"headers", "--csv", small}).out);

    // Through a Zarr store and back, to IEEE: what convert gives.
    const QString store = Path("line12.zarr");
    const ToolRun exported = RunTool({"export", "--compression", "zstd", small, store});
    QCOMPARE(exported.status, 0);
    QCOMPARE(exported.err, QByteArray());
    QCOMPARE(RunTool({"import", "--format", "5", store, back}).status, 0);
    QCOMPARE(ReadAll(back), ReadAll(ieee));
    QVERIFY(QDir(store).removeRecursively());
    for (const QString& path : {ieee, back, little})
        QFile::remove(path);
}

// A reader that stops early (head) ends the output quietly, with status 0; a full disk is an
// error.
// The small file's traces lie on a diagonal: inlines 100 to 104, crosslines 200 to 208 in steps
// of 2, one trace per inline.
void TestSegyTool::geometry()
{
    const ToolRun run = RunTool({"geometry", "--json", small});
    QCOMPARE(run.status, 0);
    QJsonParseError error;
    const QJsonObject g = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(g["file"].toString(), small);
    QCOMPARE(g["kind"].toString(), QStringLiteral("cube"));
    QCOMPARE(g["sorting"].toString(), QStringLiteral("inline"));
    const QJsonObject il = g["inline"].toObject(), xl = g["crossline"].toObject();
    QCOMPARE((QList<int>{
                 il["first"].toInt(), il["last"].toInt(), il["step"].toInt(), il["count"].toInt()}),
        (QList<int>{100, 104, 1, 5}));
    QCOMPARE((QList<int>{
                 xl["first"].toInt(), xl["last"].toInt(), xl["step"].toInt(), xl["count"].toInt()}),
        (QList<int>{200, 208, 2, 5}));
    QCOMPARE(g["traces"].toInt(), 5);
    QCOMPARE(g["bins"].toInt(), 25);
    QCOMPARE(g["missing"].toInt(), 20);
    QCOMPARE(g["duplicates"].toInt(), 0);
    QCOMPARE(g["warnings"].toArray().size(), 0);

    const ToolRun text = RunTool({"geometry", small});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.contains("crossline       200 to 208 step 2 (5)\n"), text.out.constData());
}

void TestSegyTool::slice()
{
    // Trace i holds i * 10 + s - 0.25 at sample s.
    const ToolRun inl = RunTool({"slice", "--inline", "102", small});
    QCOMPARE(inl.status, 0);
    QCOMPARE(Lines(inl.out),
        (QList<QByteArray>{"200 nan nan nan nan", "202 nan nan nan nan",
            "204 19.75 20.75 21.75 22.75", "206 nan nan nan nan", "208 nan nan nan nan"}));

    const ToolRun time = RunTool({"slice", "--time", "4", "--csv", small});
    QCOMPARE(time.status, 0);
    const QList<QByteArray> rows = Lines(time.out);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows[0], QByteArray("inline,200,202,204,206,208"));
    QCOMPARE(rows[4], QByteArray("103,nan,nan,nan,30.75,nan"));

    const ToolRun xl = RunTool({"slice", "--crossline", "200", "--csv", small});
    QCOMPARE(xl.status, 0);
    QCOMPARE(Lines(xl.out).mid(0, 2),
        (QList<QByteArray>{"inline,0,4,8,12", "100,-0.25,0.75,1.75,2.75"}));
}

void TestSegyTool::closedPipe()
{
    const QString path = Path("many.sgy");
    QVERIFY(WriteTestFile(path, 3000, 250));
    QProcess tool;
    QProcess head;
    tool.setStandardOutputProcess(&head);
    head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("1")});
    tool.start(QStringLiteral(ORV_SEGY_TOOL), {QStringLiteral("samples"), path});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY(head.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardError(), QByteArray());
    QCOMPARE(Lines(head.readAllStandardOutput()).size(), 1);

    if (QFile::exists(QStringLiteral("/dev/full"))) {
        const ToolRun full = RunTool({"samples", path}, QStringLiteral("/dev/full"));
        QCOMPARE(full.status, 1);
        QVERIFY2(full.err.startsWith("orv-segy: standard output: "), full.err.constData());
    }
    QFile::remove(path);
}

// Ctrl-C while converting: status 130 and no file left behind, the temporary one included.
void TestSegyTool::interruptedConvert()
{
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString in = work.filePath(QStringLiteral("big.sgy"));
    QVERIFY(WriteTestFile(in, 40000, 500));
    QProcess tool;
    tool.start(QStringLiteral(ORV_SEGY_TOOL),
        {QStringLiteral("convert"), QStringLiteral("--format"), QStringLiteral("5"), in,
            work.filePath(QStringLiteral("out.sgy"))});
    QVERIFY(tool.waitForStarted());
    // The output is under way once the tool holds a file of the folder other than the input
    // (the temporary file may have no name there: it shows as "#... (deleted)").
    const QByteArray fds = "/proc/" + QByteArray::number(tool.processId()) + "/fd/";
    const QByteArray folder = QFile::encodeName(work.path()) + '/';
    const auto writing = [&]() {
        for (int fd = 3; fd < 64; ++fd) {
            char target[4096];
            const ssize_t length = ::readlink(fds + QByteArray::number(fd), target, sizeof target);
            const QByteArray path(target, int(std::max<ssize_t>(length, 0)));
            if (path.startsWith(folder) && path != QFile::encodeName(in))
                return true;
        }
        return false;
    };
    QElapsedTimer timer;
    timer.start();
    while (!writing() && tool.state() == QProcess::Running && timer.elapsed() < 30000)
        QThread::usleep(100);
    QVERIFY(::kill(pid_t(tool.processId()), SIGINT) == 0);
    QVERIFY(tool.waitForFinished(60000));
    // The conversion takes far longer than the signal: a finished file means it was not heard.
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("out.sgy"))));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 130);
    QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList{QStringLiteral("big.sgy")});
}

QTEST_GUILESS_MAIN(TestSegyTool)
#include "test_segy_tool.moc"
