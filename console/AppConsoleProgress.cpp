#include "AppConsole.h"

#include <QProgressDialog>

namespace {

// Sets the dialog to the total, which resets and hides it. QProgressDialog
// treats a value equal to its minimum as a (re)start and arms its show
// timer instead, so with a total of 0 (or one outside the range) the dialog
// would appear a few seconds later and stay; the explicit reset covers that.
void FinishDialog(QProgressDialog* dialog, int totalTraces)
{
    dialog->setValue(totalTraces);
    dialog->reset();
}

} // namespace

void AppConsole::InitProgressBar(const QString& text, int nTraces, bool showDialog)
{
    totalTraces = nTraces;
    showProgressDialog = showDialog;
    if (progressDialog) {
        progressDialog->close();
        progressDialog->deleteLater();
        progressDialog = nullptr;
    }
    if (showDialog) {
        const QString label = QStringLiteral("%1...").arg(text) + QString(41, QLatin1Char(' '));
        progressDialog = new QProgressDialog(
            label, QStringLiteral("Abort"), 0, nTraces, parentWidget, Qt::WindowFlags());
        progressDialog->setWindowModality(Qt::WindowModal);
        progressDialog->setWindowTitle(QStringLiteral("Flowchart Data Progress Dialog"));
    }
    emit initializeProgressBar(text, nTraces);
}

// The dialog moves, and a cancellation is noticed, only at whole thousands.
bool AppConsole::UpdateProgressBar(int trace)
{
    if (showProgressDialog && progressDialog && trace % 1000 == 0) {
        progressDialog->setValue(trace);
        if (progressDialog->wasCanceled()) {
            FinishDialog(progressDialog, totalTraces);
            return false;
        }
    }
    emit updateProgressBar(trace);
    return true;
}

void AppConsole::ClearProgressBar()
{
    if (showProgressDialog && progressDialog)
        FinishDialog(progressDialog, totalTraces);
    emit clearProgressBar();
}

void AppConsole::ReleaseProgressDialog()
{
    delete progressDialog;
    progressDialog = nullptr;
}
