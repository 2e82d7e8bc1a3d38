#include "ZkMainWindow.h"

#include <QSettings>

namespace {
const char* const kGroup = "MainWindow";
const char* const kGeometry = "Geometry";
} // namespace

ZkMainWindow::ZkMainWindow(ZkDialog* owner, QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , owner(owner)
{
    setupUi(this);
    ReadSettings();
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint);
    VersionTx->setText(QStringLiteral("version %1.%2").arg(7).arg(1));
}

ZkMainWindow::~ZkMainWindow() = default;

void ZkMainWindow::closeEvent(QCloseEvent*)
{
    WriteSettings();
}

// An absent or unusable value leaves the designed size and lets the window
// system place the window.
void ZkMainWindow::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    restoreGeometry(settings.value(kGeometry, QVariant()).toByteArray());
    settings.endGroup();
}

void ZkMainWindow::WriteSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    settings.setValue(kGeometry, saveGeometry());
    settings.endGroup();
}
