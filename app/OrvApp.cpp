#include "OrvApp.h"

#include "OrvAboutDlg.h"

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

// Empties the store of this organization and this executable only: the
// organization-wide fallback and other products' stores stay as they are.
void OrvApp::ClearRegistry()
{
    QSettings settings;
    settings.clear();
}

void OrvApp::ShowAbout()
{
    OrvAboutDlg dialog(this);
    connect(&dialog, SIGNAL(DoUpdateRegistry()), this, SLOT(UpdateRegistry()));
    connect(&dialog, SIGNAL(DoClearRegistry()), this, SLOT(ClearRegistry()));
    dialog.exec();
}
