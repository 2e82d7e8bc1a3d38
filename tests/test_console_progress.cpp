#include "AppConsole.h"
#include "ConsoleProgress.h"
#include "ConsoleTestApp.h"
#include "ModalHelper.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <functional>
#include <memory>

namespace {

const QString kTitle = QStringLiteral("Flowchart Data Progress Dialog");

QList<QPushButton*> AbortButtons(QProgressDialog* dialog)
{
    QList<QPushButton*> found;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == QLatin1String("Abort"))
            found.append(button);
    return found;
}

// Records the three progress signals and the threads they were emitted on.
struct ProgressSignals {
    explicit ProgressSignals(AppConsole* console)
        : init(console, &AppConsole::initializeProgressBar)
        , update(console, &AppConsole::updateProgressBar)
        , clear(console, &AppConsole::clearProgressBar)
    {
        const auto record = [this] { threads.append(QThread::currentThread()); };
        QObject::connect(
            console, &AppConsole::initializeProgressBar, console, record, Qt::DirectConnection);
        QObject::connect(
            console, &AppConsole::updateProgressBar, console, record, Qt::DirectConnection);
        QObject::connect(
            console, &AppConsole::clearProgressBar, console, record, Qt::DirectConnection);
    }

    QList<int> Updates() const
    {
        QList<int> traces;
        for (const QList<QVariant>& args : update)
            traces.append(args.at(0).toInt());
        return traces;
    }

    QSignalSpy init;
    QSignalSpy update;
    QSignalSpy clear;
    QList<QThread*> threads;
};

// Sends progress from its own thread through the console's queued slots.
class ProgressSender : public QObject {
    Q_OBJECT

signals:
    void Init(QString text, int nTraces);
    void Update(int trace);
    void Clear();
};

class SenderThread : public QThread {
public:
    explicit SenderThread(AppConsole* console)
        : console(console)
    {
    }

protected:
    void run() override
    {
        ProgressSender sender;
        QObject::connect(&sender, SIGNAL(Init(QString, int)), console,
            SLOT(ProcessInitProgressBar(QString, int)));
        QObject::connect(
            &sender, SIGNAL(Update(int)), console, SLOT(ProcessUpdateProgressBar(int)));
        QObject::connect(&sender, SIGNAL(Clear()), console, SLOT(ProcessClearProgressBar()));
        emit sender.Init(QStringLiteral("From a worker"), 9000);
        for (int trace = 0; trace <= 9000; trace += 1000)
            emit sender.Update(trace);
        emit sender.Clear();
    }

private:
    AppConsole* console;
};

} // namespace

class TestConsoleProgress : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void dialogProperties_data();
    void dialogProperties();
    void dialogMovesAtThousands_data();
    void dialogMovesAtThousands();
    void abortPressed_data();
    void abortPressed();
    void abortDuringLongLoop();
    void withoutDialog_data();
    void withoutDialog();
    void clearClosesDialog_data();
    void clearClosesDialog();
    void replacedDialogReleased_data();
    void replacedDialogReleased();
    void destroyedConsoleReleasesDialog();
    void adapterStopsWorkOnAbort();
    void slotsFromAnotherThread_data();
    void slotsFromAnotherThread();

private:
    static std::unique_ptr<AppConsole> MakeConsole()
    {
        return std::make_unique<AppConsole>(ConsoleTestApp::Instance(), nullptr, QString(), 1);
    }
};

void TestConsoleProgress::cleanup()
{
    ConsoleTestApp::Instance()->SetMainWidget(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Removed here so that one leftover does not fail the tests after it.
    const QWidgetList leftBehind = QApplication::topLevelWidgets();
    qDeleteAll(leftBehind);
    QVERIFY2(leftBehind.isEmpty(), "a top-level window was left behind");
}

void TestConsoleProgress::dialogProperties_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("nTraces");
    QTest::addColumn<bool>("withMainWidget");

    QTest::newRow("5000 traces, no parent") << "Reading traces" << 5000 << false;
    QTest::newRow("main widget is the parent") << "Sorting" << 120000 << true;
    QTest::newRow("percent sign kept literally") << "Copy 50% %1 done" << 1000 << false;
    QTest::newRow("empty text") << QString() << 0 << false;
}

void TestConsoleProgress::dialogProperties()
{
    QFETCH(QString, text);
    QFETCH(int, nTraces);
    QFETCH(bool, withMainWidget);

    std::unique_ptr<QWidget> mainWidget(withMainWidget ? new QWidget : nullptr);
    ConsoleTestApp::Instance()->SetMainWidget(mainWidget.get());
    std::unique_ptr<AppConsole> console = MakeConsole();
    ProgressSignals spy(console.get());

    console->InitProgressBar(text, nTraces, true);

    QProgressDialog* dialog = console->ProgressDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), kTitle);
    QCOMPARE(dialog->labelText(), text + QStringLiteral("...") + QString(41, QLatin1Char(' ')));
    QCOMPARE(AbortButtons(dialog).size(), 1);
    QCOMPARE(dialog->minimum(), 0);
    QCOMPARE(dialog->maximum(), nTraces);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->parentWidget(), mainWidget.get());
    QVERIFY(!dialog->isVisible());

    QCOMPARE(spy.init.count(), 1);
    QCOMPARE(spy.init.at(0).at(0).toString(), text);
    QCOMPARE(spy.init.at(0).at(1).toInt(), nTraces);
    QCOMPARE(spy.update.count() + spy.clear.count(), 0);

    console.reset();
}

void TestConsoleProgress::dialogMovesAtThousands_data()
{
    QTest::addColumn<int>("trace");
    QTest::addColumn<bool>("moves");

    QTest::newRow("0 moves") << 0 << true;
    QTest::newRow("999 stays") << 999 << false;
    QTest::newRow("1000 moves") << 1000 << true;
    QTest::newRow("1001 stays") << 1001 << false;
    QTest::newRow("1500 stays") << 1500 << false;
    QTest::newRow("2000 moves") << 2000 << true;
    QTest::newRow("4999 stays") << 4999 << false;
}

// Every call is re-announced; the dialog moves only at whole thousands.
void TestConsoleProgress::dialogMovesAtThousands()
{
    QFETCH(int, trace);
    QFETCH(bool, moves);

    std::unique_ptr<AppConsole> console = MakeConsole();
    console->InitProgressBar(QStringLiteral("Reading"), 5000, true);
    QProgressDialog* dialog = console->ProgressDialog();
    QVERIFY(dialog);
    console->UpdateProgressBar(3000);
    QCOMPARE(dialog->value(), 3000);
    ProgressSignals spy(console.get());

    QVERIFY(console->UpdateProgressBar(trace));

    QCOMPARE(dialog->value(), moves ? trace : 3000);
    QCOMPARE(spy.Updates(), QList<int>{trace});
    QCOMPARE(spy.init.count() + spy.clear.count(), 0);
}

void TestConsoleProgress::abortPressed_data()
{
    QTest::addColumn<QList<int>>("traces"); // reported after Abort was pressed
    QTest::addColumn<QList<int>>("refused"); // those that return false
    QTest::addColumn<bool>("clickWithMouse"); // QTest::mouseClick or click()

    QTest::newRow("next thousand refused")
        << QList<int>{1500, 1999, 2000, 2500} << QList<int>{2000} << true;
    QTest::newRow("a thousand at once") << QList<int>{3000, 3001} << QList<int>{3000} << false;
    QTest::newRow("no thousand, never refused")
        << QList<int>{1001, 1500, 1999} << QList<int>{} << true;
}

// Abort pressed on the real dialog: noticed at the next multiple of 1000,
// which returns false and announces nothing; other counts still return true.
void TestConsoleProgress::abortPressed()
{
    QFETCH(QList<int>, traces);
    QFETCH(QList<int>, refused);
    QFETCH(bool, clickWithMouse);

    std::unique_ptr<AppConsole> console = MakeConsole();
    console->InitProgressBar(QStringLiteral("Reading"), 10000, true);
    QPointer<QProgressDialog> dialog = console->ProgressDialog();
    QVERIFY(dialog);
    QVERIFY(console->UpdateProgressBar(1000));
    dialog->show(); // as it shows itself once the operation lasts
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    const QList<QPushButton*> abort = AbortButtons(dialog);
    QCOMPARE(abort.size(), 1);
    if (clickWithMouse)
        QTest::mouseClick(abort.at(0), Qt::LeftButton);
    else
        abort.at(0)->click();

    ProgressSignals spy(console.get());
    QList<int> announced;
    for (int trace : traces) {
        const bool accepted = console->UpdateProgressBar(trace);
        QCOMPARE(accepted, !refused.contains(trace));
        if (accepted)
            announced.append(trace);
        else
            QVERIFY(!dialog->isVisible());
    }
    QCOMPARE(spy.Updates(), announced);

    console->ClearProgressBar();
    QCOMPARE(spy.clear.count(), 1);
    QVERIFY(!dialog->isVisible());
}

// The real use: a loop on the GUI thread reports progress while the dialog
// shows itself; the user's click on Abort is seen at a multiple of 1000.
void TestConsoleProgress::abortDuringLongLoop()
{
    std::unique_ptr<AppConsole> console = MakeConsole();
    ProgressSignals spy(console.get());
    ModalHelper helper(ModalHelper::ClickButton(QStringLiteral("Abort")));

    const int total = 50000000;
    console->InitProgressBar(QStringLiteral("Stacking"), total, true);
    QElapsedTimer clock;
    clock.start();
    int stoppedAt = -1;
    for (int trace = 0; trace <= total && clock.elapsed() < 20000; trace += 250) {
        if (!console->UpdateProgressBar(trace)) {
            stoppedAt = trace;
            break;
        }
        if (trace % 1000 == 0)
            QThread::msleep(1);
    }

    QVERIFY2(stoppedAt > 0, "the loop was never cancelled");
    QCOMPARE(stoppedAt % 1000, 0);
    QCOMPARE(helper.Count(), 1);
    QCOMPARE(helper.Seen().at(0).title, kTitle);
    QCOMPARE(
        helper.Seen().at(0).text, QStringLiteral("Stacking...") + QString(41, QLatin1Char(' ')));
    const QList<int> updates = spy.Updates();
    QCOMPARE(updates.size(), stoppedAt / 250);
    QCOMPARE(updates.last(), stoppedAt - 250);
    QVERIFY(!console->ProgressDialog()->isVisible());
}

// Long work reporting through the adapter, a trace at a time, stops when Abort is pressed; the
// console saw one start with the work's total and one clear.
void TestConsoleProgress::adapterStopsWorkOnAbort()
{
    std::unique_ptr<AppConsole> console = MakeConsole();
    ProgressSignals spy(console.get());
    ModalHelper helper(ModalHelper::ClickButton(QStringLiteral("Abort")));
    const qint64 total = 50000000;
    qint64 stoppedAt = -1;
    {
        ConsoleProgress progress(console.get(), QStringLiteral("Reading traces"));
        const std::function<bool(qint64, qint64)> report = progress.Callback();
        QElapsedTimer clock;
        clock.start();
        for (qint64 done = 1; done <= total && clock.elapsed() < 20000; ++done) {
            if (!report(done, total)) {
                stoppedAt = done;
                break;
            }
            if (done % 1000 == 0)
                QThread::msleep(1);
        }
        QVERIFY(progress.Cancelled());
        QVERIFY(!report(stoppedAt + 1, total));
        QCOMPARE(spy.clear.count(), 0);
    }
    QVERIFY2(stoppedAt > 0, "the work was never cancelled");
    QCOMPARE(stoppedAt % 1000, qint64(0));
    QCOMPARE(helper.Count(), 1);
    QCOMPARE(spy.init.count(), 1);
    QCOMPARE(spy.init.at(0).at(1).toInt(), int(total));
    QCOMPARE(spy.Updates().size(), int(stoppedAt - 1));
    QCOMPARE(spy.clear.count(), 1);
}

void TestConsoleProgress::withoutDialog_data()
{
    QTest::addColumn<bool>("initFirst");
    QTest::newRow("operation without dialog") << true;
    QTest::newRow("before any InitProgressBar") << false;
}

// No dialog: every update returns true and only the signals appear.
void TestConsoleProgress::withoutDialog()
{
    QFETCH(bool, initFirst);

    std::unique_ptr<AppConsole> console = MakeConsole();
    ProgressSignals spy(console.get());
    if (initFirst)
        console->InitProgressBar(QStringLiteral("Quick"), 100, false);
    const QList<int> traces{0, 50, 100, 1000, 2000};
    for (int trace : traces)
        QVERIFY(console->UpdateProgressBar(trace));
    console->ClearProgressBar();

    QVERIFY(!console->ProgressDialog());
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(spy.init.count(), initFirst ? 1 : 0);
    QCOMPARE(spy.Updates(), traces);
    QCOMPARE(spy.clear.count(), 1);
}

void TestConsoleProgress::clearClosesDialog_data()
{
    QTest::addColumn<int>("nTraces");
    QTest::addColumn<int>("lastUpdate");
    QTest::addColumn<bool>("shown");

    QTest::newRow("5000 traces, shown") << 5000 << 3000 << true;
    QTest::newRow("5000 traces, not shown yet") << 5000 << 3000 << false;
    QTest::newRow("5000 traces, no update") << 5000 << -1 << false;
    QTest::newRow("0 traces, shown") << 0 << -1 << true;
    QTest::newRow("0 traces, not shown yet") << 0 << 0 << false;
}

// After ClearProgressBar the dialog is hidden and stays hidden: it must not
// show itself later, after its minimum duration.
void TestConsoleProgress::clearClosesDialog()
{
    QFETCH(int, nTraces);
    QFETCH(int, lastUpdate);
    QFETCH(bool, shown);

    std::unique_ptr<AppConsole> console = MakeConsole();
    ProgressSignals spy(console.get());
    console->InitProgressBar(QStringLiteral("Writing"), nTraces, true);
    QPointer<QProgressDialog> dialog = console->ProgressDialog();
    QVERIFY(dialog);
    dialog->setMinimumDuration(50); // shorter wait for its self-showing
    if (lastUpdate >= 0)
        QVERIFY(console->UpdateProgressBar(lastUpdate));
    if (shown) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
    }

    console->ClearProgressBar();
    QVERIFY(!dialog->isVisible());
    QTest::qWait(300);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(spy.clear.count(), 1);
}

void TestConsoleProgress::replacedDialogReleased_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("nextHasDialog");

    QTest::newRow("shown, replaced by a dialog") << true << true;
    QTest::newRow("hidden, replaced by a dialog") << false << true;
    QTest::newRow("shown, next operation without dialog") << true << false;
}

void TestConsoleProgress::replacedDialogReleased()
{
    QFETCH(bool, shown);
    QFETCH(bool, nextHasDialog);

    std::unique_ptr<AppConsole> console = MakeConsole();
    console->InitProgressBar(QStringLiteral("First"), 5000, true);
    QPointer<QProgressDialog> first = console->ProgressDialog();
    QVERIFY(first);
    if (shown) {
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first));
    }

    ProgressSignals spy(console.get());
    console->InitProgressBar(QStringLiteral("Second"), 7000, nextHasDialog);
    QCOMPARE(spy.init.count(), 1);
    QCOMPARE(spy.init.at(0).at(0).toString(), QStringLiteral("Second"));
    QVERIFY(first);
    QVERIFY(!first->isVisible());

    QProgressDialog* second = console->ProgressDialog();
    QCOMPARE(second != nullptr, nextHasDialog);
    QVERIFY(second != first.data());
    if (second)
        QCOMPARE(second->maximum(), 7000);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
}

void TestConsoleProgress::destroyedConsoleReleasesDialog()
{
    std::unique_ptr<AppConsole> console = MakeConsole();
    console->InitProgressBar(QStringLiteral("Left open"), 5000, true);
    QPointer<QProgressDialog> dialog = console->ProgressDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    console.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!dialog);
}

void TestConsoleProgress::slotsFromAnotherThread_data()
{
    QTest::addColumn<bool>("withDialog");
    QTest::newRow("a direct operation's dialog is left alone") << true;
    QTest::newRow("no dialog is created") << false;
}

// The queued Process... slots only re-announce: same signals, on the GUI
// thread, with no dialog created, moved or closed.
void TestConsoleProgress::slotsFromAnotherThread()
{
    QFETCH(bool, withDialog);

    std::unique_ptr<AppConsole> console = MakeConsole();
    QPointer<QProgressDialog> dialog;
    if (withDialog) {
        console->InitProgressBar(QStringLiteral("On the GUI thread"), 5000, true);
        QVERIFY(console->UpdateProgressBar(2000));
        dialog = console->ProgressDialog();
        QVERIFY(dialog);
    }
    ProgressSignals spy(console.get());

    SenderThread thread(console.get());
    thread.start();
    QVERIFY(thread.wait(10000));
    QTRY_COMPARE(spy.clear.count(), 1);

    QCOMPARE(spy.init.count(), 1);
    QCOMPARE(spy.init.at(0).at(0).toString(), QStringLiteral("From a worker"));
    QCOMPARE(spy.init.at(0).at(1).toInt(), 9000);
    QCOMPARE(spy.Updates(), (QList<int>{0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}));
    QCOMPARE(spy.threads.size(), 12);
    for (QThread* emitter : spy.threads)
        QCOMPARE(emitter, QCoreApplication::instance()->thread());

    QCOMPARE(console->ProgressDialog(), dialog.data());
    if (withDialog) {
        QCOMPARE(dialog->value(), 2000);
        QCOMPARE(dialog->maximum(), 5000);
        QVERIFY(!dialog->isVisible());
    } else {
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }
}

CONSOLE_TEST_MAIN(TestConsoleProgress)
#include "test_console_progress.moc"
