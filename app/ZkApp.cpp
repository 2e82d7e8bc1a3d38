#include "ZkApp.h"

#include "AppConsole.h"
#include "ZkDialog.h"
#include "ZkMainWindow.h"

ZkApp::ZkApp(int& argc, char** argv, bool guiEnabled)
    : OrvApp(argc, argv, guiEnabled)
{
}

// What Start created lives for the whole run, the console through
// shutdown included; it is released here, after the event loop, newest
// first.
ZkApp::~ZkApp()
{
    delete mainWindow;
    mainWindow = nullptr;
    delete console;
    console = nullptr;
    delete dialog;
    dialog = nullptr;
}

int ZkApp::Start()
{
    appName = QStringLiteral("ORV Vantor");
    versionMajor = 7;
    versionMinor = 1;
    versionPatch = 0;

    dialog = new ZkDialog(this, nullptr);
    console = new AppConsole(this, nullptr, QString(), 1);
    dialog->SetConsole(console);
    mainWindow = new ZkMainWindow(dialog, nullptr, Qt::WindowFlags());
    mainWindow->show();
    return 1;
}
