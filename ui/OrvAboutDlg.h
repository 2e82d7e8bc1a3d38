#pragma once

#include "ui_OrvAboutDlgUi.h"

#include <QDialog>

class OrvApp;

/// @file
/// The frame's about dialog.

/// The frame's about dialog: the application's name and version, the
/// copyright line, the Lite-interface preference and a request to reset the
/// stored settings. It keeps no state of its own: the preference is read
/// from the application when the dialog is built and written back on OK.
class OrvAboutDlg : public QDialog, public Ui::OrvAboutDlgUi {
    Q_OBJECT

public:
    /// The dialog for @p application, over its main widget, titled with its
    /// name and showing "<name> version <major>.<minor>.<patch>".
    explicit OrvAboutDlg(OrvApp* application);
    ~OrvAboutDlg() override;

signals:
    /// OK was clicked: the Lite-interface preference is back in the application.
    void DoUpdateRegistry();
    /// The reset button was clicked (no confirmation; the dialog stays open).
    void DoClearRegistry();

private slots:
    void on_Ok_clicked();
    void on_ResetRegistry_clicked();

private:
    OrvApp* application;
};
