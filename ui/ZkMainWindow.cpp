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
    // Flags replaced after the geometry is restored make the window come
    // back shifted by its frame on every run, so they come first.
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint);
    ReadSettings();
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
