// A stand-in for the application's own classes, linked with the real
// app/main.cpp: Start returns the number given as the first argument, so a
// test can watch main's handling of every start result from outside.
//
// It prints "start" when Start runs, "loop" if the event loop ever delivers
// an event and "destroyed" when the application object is destroyed. For a
// result of 1 or more it shows a window that closes itself from the loop.

#include "ZkApp.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

void Say(const char* word)
{
    std::printf("%s\n", word);
    std::fflush(stdout);
}

QWidget* window = nullptr;

} // namespace

ZkApp::ZkApp(int& argc, char** argv, bool guiEnabled)
    : OrvApp(argc, argv, guiEnabled)
{
}

ZkApp::~ZkApp()
{
    delete window;
    Say("destroyed");
}

int ZkApp::Start()
{
    Say("start");
    const QStringList args = QCoreApplication::arguments();
    const int result = args.size() > 1 ? args.at(1).toInt() : 1;
    QTimer::singleShot(0, [] { Say("loop"); });
    if (result >= 1) {
        window = new QWidget;
        window->show();
        QTimer::singleShot(0, [] { window->close(); });
    }
    return result;
}
