#include "OrvAboutDlg.h"

#include "OrvApp.h"

OrvAboutDlg::OrvAboutDlg(OrvApp* application)
    : QDialog(application->MainWidget(), Qt::WindowFlags())
    , application(application)
{
    setupUi(this);
    setWindowTitle(application->AppName());
    // One multi-argument arg(): a name that itself contains "%2" stays as
    // it is instead of taking the major version.
    ApplicationTx->setText(
        QStringLiteral("%1 version %2.%3.%4")
            .arg(application->AppName(), QString::number(application->VersionMajor()),
                QString::number(application->VersionMinor()),
                QString::number(application->VersionPatch())));
    UseMarlLiteInterface->setChecked(application->UseLiteInterface());
}

OrvAboutDlg::~OrvAboutDlg() = default;

// The Ok button's clicked() reaches close() first (connected in the form),
// which rejects and hides the dialog; accept() here then turns the result
// into Accepted before exec() returns.
void OrvAboutDlg::on_Ok_clicked()
{
    application->SetUseLiteInterface(UseMarlLiteInterface->isChecked());
    emit DoUpdateRegistry();
    accept();
}

// No confirmation: the dialog stays open and the check box keeps its state.
void OrvAboutDlg::on_ResetRegistry_clicked()
{
    emit DoClearRegistry();
}
