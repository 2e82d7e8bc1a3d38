#include "AppConsole.h"

#include "OrvApp.h"

#include <QFile>
#include <QMessageBox>
#include <QTextCursor>
#include <QTextEdit>

#include <cstdio>

namespace {
const char* const kErrorPrefix = " *** Error:   ";
const char* const kWarningPrefix = " ** Warning:   ";
const char* const kDebugPrefix = "  * Debug:   ";
const char* const kLowLevelPrefix = "  * LowLevel:   ";

// A message as standard output and the console file carry it: the locale's
// 8-bit encoding, one line feed.
QByteArray EncodedLine(const QString& text)
{
    QByteArray line = text.toLocal8Bit();
    line.append('\n');
    return line;
}
} // namespace

AppConsole::AppConsole(OrvApp* application, QTextEdit* textEdit, QString fileName, int debugLevel)
    : QObject(nullptr)
    , guiMode(application->GuiEnabled())
    , textEdit(textEdit)
    , app(application)
    , parentWidget(application->MainWidget())
    , title(application->AppName())
    , debugLevel(debugLevel)
{
    OpenConsoleFile(fileName);
}

AppConsole::~AppConsole()
{
    ReleaseConsoleFile();
    ReleaseProgressDialog();
}

void AppConsole::Msg(const QString& text, const QColor& color)
{
    QByteArray line;
    if (textEdit) {
        if (textEdit->overwriteMode())
            textEdit->undo();
        // The colour travels in the new paragraph's own format: the view's
        // current format is dropped once the paragraph moves the view's
        // cursor, and set while text is selected it recolours the selection.
        QTextCharFormat format = textEdit->currentCharFormat();
        format.setForeground(color);
        if (!textEdit->textCursor().hasSelection())
            textEdit->setTextColor(color);
        // Inserted as plain text: a message is data, even when it happens
        // to look like markup.
        QTextCursor cursor(textEdit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        if (!textEdit->document()->isEmpty())
            cursor.insertBlock(cursor.blockFormat(), format);
        cursor.insertText(text, format);
        cursor.endEditBlock();
    } else if (guiMode) {
        ShowBox(QMessageBox::Information, title, text);
    } else {
        // Buffered as stdio decides: line by line on a terminal, in blocks
        // when redirected. The console file is the record that is flushed.
        line = EncodedLine(text);
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }

    if (consoleFile) {
        if (line.isNull())
            line = EncodedLine(text);
        WriteConsoleLine(line);
    }
}

void AppConsole::ErrorMsg(const QString& text, bool showBox)
{
    const QString composed = QString::fromUtf8(kErrorPrefix) + text;
    Msg(composed, Qt::black);
    if (showBox && textEdit)
        ShowBox(QMessageBox::Critical, QStringLiteral("Error"), composed);
}

void AppConsole::WarningMsg(const QString& text, bool showBox)
{
    const QString composed = QString::fromUtf8(kWarningPrefix) + text;
    Msg(composed, Qt::black);
    if (showBox && textEdit)
        ShowBox(QMessageBox::Warning, QStringLiteral("Warning"), composed);
}

void AppConsole::DebugMsg(const QString& text)
{
    if (debugLevel == 2 || debugLevel == 3)
        Msg(QString::fromUtf8(kDebugPrefix) + text, Qt::black);
}

void AppConsole::LowLevelMsg(const QString& text)
{
    if (debugLevel == 3)
        Msg(QString::fromUtf8(kLowLevelPrefix) + text, Qt::black);
}

// A modal box with a single OK button and no default button; returns when
// the user closes it.
void AppConsole::ShowBox(int icon, const QString& boxTitle, const QString& text)
{
    QMessageBox box(
        static_cast<QMessageBox::Icon>(icon), boxTitle, text, QMessageBox::Ok, parentWidget);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void AppConsole::ParameterErrorMsg(const QString& step, const QString& message)
{
    QMessageBox msgBox;
    msgBox.setTextFormat(Qt::PlainText);
    msgBox.setText(step + QStringLiteral(" - Parameter error!"));
    msgBox.setInformativeText(message);
    msgBox.setStandardButtons(QMessageBox::Ok);
    msgBox.exec();
}

void AppConsole::ProcessThreadMsgMode(bool mode)
{
    if (textEdit)
        textEdit->setOverwriteMode(mode);
}

void AppConsole::ProcessThreadMsg(QString message, int type, QColor color)
{
    switch (type) {
    case MsgPlain:
        Msg(message, color);
        break;
    case MsgWarning:
        WarningMsg(message, false);
        break;
    case MsgError:
        ErrorMsg(message, false);
        break;
    case MsgDebug:
        DebugMsg(message);
        break;
    case MsgLowLevel:
        LowLevelMsg(message);
        break;
    default:
        break;
    }
}

void AppConsole::ProcessThreadDlgMsg(QString message, int type)
{
    if (type == MsgWarning)
        WarningMsg(message, false);
    else if (type == MsgError)
        ErrorMsg(message, false);
}

void AppConsole::ProcessThreadStepDlgMsg(QString step, QString message)
{
    ParameterErrorMsg(step, message);
}

void AppConsole::ProcessInitProgressBar(QString text, int nTraces)
{
    emit initializeProgressBar(text, nTraces);
}

void AppConsole::ProcessUpdateProgressBar(int trace)
{
    emit updateProgressBar(trace);
}

void AppConsole::ProcessClearProgressBar()
{
    emit clearProgressBar();
}
