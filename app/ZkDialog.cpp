#include "ZkDialog.h"

#include "OrvApp.h"

ZkDialog::ZkDialog(OrvApp* application, QWidget* parent)
    : QDialog(parent)
    , application(application)
    , console(application->GetConsole())
{
}

ZkDialog::~ZkDialog() = default;
