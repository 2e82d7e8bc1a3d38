#pragma once

#include "OrvConsole.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class OrvApp;
class QFile;
class QTextEdit;
class QWidget;

/// @file
/// The frame's console.

/// The frame's console. Each message goes to exactly one display channel
/// (the text view when there is one, else a modal information box in a
/// graphical application, else standard output) and, while a console file
/// is open, to that file as one flushed line. The first write to the file
/// that fails closes it and is reported as an error message with a box.
///
/// Code on other threads connects its own signals to the private
/// Process... slots; Qt queues the calls to the GUI thread:
///
///     ProcessThreadMsg(QString message, int type, QColor color)  a message of a ConsoleMsgType
///     ProcessThreadDlgMsg(QString message, int type)  MsgWarning or MsgError only, no box
///     ProcessThreadStepDlgMsg(QString step, QString message)  a modal "Parameter error" box
///     ProcessThreadMsgMode(bool mode)  text view: each message replaces the last one
///     ProcessInitProgressBar(QString text, int nTraces)  emits initializeProgressBar
///     ProcessUpdateProgressBar(int trace)  emits updateProgressBar
///     ProcessClearProgressBar()  emits clearProgressBar
///
/// The progress slots only pass the calls on to the signals: they do not
/// move the progress dialog.
class AppConsole : public QObject, public OrvConsole {
    Q_OBJECT

public:
    /// A console for @p application, which has its identity and main widget
    /// by now: the title of the console's boxes is the application's name
    /// and their parent its main widget, both as they are at this call.
    /// @p textEdit: the text view (not owned), or null. @p fileName: a
    /// console file is opened for it at once unless it is empty.
    /// @p debugLevel: 2 shows DebugMsg, 3 DebugMsg and LowLevelMsg, any
    /// other value neither.
    AppConsole(OrvApp* application, QTextEdit* textEdit, QString fileName, int debugLevel);
    ~AppConsole() override;

    /// Shows @p text on the console's one display channel, in @p color in
    /// the text view, and writes it to the console file. In a graphical
    /// application without a text view the box it shows is modal: the
    /// call returns when the user closes it.
    void Msg(const QString& text, const QColor& color) override;
    /// As OrvConsole::ErrorMsg; the extra box (title "Error") is shown only
    /// with a text view.
    void ErrorMsg(const QString& text, bool showBox) override;
    /// As OrvConsole::WarningMsg; the extra box (title "Warning") is shown
    /// only with a text view.
    void WarningMsg(const QString& text, bool showBox) override;
    void DebugMsg(const QString& text) override;
    void LowLevelMsg(const QString& text) override;
    /// Emits initializeProgressBar(). With @p showDialog, also opens a
    /// window-modal progress dialog (label "<text>...", button "Abort")
    /// over the application's main widget; it appears once the run has
    /// taken a few seconds.
    void InitProgressBar(const QString& text, int nTraces, bool showDialog) override;
    /// Emits updateProgressBar() and returns true; the dialog moves, and a
    /// cancellation is noticed, at whole thousands of @p trace only. After
    /// a cancellation it closes the dialog and returns false without
    /// emitting. Without a dialog it never returns false.
    bool UpdateProgressBar(int trace) override;
    /// Closes the dialog, if any, and emits clearProgressBar().
    void ClearProgressBar() override;

    /// Opens the console file for @p name: "<name without extension>.console",
    /// truncated on open. An empty name does nothing; a file that cannot be
    /// opened is reported as an error message.
    void OpenConsoleFile(const QString& name);
    /// Finishes the current file (removing it if it stayed empty) and starts
    /// "<folder>/Consoles/<flow>_<hh mm ss ddd MMMM d yyyy>.console".
    void NewConsole(const QString& flowName);
    /// Closes the console file; messages go to the display channel only.
    void CloseConsoleFile();

    /// The console file's name (kept after the file is closed); empty if
    /// none was ever opened.
    QString ConsoleFileName() const { return consoleFileName; }
    /// Whether messages are being written to a console file.
    bool HasOpenConsoleFile() const { return consoleFile != nullptr; }
    /// The debug level given to the constructor.
    int DebugLevel() const { return debugLevel; }
    /// The progress dialog of the current run, or null.
    QProgressDialog* ProgressDialog() const { return progressDialog; }

    /// The console file name for a given name: its extension (a "." in the
    /// last path component) replaced by ".console", or ".console" appended.
    static QString ConsoleNameFor(const QString& name);

signals:
    /// A progress run of @p nTraces traces, labelled @p text, has started.
    void initializeProgressBar(const QString& text, int nTraces);
    /// @p traces traces of the run are done.
    void updateProgressBar(int traces);
    /// The progress run has ended.
    void clearProgressBar();

private slots:
    void ProcessThreadMsgMode(bool mode);
    void ProcessThreadMsg(QString message, int type, QColor color);
    void ProcessThreadDlgMsg(QString message, int type);
    void ProcessThreadStepDlgMsg(QString step, QString message);
    void ProcessInitProgressBar(QString text, int nTraces);
    void ProcessUpdateProgressBar(int trace);
    void ProcessClearProgressBar();

private:
    void ParameterErrorMsg(const QString& step, const QString& message);
    void ShowBox(int icon, const QString& title, const QString& text);
    void WriteConsoleLine(const QByteArray& line);
    void ReleaseConsoleFile();
    void ReleaseProgressDialog();

    bool guiMode;
    QTextEdit* textEdit;
    QFile* consoleFile = nullptr;
    OrvApp* app;
    QWidget* parentWidget;
    QString title;
    QPointer<QProgressDialog> progressDialog;
    int debugLevel;
    QString consoleFileName;
    int totalTraces = 0;
    bool showProgressDialog = false;
};
