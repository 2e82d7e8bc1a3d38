#pragma once

#include "ui_ZkMainWindowUi.h"

#include <QMainWindow>

class ZkDialog;

// ORV Vantor's fixed-size main window. It restores its geometry from the
// settings store when built and saves it on every close event.
class ZkMainWindow : public QMainWindow, public Ui::ZkMainWindowUi {
    Q_OBJECT

public:
    ZkMainWindow(ZkDialog* owner, QWidget* parent, Qt::WindowFlags flags);
    ~ZkMainWindow() override;

    ZkDialog* Owner() const { return owner; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ReadSettings();
    void WriteSettings();

    ZkDialog* owner;
};
