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

// The frame's console. Each message goes to exactly one display channel
// (the text view when there is one, else a modal information box in a
// graphical application, else standard output) and, while a console file
// is open, to that file as one flushed line. The first write to the file
// that fails closes it and is reported as an error message with a box.
//
// Code on other threads connects its own signals to the private
// Process... slots; Qt queues the calls to the GUI thread.
class AppConsole : public QObject, public OrvConsole {
    Q_OBJECT

public:
    // fileName: a console file is opened for it at once unless it is empty.
    AppConsole(OrvApp* application, QTextEdit* textEdit, QString fileName, int debugLevel);
    ~AppConsole() override;

    void Msg(const QString& text, const QColor& color) override;
    void ErrorMsg(const QString& text, bool showBox) override;
    void WarningMsg(const QString& text, bool showBox) override;
    void DebugMsg(const QString& text) override;
    void LowLevelMsg(const QString& text) override;
    void InitProgressBar(const QString& text, int nTraces, bool showDialog) override;
    bool UpdateProgressBar(int trace) override;
    void ClearProgressBar() override;

    // Console files: "<name without extension>.console", truncated on open.
    void OpenConsoleFile(const QString& name);
    // Finishes the current file (removing it if it stayed empty) and starts
    // "<folder>/Consoles/<flow>_<hh mm ss ddd MMMM d yyyy>.console".
    void NewConsole(const QString& flowName);
    void CloseConsoleFile();

    QString ConsoleFileName() const { return consoleFileName; }
    bool HasOpenConsoleFile() const { return consoleFile != nullptr; }
    int DebugLevel() const { return debugLevel; }
    QProgressDialog* ProgressDialog() const { return progressDialog; }

    // The console file name for a given name: its extension (a "." in the
    // last path component) replaced by ".console", or ".console" appended.
    static QString ConsoleNameFor(const QString& name);

signals:
    void initializeProgressBar(const QString& text, int nTraces);
    void updateProgressBar(int traces);
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
