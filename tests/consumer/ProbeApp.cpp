#include "ProbeApp.h"

#include "ProbeChecks.h"
#include "ProbeWorker.h"

#include <AppConsole.h>

#include <QThread>
#include <QTimer>

ProbeApp::ProbeApp(int& argc, char** argv, const QString& consoleName)
    : OrvApp(argc, argv, false)
    , consoleName(consoleName)
{
}

// The frame deletes nothing that Start() made.
ProbeApp::~ProbeApp()
{
    delete progress;
    delete console;
}

int ProbeApp::Start()
{
    // The identity first: the console takes the name as the title of its boxes.
    appName = QStringLiteral("ORV Probe");
    versionMajor = 1;
    versionMinor = 2;
    versionPatch = 3;
    // No text view and guiEnabled false: messages go to standard output, and
    // to the console file named after consoleName. Debug level 2 shows
    // DebugMsg but not LowLevelMsg.
    console = new AppConsole(this, nullptr, consoleName, 2);
    progress = new ProgressRecord(console);

    console->Msg(QStringLiteral("%1 %2.%3.%4 started")
                     .arg(AppName())
                     .arg(VersionMajor())
                     .arg(VersionMinor())
                     .arg(VersionPatch()),
        Qt::black);
    console->DebugMsg(QStringLiteral("debug level %1").arg(console->DebugLevel()));
    console->LowLevelMsg(QStringLiteral("not shown below debug level 3"));

    // The work starts once main runs the event loop.
    QTimer::singleShot(0, this, &ProbeApp::RunChecks);
    return 1;
}

void ProbeApp::RunChecks()
{
    CheckVocabulary(console);
    CheckAboutDialog(this);

    // A progress run without a dialog: no cancellation, and the console's
    // signals are its only trace.
    const int nTraces = 2500;
    progress->Reset();
    console->InitProgressBar(QStringLiteral("Checking traces"), nTraces, false);
    bool cancelled = false;
    for (int trace = 1; trace <= nTraces && !cancelled; ++trace)
        cancelled = !console->UpdateProgressBar(trace);
    console->ClearProgressBar();
    Report(console,
        !cancelled
            && progress->Summary()
                == QStringLiteral(
                    "Checking traces: 2500 traces, 2500 updates, last 2500, cleared 1"),
        QStringLiteral("progress: ") + progress->Summary());

    RunWorker();
}

void ProbeApp::RunWorker()
{
    auto* worker = new ProbeWorker;
    // The slots are private: they are reached by name, queued to this thread.
    connect(worker, SIGNAL(Message(QString, int, QColor)), console,
        SLOT(ProcessThreadMsg(QString, int, QColor)), Qt::QueuedConnection);
    connect(worker, SIGNAL(InitProgress(QString, int)), console,
        SLOT(ProcessInitProgressBar(QString, int)), Qt::QueuedConnection);
    connect(worker, SIGNAL(Progress(int)), console, SLOT(ProcessUpdateProgressBar(int)),
        Qt::QueuedConnection);
    connect(worker, SIGNAL(ClearProgress()), console, SLOT(ProcessClearProgressBar()),
        Qt::QueuedConnection);

    progress->Reset();
    QThread* thread = QThread::create([worker] { worker->Run(2000); });
    // finished() arrives after everything the worker emitted.
    connect(thread, &QThread::finished, this, [this, thread, worker] {
        thread->wait();
        delete thread;
        delete worker;
        Finish();
    });
    thread->start();
}

void ProbeApp::Finish()
{
    Report(console,
        progress->Summary()
            == QStringLiteral("Worker traces: 2000 traces, 2 updates, last 2000, cleared 1"),
        QStringLiteral("progress from the worker: ") + progress->Summary());
    Report(console, console->HasOpenConsoleFile(),
        QStringLiteral("console file ") + console->ConsoleFileName());
    console->Msg(Failures() == 0 ? QStringLiteral("all checks passed")
                                 : QStringLiteral("%1 checks failed").arg(Failures()),
        Qt::black);
    exit(Failures() == 0 ? 0 : 1);
}
