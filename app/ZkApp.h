#pragma once

#include "OrvApp.h"

class ZkDialog;
class ZkMainWindow;

// ORV Vantor's application object.
class ZkApp : public OrvApp {
public:
    ZkApp(int& argc, char** argv, bool guiEnabled);
    ~ZkApp() override;

    // Sets the identity, then creates the dialog context, the console and
    // the main window, in that order, and shows the window. Returns 1.
    int Start() override;

    ZkMainWindow* MainWindow() const { return mainWindow; }
    ZkDialog* Dialog() const { return dialog; }

private:
    ZkMainWindow* mainWindow = nullptr;
    ZkDialog* dialog = nullptr;
};
