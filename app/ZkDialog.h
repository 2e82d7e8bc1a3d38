#pragma once

#include <QDialog>

class AppConsole;
class OrvApp;

// Never shown: carries the application object and its console to the main
// window, which is built with it as its owner. Owns neither pointer.
class ZkDialog : public QDialog {
public:
    ZkDialog(OrvApp* application, QWidget* parent);
    ~ZkDialog() override;

    OrvApp* Application() const { return application; }
    AppConsole* Console() const { return console; }
    void SetConsole(AppConsole* appConsole) { console = appConsole; }

private:
    OrvApp* application;
    AppConsole* console;
};
