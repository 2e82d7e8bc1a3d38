#include "OrvApp.h"

#include <QSettings>

// The base gets Qt's default application flags: its third argument is the
// Qt version the program was built against, not a GUI switch.
OrvApp::OrvApp(int& argc, char** argv, bool guiEnabled)
    : QApplication(argc, argv)
    , guiEnabled(guiEnabled)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tessavo Corp"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tessavo.com"));
}

OrvApp::~OrvApp() = default;

// The only in-memory preference, useLiteInterface, is deliberately not
// stored: every start begins with the full interface.
void OrvApp::UpdateRegistry()
{
}

void OrvApp::ClearRegistry()
{
    QSettings settings;
    settings.clear();
}
