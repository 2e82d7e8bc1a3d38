#include "ProbeApp.h"

#include <AppConsole.h>

ProbeApp::ProbeApp(int& argc, char** argv, const QString& consoleName)
    : OrvApp(argc, argv, false)
    , consoleName(consoleName)
{
}

ProbeApp::~ProbeApp()
{
    delete console;
}

int ProbeApp::Start()
{
    appName = QStringLiteral("ORV Probe");
    versionMajor = 1;
    versionMinor = 2;
    versionPatch = 3;
    console = new AppConsole(this, nullptr, consoleName, 1);
    return 1;
}
