#pragma once

#include <QApplication>
#include <QString>

class AppConsole;
class QWidget;

// The frame's application object: a QApplication that carries the
// product's identity and its console. A product derives from it, fills in
// the identity and creates its windows in Start().
//
// Settings live in the per-user store of the organization "Tessavo Corp"
// and of the executable's base name: no application name is ever set.
class OrvApp : public QApplication {
    Q_OBJECT

public:
    OrvApp(int& argc, char** argv, bool guiEnabled);
    ~OrvApp() override;

    // Called once by main before the event loop. A result below 1 ends the
    // process with that result as its exit status.
    virtual int Start() = 0;

    AppConsole* GetConsole() const { return console; }

    bool GuiEnabled() const { return guiEnabled; }
    QString AppName() const { return appName; }
    int VersionMajor() const { return versionMajor; }
    int VersionMinor() const { return versionMinor; }
    int VersionPatch() const { return versionPatch; }
    // Parent of the about dialog and of the console's boxes and dialogs.
    QWidget* MainWidget() const { return mainWidget; }
    void SetMainWidget(QWidget* widget) { mainWidget = widget; }
    bool UseLiteInterface() const { return useLiteInterface; }
    void SetUseLiteInterface(bool use) { useLiteInterface = use; }

    // Runs the about dialog modally; its update and reset requests reach
    // UpdateRegistry() and ClearRegistry().
    void ShowAbout();

public slots:
    void UpdateRegistry();
    void ClearRegistry();

protected:
    bool guiEnabled;
    QString appName;
    int versionMajor = 0;
    int versionMinor = 0;
    int versionPatch = 0;
    QWidget* mainWidget = nullptr;
    bool useLiteInterface = false;
    AppConsole* console = nullptr;
};
