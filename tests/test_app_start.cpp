// Start-up and shutdown of the application: identity, the objects Start
// creates and their order, main's handling of the start result (through a
// child process that runs the real main) and the event loop ending when the
// main window closes.

#include "AppConsole.h"
#include "ModalHelper.h"
#include "ZkApp.h"
#include "ZkDialog.h"
#include "ZkMainWindow.h"

#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

#include <vector>

// Qt's hook table for tools that follow object creation; the index of the
// "object added" callback is part of its published layout.
extern quintptr Q_DECL_IMPORT qtHookData[];

namespace {

constexpr int kHookDataSize = 1;
constexpr int kAddQObjectHook = 3;

struct Created {
    QObject* object;
    bool consoleExisted;
};

ZkApp* theApp = nullptr;
std::vector<Created> created;

void RecordCreation(QObject* object)
{
    created.push_back({object, theApp->GetConsole() != nullptr});
}

// The last record for an address: temporaries may have used it before.
int CreationIndex(const QObject* object)
{
    for (int i = int(created.size()) - 1; i >= 0; --i) {
        if (created[size_t(i)].object == object)
            return i;
    }
    return -1;
}

QStringList messages;
QtMessageHandler previousHandler = nullptr;

void RecordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    messages.append(text);
    if (previousHandler)
        previousHandler(type, context, text);
}

QStringList destroyedOrder;

} // namespace

class TestAppStart : public QObject {
    Q_OBJECT

public:
    explicit TestAppStart(const QString& storePath)
        : storePath(storePath)
    {
    }

private slots:
    // These run in declaration order: the first two look at the application
    // before Start, the rest after it.
    void identityBeforeStart();
    void defaultApplicationFlags();
    void startCreatesContextConsoleWindow();
    void stateAfterStart();
    void closingEndsEventLoop_data();
    void closingEndsEventLoop();
    void startResultEndsProcess_data();
    void startResultEndsProcess();
    void cleanupTestCase();

private:
    QString storePath;
};

void TestAppStart::identityBeforeStart()
{
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessavo Corp"));
    QCOMPARE(QCoreApplication::organizationDomain(), QStringLiteral("tessavo.com"));
    // No application name or version is ever set: the store is named after
    // the executable.
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("test_app_start"));
    QVERIFY(QCoreApplication::applicationVersion().isEmpty());
    QCOMPARE(
        QSettings().fileName(), storePath + QStringLiteral("/Tessavo Corp/test_app_start.conf"));

    QVERIFY(theApp->AppName().isEmpty());
    QCOMPARE(theApp->VersionMajor(), 0);
    QCOMPARE(theApp->VersionMinor(), 0);
    QCOMPARE(theApp->VersionPatch(), 0);
    QVERIFY(theApp->GuiEnabled());
    QVERIFY(!theApp->MainWidget());
    QVERIFY(!theApp->UseLiteInterface());
    QVERIFY(!theApp->GetConsole());
    QVERIFY(!theApp->Dialog());
    QVERIFY(!theApp->MainWindow());
}

// QApplication's third argument is the Qt version the program was built
// against; a bool there claims version 0.0.1 and turns on compatibility
// paths. Qt keeps the value in an exported private variable.
void TestAppStart::defaultApplicationFlags()
{
    const auto* compiledVersion = static_cast<const int*>(
        dlsym(RTLD_DEFAULT, "_ZN23QCoreApplicationPrivate19app_compile_versionE"));
    if (!compiledVersion)
        QSKIP("this Qt build does not export the application's compile version");
    QCOMPARE(*compiledVersion & 0xffffff, QT_VERSION);
}

void TestAppStart::startCreatesContextConsoleWindow()
{
    QVERIFY2(qtHookData[kHookDataSize] > kAddQObjectHook, "Qt's hook table has no creation hook");
    const quintptr previousHook = qtHookData[kAddQObjectHook];
    qtHookData[kAddQObjectHook] = reinterpret_cast<quintptr>(&RecordCreation);
    messages.clear();
    previousHandler = qInstallMessageHandler(RecordMessage);

    const int started = theApp->Start();
    // main's own connection, made right after Start.
    const bool connected
        = QObject::connect(theApp, SIGNAL(lastWindowClosed()), theApp, SLOT(quit()));

    qInstallMessageHandler(previousHandler);
    qtHookData[kAddQObjectHook] = previousHook;

    QCOMPARE(started, 1);
    QVERIFY(connected);
    for (const QString& message : qAsConst(messages)) {
        QVERIFY2(!message.contains(QStringLiteral("connect"), Qt::CaseInsensitive)
                && !message.contains(QStringLiteral("slot"), Qt::CaseInsensitive)
                && !message.contains(QStringLiteral("signal"), Qt::CaseInsensitive),
            qPrintable(message));
    }

    AppConsole* console = theApp->GetConsole();
    QVERIFY(console);
    QVERIFY(theApp->Dialog());
    QVERIFY(theApp->MainWindow());

    const int dialogAt = CreationIndex(theApp->Dialog());
    const int consoleAt = CreationIndex(console);
    const int windowAt = CreationIndex(theApp->MainWindow());
    QVERIFY(dialogAt >= 0 && consoleAt >= 0 && windowAt >= 0);
    QVERIFY2(dialogAt < consoleAt, "the dialog context comes before the console");
    QVERIFY2(consoleAt < windowAt, "the console comes before the main window");
    QVERIFY2(!created[size_t(dialogAt)].consoleExisted,
        "the dialog context is built while the console is still null");
    QVERIFY(created[size_t(windowAt)].consoleExisted);

    QObject::connect(theApp->MainWindow(), &QObject::destroyed,
        [] { destroyedOrder << QStringLiteral("main window"); });
    QObject::connect(
        console, &QObject::destroyed, [] { destroyedOrder << QStringLiteral("console"); });
    QObject::connect(theApp->Dialog(), &QObject::destroyed,
        [] { destroyedOrder << QStringLiteral("dialog context"); });
}

void TestAppStart::stateAfterStart()
{
    QVERIFY(theApp->GetConsole());

    QCOMPARE(theApp->AppName(), QStringLiteral("ORV Vantor"));
    QCOMPARE(theApp->VersionMajor(), 7);
    QCOMPARE(theApp->VersionMinor(), 1);
    QCOMPARE(theApp->VersionPatch(), 0);
    QVERIFY(!theApp->MainWidget());

    ZkDialog* dialog = theApp->Dialog();
    QCOMPARE(dialog->Console(), theApp->GetConsole());
    QCOMPARE(dialog->Application(), static_cast<OrvApp*>(theApp));
    QVERIFY(!dialog->parentWidget());
    QVERIFY(!dialog->isVisible());

    ZkMainWindow* window = theApp->MainWindow();
    QCOMPARE(window->Owner(), dialog);
    QVERIFY(!window->parentWidget());
    QVERIFY(window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));

    AppConsole* console = theApp->GetConsole();
    QCOMPARE(console->DebugLevel(), 1);
    QVERIFY(!console->HasOpenConsoleFile());
    QVERIFY(console->ConsoleFileName().isEmpty());

    // No text view and the GUI flag set: a message becomes an information
    // box titled with the display name. Debug messages stay silent at
    // level 1.
    ModalHelper modals;
    console->Msg(QStringLiteral("hello"), Qt::black);
    console->DebugMsg(QStringLiteral("not shown"));
    QCOMPARE(modals.Count(), 1);
    QCOMPARE(modals.Seen().at(0).icon, int(QMessageBox::Information));
    QCOMPARE(modals.Seen().at(0).title, QStringLiteral("ORV Vantor"));
    QCOMPARE(modals.Seen().at(0).text, QStringLiteral("hello"));
}

void TestAppStart::closingEndsEventLoop_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close button clicked") << "button";
    QTest::newRow("Exit action triggered") << "exit";
    QTest::newRow("window closed by the window system") << "close";
}

void TestAppStart::closingEndsEventLoop()
{
    QFETCH(QString, how);
    ZkMainWindow* window = theApp->MainWindow();
    QPointer<ZkMainWindow> windowGuard(window);
    QPointer<AppConsole> consoleGuard(theApp->GetConsole());
    if (!window->isVisible())
        window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QTimer::singleShot(0, window, [window, how] {
        if (how == QLatin1String("button"))
            QTest::mouseClick(window->Quit, Qt::LeftButton);
        else if (how == QLatin1String("exit"))
            window->MenuExit->trigger();
        else
            window->close();
    });
    QTimer stuck;
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    stuck.start(10000);

    const int status = QApplication::exec();
    stuck.stop();

    QCOMPARE(status, 0);
    QVERIFY(!window->isVisible());
    // Closing releases nothing: the window and the console live on.
    QVERIFY(windowGuard);
    QVERIFY(consoleGuard);
    QCOMPARE(theApp->GetConsole(), consoleGuard.data());
}

void TestAppStart::startResultEndsProcess_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<bool>("loopRuns");

    // The exit status is the result modulo 256.
    QTest::newRow("Start returns 0 -> status 0, no loop") << "0" << 0 << false;
    QTest::newRow("Start returns -1 -> status 255, no loop") << "-1" << 255 << false;
    QTest::newRow("Start returns -7 -> status 249, no loop") << "-7" << 249 << false;
    QTest::newRow("Start returns 1 -> loop until the window closes, status 0") << "1" << 0 << true;
    QTest::newRow("Start returns 5 -> loop until the window closes, status 0") << "5" << 0 << true;
}

void TestAppStart::startResultEndsProcess()
{
    QFETCH(QString, result);
    QFETCH(int, exitStatus);
    QFETCH(bool, loopRuns);

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), storePath);
    probe.setProcessEnvironment(env);
    probe.setProcessChannelMode(QProcess::SeparateChannels);
    probe.start(QStringLiteral(START_PROBE), {result});
    QVERIFY2(probe.waitForFinished(60000), "the probe did not end");

    const QByteArray err = probe.readAllStandardError();
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY2(probe.exitCode() == exitStatus, err.constData());

    // When the loop never runs the application object is not destroyed
    // either: the process ends from inside main.
    const QByteArray expected = loopRuns ? "start\nloop\ndestroyed\n" : "start\n";
    QCOMPARE(probe.readAllStandardOutput(), expected);
}

void TestAppStart::cleanupTestCase()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), widget->metaObject()->className());
}

int main(int argc, char** argv)
{
    // The settings store points at a scratch folder before anything opens it.
    QTemporaryDir store;
    if (!store.isValid())
        return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());

    int status = 0;
    {
        ZkApp app(argc, argv, true);
        theApp = &app;
        TestAppStart test(store.path());
        status = QTest::qExec(&test, argc, argv);
        theApp = nullptr;
    }

    // The objects Start made are released with the application object,
    // newest first.
    const QStringList expected = {
        QStringLiteral("main window"), QStringLiteral("console"), QStringLiteral("dialog context")};
    if (destroyedOrder != expected) {
        std::fprintf(stderr, "FAIL!  : release order at exit: %s\n",
            qPrintable(destroyedOrder.join(QStringLiteral(", "))));
        status = 1;
    }
    return status;
}

#include "test_app_start.moc"
