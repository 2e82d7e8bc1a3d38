#pragma once

#include <QApplication>
#include <QString>

class AppConsole;
class QWidget;

/// @file
/// The frame's application class.

/// The frame's application object: a QApplication that carries the
/// product's identity and its console. A product derives from it, fills in
/// the identity and creates its console and windows in Start().
///
/// Settings live in the per-user store of the organization "Tessavo Corp"
/// and of the executable's base name: no application name is ever set.
///
/// The frame deletes nothing that Start() creates: the product's destructor
/// deletes its console and windows.
class OrvApp : public QApplication {
    Q_OBJECT

public:
    /// A QApplication (always, whatever @p guiEnabled says) with the
    /// organization "Tessavo Corp", domain tessavo.com. @p guiEnabled only
    /// tells the console where to show messages when it has no text view:
    /// true, a modal box each; false, standard output.
    OrvApp(int& argc, char** argv, bool guiEnabled);
    ~OrvApp() override;

    /// Called once by main before the event loop. A result below 1 ends the
    /// process with that result as its exit status; 1 or more runs exec().
    virtual int Start() = 0;

    /// The console Start() created, or null before.
    AppConsole* GetConsole() const { return console; }

    /// The @p guiEnabled the application was built with.
    bool GuiEnabled() const { return guiEnabled; }
    /// The product's name, as Start() set it.
    QString AppName() const { return appName; }
    /// The product's major version, as Start() set it.
    int VersionMajor() const { return versionMajor; }
    /// The product's minor version, as Start() set it.
    int VersionMinor() const { return versionMinor; }
    /// The product's patch version, as Start() set it.
    int VersionPatch() const { return versionPatch; }
    /// Parent of the about dialog and of the console's boxes and dialogs.
    QWidget* MainWidget() const { return mainWidget; }
    /// Sets the parent of the about dialog and of the boxes and dialogs of
    /// consoles created afterwards; the application does not own it.
    void SetMainWidget(QWidget* widget) { mainWidget = widget; }
    /// The Lite-interface preference of the about dialog; false at start.
    bool UseLiteInterface() const { return useLiteInterface; }
    /// Sets the Lite-interface preference (kept in memory only).
    void SetUseLiteInterface(bool use) { useLiteInterface = use; }

    /// Runs the about dialog modally; its update and reset requests reach
    /// UpdateRegistry() and ClearRegistry().
    void ShowAbout();

public slots:
    /// The about dialog's OK: stores nothing (the Lite-interface preference
    /// is deliberately not kept from one run to the next).
    void UpdateRegistry();
    /// The about dialog's reset request: empties this product's settings
    /// store; other products' stores and the organization-wide one stay.
    void ClearRegistry();

protected:
    /// Set by the constructor; read by consoles created afterwards.
    bool guiEnabled;
    /// The product's name, filled in by Start() before the console is made:
    /// the console and the about dialog take it as their title.
    QString appName;
    /// Major version, filled in by Start().
    int versionMajor = 0;
    /// Minor version, filled in by Start().
    int versionMinor = 0;
    /// Patch version, filled in by Start().
    int versionPatch = 0;
    /// See MainWidget().
    QWidget* mainWidget = nullptr;
    /// See UseLiteInterface().
    bool useLiteInterface = false;
    /// The console, created by Start() and deleted by the product's destructor.
    AppConsole* console = nullptr;
};
