#include "TextUtils.h"

#include <QtTest>

#include <array>

namespace {

using ByteTable = std::array<unsigned char, 256>;

// The 94 printable characters of the EBCDIC code set, as runs of
// consecutive codes: first EBCDIC code, first ASCII code, run length.
struct CodeRun {
    int ebcdic;
    int ascii;
    int count;
};

const CodeRun PrintableRuns[] = {
    {0x40, ' ', 1},
    {0x4A, '#', 1},
    {0x4B, '.', 1},
    {0x4C, '<', 1},
    {0x4D, '(', 1},
    {0x4E, '+', 1},
    {0x50, '&', 1},
    {0x5A, '!', 1},
    {0x5B, '$', 1},
    {0x5C, '*', 1},
    {0x5D, ')', 1},
    {0x5E, ';', 1},
    {0x5F, '^', 1},
    {0x60, '-', 1},
    {0x61, '/', 1},
    {0x6A, '|', 1},
    {0x6B, ',', 1},
    {0x6C, '%', 1},
    {0x6D, '_', 1},
    {0x6E, '>', 2},
    {0x79, '`', 1},
    {0x7A, ':', 1},
    {0x7C, '@', 1},
    {0x7D, '\'', 1},
    {0x7E, '=', 1},
    {0x7F, '"', 1},
    {0x81, 'a', 9},
    {0x8B, '{', 1},
    {0x91, 'j', 9},
    {0x9B, '}', 1},
    {0xA2, 's', 8},
    {0xAD, '[', 1},
    {0xBD, ']', 1},
    {0xC1, 'A', 9},
    {0xD1, 'J', 9},
    {0xE0, '\\', 1},
    {0xE2, 'S', 8},
    {0xF0, '0', 10},
};

ByteTable ExpectedEbcdicToAscii()
{
    ByteTable t;
    t.fill('.');
    for (const CodeRun& run : PrintableRuns)
        for (int i = 0; i < run.count; ++i)
            t[run.ebcdic + i] = static_cast<unsigned char>(run.ascii + i);
    return t;
}

ByteTable ExpectedAsciiToEbcdic()
{
    ByteTable t;
    t.fill(0x00);
    for (const CodeRun& run : PrintableRuns)
        for (int i = 0; i < run.count; ++i)
            t[run.ascii + i] = static_cast<unsigned char>(run.ebcdic + i);
    t['~'] = 0x60;
    return t;
}

QByteArray AllBytes()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}

QString Hex(int byte)
{
    return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0'));
}

using Converter = void (*)(char*, int);

const char* const WaitChildVariable = "ORV_TEST_WAIT_AT_DEBUG_POINT";

} // namespace

Q_DECLARE_METATYPE(Converter)
Q_DECLARE_METATYPE(ByteTable)

class TestTextUtils : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeMapping_data();
    void wholeMapping();
    void lengthLimits_data();
    void lengthLimits();
    void environmentValue_data();
    void environmentValue();
    void environmentEmptyResults_data();
    void environmentEmptyResults();
    void debugPointWaits();
};

void TestTextUtils::initTestCase()
{
    // Started by debugPointWaits() as a child process: wait there for good.
    if (qEnvironmentVariableIsSet(WaitChildVariable))
        WaitAtDebugPoint();

    // New variables are appended to the environment in this order, so each
    // decoy comes before the variable a looser match would confuse it with.
    QVERIFY(qputenv("ORV_TEST_PATHEXT", ".COM;.EXE"));
    QVERIFY(qputenv("ORV_TEST_PATH", "/usr/bin:/bin"));
    QVERIFY(qputenv("Orv_Test_Case", "mixed"));
    QVERIFY(qputenv("ORV_TEST_CASE", "upper"));
    QVERIFY(qputenv("ORV_TEST_EQUALS", "a=b==c="));
    QVERIFY(qputenv("ORV_TEST_EMPTY", ""));
    QVERIFY(qputenv("ORV_TESTXDOT", "x"));
    QVERIFY(qputenv("ORV_TEST.DOT", "dot"));
    QVERIFY(qputenv("ORV_TEST_AAA", "three a"));
    QVERIFY(qputenv("ORV_TEST_A+", "plus"));
}

void TestTextUtils::wholeMapping_data()
{
    QTest::addColumn<Converter>("convert");
    QTest::addColumn<ByteTable>("expected");
    QTest::newRow("EBCDIC -> ASCII, all 256 codes")
        << Converter(&EbcdicToAscii) << ExpectedEbcdicToAscii();
    QTest::newRow("ASCII -> EBCDIC, all 256 codes")
        << Converter(&AsciiToEbcdic) << ExpectedAsciiToEbcdic();
}

void TestTextUtils::wholeMapping()
{
    QFETCH(Converter, convert);
    QFETCH(ByteTable, expected);

    QByteArray bytes = AllBytes();
    convert(bytes.data(), bytes.size());
    for (int code = 0; code < 256; ++code) {
        const int got = static_cast<unsigned char>(bytes[code]);
        QVERIFY2(got == expected[code],
            qPrintable(QStringLiteral("code %1 gave %2, expected %3")
                           .arg(Hex(code), Hex(got), Hex(expected[code]))));
    }
}

void TestTextUtils::lengthLimits_data()
{
    QTest::addColumn<Converter>("convert");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");
    const Converter toAscii = &EbcdicToAscii;
    const Converter toEbcdic = &AsciiToEbcdic;

    QTest::newRow("ebcdic, length 0") << toAscii << 0 << QByteArray("\xC1\xC2\xC3\xC4");
    QTest::newRow("ebcdic, length -1") << toAscii << -1 << QByteArray("\xC1\xC2\xC3\xC4");
    QTest::newRow("ebcdic, length 2") << toAscii << 2 << QByteArray("AB\xC3\xC4");
    QTest::newRow("ascii, length 0") << toEbcdic << 0 << QByteArray("\xC1\xC2\xC3\xC4");
    QTest::newRow("ascii, length -5") << toEbcdic << -5 << QByteArray("\xC1\xC2\xC3\xC4");
    QTest::newRow("ascii, length 2") << toEbcdic << 2 << QByteArray("\0\0\xC3\xC4", 4);
}

void TestTextUtils::lengthLimits()
{
    QFETCH(Converter, convert);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);

    QByteArray bytes("\xC1\xC2\xC3\xC4");
    convert(bytes.data(), length);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

void TestTextUtils::environmentValue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("PATH after PATHEXT finds its own value") << "ORV_TEST_PATH"
                                                            << "/usr/bin:/bin";
    QTest::newRow("PATHEXT") << "ORV_TEST_PATHEXT"
                             << ".COM;.EXE";
    QTest::newRow("upper-case name") << "ORV_TEST_CASE"
                                     << "upper";
    QTest::newRow("mixed-case name") << "Orv_Test_Case"
                                     << "mixed";
    QTest::newRow("value keeps later '='") << "ORV_TEST_EQUALS"
                                           << "a=b==c=";
    QTest::newRow("'.' in a name is literal") << "ORV_TEST.DOT"
                                              << "dot";
    QTest::newRow("'+' in a name is literal") << "ORV_TEST_A+"
                                              << "plus";
}

void TestTextUtils::environmentValue()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(EnvironmentValue(name), expected);
}

void TestTextUtils::environmentEmptyResults_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("absent name") << "ORV_TEST_NO_SUCH_VARIABLE";
    QTest::newRow("empty name") << "";
    QTest::newRow("null name") << QString();
    QTest::newRow("variable set to empty") << "ORV_TEST_EMPTY";
    QTest::newRow("case differs from every variable") << "orv_test_case";
    QTest::newRow("prefix of a longer name") << "ORV_TEST_PATHE";
    QTest::newRow("regex that would match other names") << "ORV_TEST_.*";
    QTest::newRow("'.' does not stand for any char") << "ORV_TES.XDOT";
    QTest::newRow("name with the '=' of an entry") << "ORV_TEST_CASE=upper";
}

void TestTextUtils::environmentEmptyResults()
{
    QFETCH(QString, name);
    const QString value = EnvironmentValue(name);
    QVERIFY2(value.isEmpty(), qPrintable(value));
    QVERIFY(!value.isNull());
}

void TestTextUtils::debugPointWaits()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(WaitChildVariable), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // initTestCase() blocks in the child; naming one cheap test keeps a child
    // that wrongly returns from starting children of its own.
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("lengthLimits")});
    QVERIFY(child.waitForStarted(10000));

    const QByteArray line = "Waiting at debug point...\n";
    QByteArray output;
    QDeadlineTimer deadline(30000);
    while (!output.contains(line) && !deadline.hasExpired() && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        output += child.readAllStandardOutput();
    }
    QVERIFY2(output.contains(line), output.constData());

    // Having announced itself, the child must stay put rather than return.
    QVERIFY(!child.waitForFinished(500));
    QCOMPARE(child.state(), QProcess::Running);
    child.kill();
    QVERIFY(child.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestTextUtils)
#include "test_text_utils.moc"
