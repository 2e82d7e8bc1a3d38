#include "AppConsole.h"
#include "ConsoleKillWriter.h"
#include "ConsoleTestApp.h"
#include "ModalHelper.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextCodec>
#include <QTextEdit>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

const QString kErrorPrefix = QStringLiteral(" *** Error:   ");
const QString kWarningPrefix = QStringLiteral(" ** Warning:   ");

// Message length for the writer under a file size limit.
const int kLimitLength = 50;

// Where the console shows its messages.
enum Channel { TextView, InfoBox, StandardOutput };

// Message i of the writer children as a line of the console file.
QByteArray WriterLine(int i, int length)
{
    QByteArray line;
    switch (KillWriterKindOf(i)) {
    case KillWriterKind::Plain:
        break;
    case KillWriterKind::Error:
        line += kErrorPrefix.toLatin1();
        break;
    case KillWriterKind::Warning:
        line += kWarningPrefix.toLatin1();
        break;
    }
    return line + KillWriterText(i, length).toLatin1() + '\n';
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<cannot read>");
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// "hh mm ss ddd MMMM d yyyy" spelled out with the system locale's names.
QString StampOf(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    const QDate date = when.date();
    const QTime time = when.time();
    const auto twoDigits
        = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QStringList{twoDigits(time.hour()), twoDigits(time.minute()), twoDigits(time.second()),
        locale.dayName(date.dayOfWeek(), QLocale::ShortFormat),
        locale.monthName(date.month(), QLocale::LongFormat), QString::number(date.day()),
        QString::number(date.year())}
        .join(QLatin1Char(' '));
}

// File descriptor 1 goes to a temporary file while the capture lives.
class StdoutCapture {
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        if (file.open()) {
            saved = dup(STDOUT_FILENO);
            dup2(file.handle(), STDOUT_FILENO);
        }
    }
    ~StdoutCapture() { Restore(); }

    QByteArray Take()
    {
        Restore();
        file.seek(0);
        return file.readAll();
    }

private:
    void Restore()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        saved = -1;
    }

    QTemporaryFile file;
    int saved = -1;
};

} // namespace

class TestConsoleFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openNames_data();
    void openNames();
    void newConsoleNames_data();
    void newConsoleNames();
    void newConsoleTwiceInOneSecond();
    void newConsoleLaterRemovesEmptyFirst();
    void previousConsoleFile_data();
    void previousConsoleFile();
    void truncatesOnOpen_data();
    void truncatesOnOpen();
    void closeAndReopen();
    void openFailure_data();
    void openFailure();
    void failedOpenLeavesPreviousFileAlone();
    void lineFormat_data();
    void lineFormat();
    void encoding_data();
    void encoding();
    void completeAfterKill_data();
    void completeAfterKill();
    void writeFailure_data();
    void writeFailure();

private:
    QString Path(const QString& relative) const { return dir + QLatin1Char('/') + relative; }
    // All files below the current test's folder, relative to it, sorted.
    QStringList FilesHere() const;
    std::unique_ptr<AppConsole> MakeConsole(
        Channel channel, QTextEdit* view, const QString& fileName = QString(), int level = 1);

    QTemporaryDir root;
    QString dir;
    int rowCount = 0;
};

void TestConsoleFiles::initTestCase()
{
    QVERIFY(root.isValid());
    // Names with non-ASCII characters are encoded with the locale codec; fix
    // it so that the tests do not depend on the environment's locale.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void TestConsoleFiles::init()
{
    dir = root.path() + QStringLiteral("/row") + QString::number(++rowCount);
    QVERIFY(QDir().mkpath(dir));
}

void TestConsoleFiles::cleanup()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    ConsoleTestApp::Instance()->SetGuiEnabled(true);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Removed here so that one leftover does not fail the tests after it.
    const QWidgetList leftBehind = QApplication::topLevelWidgets();
    qDeleteAll(leftBehind);
    QVERIFY2(leftBehind.isEmpty(), "a top-level window was left behind");
}

QStringList TestConsoleFiles::FilesHere() const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(dir).relativeFilePath(it.next()));
    files.sort();
    return files;
}

std::unique_ptr<AppConsole> TestConsoleFiles::MakeConsole(
    Channel channel, QTextEdit* view, const QString& fileName, int level)
{
    ConsoleTestApp* app = ConsoleTestApp::Instance();
    app->SetGuiEnabled(channel != StandardOutput);
    auto console
        = std::make_unique<AppConsole>(app, channel == TextView ? view : nullptr, fileName, level);
    app->SetGuiEnabled(true);
    return console;
}

void TestConsoleFiles::openNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("extension replaced") << "log.txt"
                                        << "log.console";
    QTest::newRow("only the last dot starts the extension") << "line.12.sgy"
                                                            << "line.12.console";
    QTest::newRow("no extension: appended") << "log"
                                            << "log.console";
    QTest::newRow("dotted folder, no extension") << "run.2024/log"
                                                 << "run.2024/log.console";
    QTest::newRow("dotted folder, extension") << "run.2024/log.txt"
                                              << "run.2024/log.console";
    QTest::newRow("two dotted folders, no extension") << "a.b/c.d/log"
                                                      << "a.b/c.d/log.console";
    QTest::newRow(".console name stays") << "old.console"
                                         << "old.console";
    QTest::newRow("spaces") << "my runs/line 12.flw"
                            << "my runs/line 12.console";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Año 2026/línea Ñandú.flw")
                               << QString::fromUtf8("Año 2026/línea Ñandú.console");
}

// The same name rules hold for a file opened at construction and for one
// opened later; the file lands where the name says and nowhere else.
void TestConsoleFiles::openNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QVERIFY(QDir().mkpath(QFileInfo(Path(name)).path()));

    for (const bool atConstruction : {true, false}) {
        QTextEdit view;
        std::unique_ptr<AppConsole> console
            = MakeConsole(TextView, &view, atConstruction ? Path(name) : QString());
        if (!atConstruction) {
            QVERIFY(!console->HasOpenConsoleFile());
            console->OpenConsoleFile(Path(name));
        }
        QCOMPARE(console->ConsoleFileName(), Path(expected));
        QVERIFY(console->HasOpenConsoleFile());
        QCOMPARE(FilesHere(), QStringList{expected});

        const QString text = atConstruction ? QStringLiteral("opened at construction")
                                            : QStringLiteral("opened later");
        console->Msg(text, Qt::black);
        QCOMPARE(ReadFile(Path(expected)), text.toUtf8() + '\n');
        QCOMPARE(view.toPlainText(), text);
    }
}

void TestConsoleFiles::newConsoleNames_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QString>("expected"); // "{stamp}" stands for the date stamp
    QTest::addColumn<bool>("consolesExists");

    QTest::newRow("worked example") << "Jobs/Line12.flw"
                                    << "Jobs/Consoles/Line12_{stamp}.console" << false;
    QTest::newRow("Consoles folder already there")
        << "Jobs/Line12.flw"
        << "Jobs/Consoles/Line12_{stamp}.console" << true;
    QTest::newRow("only the last dot starts the extension")
        << "Jobs/line.12.flw"
        << "Jobs/Consoles/line.12_{stamp}.console" << false;
    QTest::newRow("no extension: no stamp") << "Jobs/flow"
                                            << "Jobs/Consoles/flow.console" << false;
    QTest::newRow("dotted folder, no extension") << "proj.v2/flow"
                                                 << "proj.v2/Consoles/flow.console" << false;
    QTest::newRow("dotted folder, extension") << "proj.v2/flow.flw"
                                              << "proj.v2/Consoles/flow_{stamp}.console" << false;
    QTest::newRow("spaces and non-ASCII")
        << QString::fromUtf8("Año 2026/línea 7.flw")
        << QString::fromUtf8("Año 2026/Consoles/línea 7_{stamp}.console") << false;
}

void TestConsoleFiles::newConsoleNames()
{
    QFETCH(QString, flow);
    QFETCH(QString, expected);
    QFETCH(bool, consolesExists);
    const QString flowDir = QFileInfo(Path(flow)).path();
    QVERIFY(QDir().mkpath(flowDir));
    if (consolesExists)
        QVERIFY(QDir().mkpath(flowDir + QStringLiteral("/Consoles")));

    QTextEdit view;
    std::unique_ptr<AppConsole> console = MakeConsole(TextView, &view);
    const QDateTime before = QDateTime::currentDateTime();
    console->NewConsole(Path(flow));
    const QDateTime after = QDateTime::currentDateTime();

    QStringList candidates;
    for (const QDateTime& when : {before, after}) {
        QString name = expected;
        name.replace(QStringLiteral("{stamp}"), StampOf(when));
        candidates.append(name);
    }
    const QString made = QDir(dir).relativeFilePath(console->ConsoleFileName());
    QVERIFY2(candidates.contains(made),
        qPrintable(made + QStringLiteral(" not in ") + candidates.join(" | ")));
    QVERIFY(console->HasOpenConsoleFile());
    QVERIFY(QFileInfo(flowDir + QStringLiteral("/Consoles")).isDir());
    QCOMPARE(FilesHere(), QStringList{made});
    QCOMPARE(view.toPlainText(), QString());

    console->WarningMsg(QStringLiteral("first line"), false);
    QCOMPARE(ReadFile(console->ConsoleFileName()), QByteArray(" ** Warning:   first line\n"));
}

// Both calls get the same name; the second opening truncates the file.
void TestConsoleFiles::newConsoleTwiceInOneSecond()
{
    const QString flow = Path(QStringLiteral("Jobs/Line12.flw"));
    QVERIFY(QDir().mkpath(QFileInfo(flow).path()));
    QTextEdit view;
    std::unique_ptr<AppConsole> console = MakeConsole(TextView, &view);

    QString first, second;
    for (int attempt = 0; attempt < 5 && (first.isEmpty() || first != second); ++attempt) {
        while (QTime::currentTime().msec() > 500)
            QTest::qWait(20);
        console->NewConsole(flow);
        first = console->ConsoleFileName();
        console->Msg(QStringLiteral("from the first console"), Qt::black);
        QCOMPARE(ReadFile(first), QByteArray("from the first console\n"));
        console->NewConsole(flow);
        second = console->ConsoleFileName();
    }
    QCOMPARE(second, first);
    QVERIFY(console->HasOpenConsoleFile());
    QCOMPARE(ReadFile(second), QByteArray());
    console->Msg(QStringLiteral("from the second console"), Qt::black);
    QCOMPARE(ReadFile(second), QByteArray("from the second console\n"));
    QCOMPARE(FilesHere(), QStringList{QDir(dir).relativeFilePath(second)});
}

void TestConsoleFiles::newConsoleLaterRemovesEmptyFirst()
{
    const QString flow = Path(QStringLiteral("Jobs/Line12.flw"));
    QVERIFY(QDir().mkpath(QFileInfo(flow).path()));
    QTextEdit view;
    std::unique_ptr<AppConsole> console = MakeConsole(TextView, &view);

    console->NewConsole(flow);
    const QString first = console->ConsoleFileName();
    QVERIFY(QFileInfo::exists(first));
    QTRY_VERIFY_WITH_TIMEOUT(!first.contains(StampOf(QDateTime::currentDateTime())), 2000);
    console->NewConsole(flow);
    const QString second = console->ConsoleFileName();
    QVERIFY(second != first);
    QCOMPARE(FilesHere(), QStringList{QDir(dir).relativeFilePath(second)});
}

void TestConsoleFiles::previousConsoleFile_data()
{
    QTest::addColumn<bool>("atConstruction");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("closed");

    QTest::newRow("NewConsole file, empty: removed") << false << false << false;
    QTest::newRow("NewConsole file, written: kept") << false << true << false;
    QTest::newRow("NewConsole file, empty, closed: removed") << false << false << true;
    QTest::newRow("NewConsole file, written, closed: kept") << false << true << true;
    QTest::newRow("file of construction, empty: removed") << true << false << false;
    QTest::newRow("file of construction, written: kept") << true << true << false;
}

void TestConsoleFiles::previousConsoleFile()
{
    QFETCH(bool, atConstruction);
    QFETCH(bool, written);
    QFETCH(bool, closed);
    QVERIFY(QDir().mkpath(Path(QStringLiteral("A"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("B"))));

    QTextEdit view;
    std::unique_ptr<AppConsole> console = MakeConsole(
        TextView, &view, atConstruction ? Path(QStringLiteral("A/run.log")) : QString());
    if (!atConstruction)
        console->NewConsole(Path(QStringLiteral("A/first.flw")));
    const QString previous = console->ConsoleFileName();
    QVERIFY(QFileInfo::exists(previous));
    if (written)
        console->Msg(QStringLiteral("kept"), Qt::black);
    if (closed)
        console->CloseConsoleFile();

    console->NewConsole(Path(QStringLiteral("B/second.flw")));
    console->Msg(QStringLiteral("later"), Qt::black);

    QCOMPARE(QFileInfo::exists(previous), written);
    if (written)
        QCOMPARE(ReadFile(previous), QByteArray("kept\n"));
    QCOMPARE(ReadFile(console->ConsoleFileName()), QByteArray("later\n"));
}

void TestConsoleFiles::truncatesOnOpen_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("at construction") << 0;
    QTest::newRow("by OpenConsoleFile") << 1;
    QTest::newRow("by OpenConsoleFile of the open file") << 2;
}

void TestConsoleFiles::truncatesOnOpen()
{
    QFETCH(int, how);
    const QString file = Path(QStringLiteral("t.console"));
    WriteFile(file, QByteArray("an old line of an earlier run\n").repeated(100));

    QTextEdit view;
    std::unique_ptr<AppConsole> console
        = MakeConsole(TextView, &view, how == 0 ? Path(QStringLiteral("t.dat")) : QString());
    if (how == 2) {
        console->OpenConsoleFile(Path(QStringLiteral("t.dat")));
        console->Msg(QStringLiteral("first opening"), Qt::black);
    }
    if (how >= 1)
        console->OpenConsoleFile(Path(QStringLiteral("t.seg")));

    QCOMPARE(QFileInfo(file).size(), qint64(0));
    console->Msg(QStringLiteral("new"), Qt::black);
    QCOMPARE(ReadFile(file), QByteArray("new\n"));
}

void TestConsoleFiles::closeAndReopen()
{
    QVERIFY(QDir().mkpath(Path(QStringLiteral("Jobs"))));
    const QString first = Path(QStringLiteral("run.console"));
    QTextEdit view;
    std::unique_ptr<AppConsole> console
        = MakeConsole(TextView, &view, Path(QStringLiteral("run.txt")));
    console->Msg(QStringLiteral("a"), Qt::black);

    console->CloseConsoleFile();
    QVERIFY(!console->HasOpenConsoleFile());
    QCOMPARE(console->ConsoleFileName(), first);
    console->Msg(QStringLiteral("b"), Qt::black);
    console->CloseConsoleFile();
    console->OpenConsoleFile(QString());
    QVERIFY(!console->HasOpenConsoleFile());
    QCOMPARE(console->ConsoleFileName(), first);
    console->Msg(QStringLiteral("c"), Qt::black);
    QCOMPARE(ReadFile(first), QByteArray("a\n"));

    console->NewConsole(Path(QStringLiteral("Jobs/flow")));
    const QString second = Path(QStringLiteral("Jobs/Consoles/flow.console"));
    QVERIFY(console->HasOpenConsoleFile());
    QCOMPARE(console->ConsoleFileName(), second);
    console->Msg(QStringLiteral("d"), Qt::black);

    // An empty name changes nothing, also while a file is open.
    console->OpenConsoleFile(QString());
    QVERIFY(console->HasOpenConsoleFile());
    console->Msg(QStringLiteral("e"), Qt::black);

    // Opening another file finishes the open one.
    console->OpenConsoleFile(Path(QStringLiteral("other.log")));
    console->Msg(QStringLiteral("f"), Qt::black);
    console.reset();

    QCOMPARE(ReadFile(first), QByteArray("a\n"));
    QCOMPARE(ReadFile(second), QByteArray("d\ne\n"));
    QCOMPARE(ReadFile(Path(QStringLiteral("other.console"))), QByteArray("f\n"));
    QCOMPARE(view.toPlainText(), QStringLiteral("a\nb\nc\nd\ne\nf"));
}

void TestConsoleFiles::openFailure_data()
{
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("channel");

    const char* const failures[] = {"missing folder, at construction",
        "missing folder, OpenConsoleFile", "target is a folder", "folder part is a file",
        "name too long", "NewConsole in a missing folder"};
    const char* const channels[] = {"text view", "information box", "standard output"};
    for (int f = 0; f < 6; ++f)
        for (int c = 0; c < 3; ++c)
            QTest::addRow("%s, %s", failures[f], channels[c]) << f << c;
}

// Exactly one error through the display channel, no file, and the console
// goes on showing messages.
void TestConsoleFiles::openFailure()
{
    QFETCH(int, failure);
    QFETCH(int, channel);

    QString name;
    QString expected;
    switch (failure) {
    case 0:
    case 1:
        name = Path(QStringLiteral("missing/sub/log.txt"));
        expected = Path(QStringLiteral("missing/sub/log.console"));
        break;
    case 2:
        QVERIFY(QDir().mkpath(Path(QStringLiteral("busy.console"))));
        name = Path(QStringLiteral("busy.txt"));
        expected = Path(QStringLiteral("busy.console"));
        break;
    case 3:
        WriteFile(Path(QStringLiteral("plain")), "not a folder\n");
        name = Path(QStringLiteral("plain/log.txt"));
        expected = Path(QStringLiteral("plain/log.console"));
        break;
    case 4:
        name = Path(QString(300, QLatin1Char('x')) + QStringLiteral(".txt"));
        expected = Path(QString(300, QLatin1Char('x')) + QStringLiteral(".console"));
        break;
    case 5:
        name = Path(QStringLiteral("missing/flow"));
        expected = Path(QStringLiteral("missing/Consoles/flow.console"));
        break;
    }
    const QStringList filesBefore = FilesHere();

    QTextEdit view;
    ModalHelper helper;
    std::unique_ptr<AppConsole> console;
    QByteArray printed;
    {
        // Only around the standard output channel: QtTest prints there too.
        std::optional<StdoutCapture> capture;
        if (channel == StandardOutput)
            capture.emplace();
        console
            = MakeConsole(static_cast<Channel>(channel), &view, failure == 0 ? name : QString());
        if (failure == 5)
            console->NewConsole(name);
        else if (failure != 0)
            console->OpenConsoleFile(name);
        console->Msg(QStringLiteral("after"), Qt::black);
        if (capture)
            printed = capture->Take();
    }

    const QString line = kErrorPrefix + QStringLiteral("error opening file: ") + expected;
    switch (channel) {
    case TextView:
        QCOMPARE(view.toPlainText(), line + QStringLiteral("\nafter"));
        QCOMPARE(helper.Count(), 1);
        QCOMPARE(helper.Seen().at(0).icon, int(QMessageBox::Critical));
        QCOMPARE(helper.Seen().at(0).title, QStringLiteral("Error"));
        QCOMPARE(helper.Seen().at(0).text, line);
        QCOMPARE(printed, QByteArray());
        break;
    case InfoBox:
        QCOMPARE(helper.Count(), 2);
        QCOMPARE(helper.Seen().at(0).icon, int(QMessageBox::Information));
        QCOMPARE(helper.Seen().at(0).title, QStringLiteral("Console Test"));
        QCOMPARE(helper.Seen().at(0).text, line);
        QCOMPARE(helper.Seen().at(1).text, QStringLiteral("after"));
        QCOMPARE(printed, QByteArray());
        break;
    case StandardOutput:
        QCOMPARE(helper.Count(), 0);
        QCOMPARE(printed, (line + QStringLiteral("\nafter\n")).toUtf8());
        break;
    }
    QVERIFY(!console->HasOpenConsoleFile());
    QCOMPARE(console->ConsoleFileName(), expected);
    QVERIFY(!QFileInfo(expected).isFile());
    QStringList filesAfter = FilesHere();
    QCOMPARE(filesAfter, filesBefore);
}

void TestConsoleFiles::failedOpenLeavesPreviousFileAlone()
{
    QTextEdit view;
    ModalHelper helper;
    std::unique_ptr<AppConsole> console
        = MakeConsole(TextView, &view, Path(QStringLiteral("good.txt")));
    console->Msg(QStringLiteral("before"), Qt::black);
    console->OpenConsoleFile(Path(QStringLiteral("missing/bad.txt")));
    console->Msg(QStringLiteral("after"), Qt::black);

    QCOMPARE(helper.Count(), 1);
    QCOMPARE(ReadFile(Path(QStringLiteral("good.console"))), QByteArray("before\n"));
    QCOMPARE(FilesHere(), QStringList{QStringLiteral("good.console")});
}

void TestConsoleFiles::lineFormat_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray head = "plain 100% %1 <b>bold</b>\n"
                            " *** Error:   disk full\n"
                            " ** Warning:   slow read\n";
    const QByteArray debug = "  * Debug:   value 7\n";
    const QByteArray lowLevel = "  * LowLevel:   byte 0x1f\n";
    const QByteArray tail = "\n"
                            " *** Error:   shown in a box\n"
                            "last\n";

    QTest::newRow("level 1, text view") << 1 << int(TextView) << head + tail;
    QTest::newRow("level 1, standard output") << 1 << int(StandardOutput) << head + tail;
    QTest::newRow("level 2: debug") << 2 << int(TextView) << head + debug + tail;
    QTest::newRow("level 3: debug and low-level")
        << 3 << int(StandardOutput) << head + debug + lowLevel + tail;
    QTest::newRow("level 4: neither") << 4 << int(TextView) << head + tail;
    QTest::newRow("level 0: neither") << 0 << int(StandardOutput) << head + tail;
}

// One line per shown message, prefix included, "\n" endings; what is not
// shown is not written, and the progress operations write nothing.
void TestConsoleFiles::lineFormat()
{
    QFETCH(int, level);
    QFETCH(int, channel);
    QFETCH(QByteArray, expected);

    QTextEdit view;
    ModalHelper helper;
    {
        std::optional<StdoutCapture> capture; // keeps the printed messages out of the log
        if (channel == StandardOutput)
            capture.emplace();
        std::unique_ptr<AppConsole> console = MakeConsole(
            static_cast<Channel>(channel), &view, Path(QStringLiteral("format.log")), level);
        console->Msg(QStringLiteral("plain 100% %1 <b>bold</b>"), Qt::red);
        console->ErrorMsg(QStringLiteral("disk full"), false);
        console->WarningMsg(QStringLiteral("slow read"), false);
        console->DebugMsg(QStringLiteral("value 7"));
        console->LowLevelMsg(QStringLiteral("byte 0x1f"));
        console->InitProgressBar(QStringLiteral("Reading"), 3000, false);
        console->UpdateProgressBar(1000);
        console->ClearProgressBar();
        console->Msg(QString(), Qt::black);
        console->ErrorMsg(QStringLiteral("shown in a box"), true);
        console->Msg(QStringLiteral("last"), Qt::blue);
    }
    QCOMPARE(ReadFile(Path(QStringLiteral("format.console"))), expected);
    QCOMPARE(helper.Count(), channel == TextView ? 1 : 0);
}

void TestConsoleFiles::encoding_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    const QString cafe = QStringLiteral("caf") + QChar(0xE9);
    const QString euro = QStringLiteral("5 ") + QChar(0x20AC);
    QTest::newRow("UTF-8, e acute") << QByteArray("UTF-8") << cafe << QByteArray("caf\xC3\xA9");
    QTest::newRow("ISO-8859-1, e acute")
        << QByteArray("ISO-8859-1") << cafe << QByteArray("caf\xE9");
    QTest::newRow("ISO-8859-15, euro sign")
        << QByteArray("ISO-8859-15") << euro << QByteArray("5 \xA4");
    QTest::newRow("UTF-8, euro sign")
        << QByteArray("UTF-8") << euro << QByteArray("5 \xE2\x82\xAC");
}

// The file is written in the locale's 8-bit encoding, whatever it is.
void TestConsoleFiles::encoding()
{
    QFETCH(QByteArray, codec);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    QTextCodec* localeCodec = QTextCodec::codecForName(codec);
    QVERIFY(localeCodec);
    QTextCodec::setCodecForLocale(localeCodec);
    QTextEdit view;
    std::unique_ptr<AppConsole> console
        = MakeConsole(TextView, &view, Path(QStringLiteral("enc.log")));
    console->Msg(text, Qt::black);
    console->ErrorMsg(text, false);
    console.reset();

    QCOMPARE(ReadFile(Path(QStringLiteral("enc.console"))),
        bytes + "\n" + " *** Error:   " + bytes + "\n");
}

void TestConsoleFiles::completeAfterKill_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("length");

    QTest::newRow("one message") << 1 << 40;
    QTest::newRow("3000 short messages") << 3000 << 30;
    QTest::newRow("60 messages of 50000 characters") << 60 << 50000;
}

// A writer killed right after its last message call leaves every line on
// disk, in order.
void TestConsoleFiles::completeAfterKill()
{
    QFETCH(int, count);
    QFETCH(int, length);

    QProcess writer;
    writer.setProgram(QStringLiteral(ORV_KILL_WRITER));
    writer.setArguments(
        {Path(QStringLiteral("killed.log")), QString::number(count), QString::number(length)});
    writer.setStandardOutputFile(QProcess::nullDevice());
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start();
    QVERIFY2(writer.waitForFinished(120000), qPrintable(writer.errorString()));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    QByteArray expected;
    for (int i = 0; i < count; ++i)
        expected += WriterLine(i, length);
    const QByteArray written = ReadFile(Path(QStringLiteral("killed.console")));
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
}

void TestConsoleFiles::writeFailure_data()
{
    QTest::addColumn<qint64>("limit");

    qint64 tenLines = 0;
    for (int i = 0; i < 10; ++i)
        tenLines += WriterLine(i, kLimitLength).size();
    QTest::newRow("limit inside a line: short write") << tenLines + 20;
    QTest::newRow("limit at a line end: failed write") << tenLines;
    QTest::newRow("nothing fits") << qint64(0);
}

// A writer under a file size limit: the file keeps the lines that fit (and
// the part of the next one that fit), the console reports one write error on
// its channel, shows every message and ends normally.
void TestConsoleFiles::writeFailure()
{
    QFETCH(qint64, limit);
    const int count = 40;
    const QString file = Path(QStringLiteral("limited.console"));

    QProcess writer;
    writer.setProgram(QStringLiteral(ORV_LIMIT_WRITER));
    writer.setArguments({Path(QStringLiteral("limited.log")), QString::number(count),
        QString::number(kLimitLength), QString::number(limit)});
    // English system messages; standard output and error are pipes, which
    // the size limit does not touch.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    writer.setProcessEnvironment(environment);
    writer.start();
    QVERIFY2(writer.waitForFinished(60000), qPrintable(writer.errorString()));
    const QByteArray errors = writer.readAllStandardError();
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    QVERIFY2(writer.exitCode() == 0,
        qPrintable(QStringLiteral("exit code %1: %2")
                       .arg(writer.exitCode())
                       .arg(QString::fromLocal8Bit(errors))));

    // The first message that does not fit whole fails; the report follows it.
    const QByteArray report
        = kErrorPrefix.toLatin1() + "error writing file: " + file.toUtf8() + ": File too large\n";
    QByteArray lines;
    QByteArray printed;
    qint64 whole = -1; // the bytes of the lines written whole
    for (int i = 0; i < count; ++i) {
        lines += WriterLine(i, kLimitLength);
        printed += WriterLine(i, kLimitLength);
        if (whole < 0 && lines.size() > limit) {
            whole = lines.size() - WriterLine(i, kLimitLength).size();
            printed += report;
        }
    }
    QVERIFY(whole >= 0 && whole < lines.size() - 1000);
    QCOMPARE(writer.readAllStandardOutput(), printed);

    const QByteArray written = ReadFile(file);
    QVERIFY2(written.size() >= whole && written.size() <= limit,
        qPrintable(QStringLiteral("%1 bytes written").arg(written.size())));
    QVERIFY(written == lines.left(written.size()));
    QCOMPARE(FilesHere(), QStringList{QStringLiteral("limited.console")});
}

CONSOLE_TEST_MAIN(TestConsoleFiles)
#include "test_console_files.moc"
