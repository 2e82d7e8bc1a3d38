#pragma once

#include <OrvApp.h>

class LpMainWindow;

// ORV Loupe's application object.
class LpApp : public OrvApp {
public:
    LpApp(int& argc, char** argv);
    ~LpApp() override;

    // Sets the identity, reads the command line, then creates the main window and the console
    // that writes into it, shows the window and queues the opening of the file named on the
    // command line. Returns 1; 0 after --help or --version; -1 on a bad command line.
    int Start() override;

    LpMainWindow* MainWindow() const { return window; }

private:
    LpMainWindow* window = nullptr;
};
