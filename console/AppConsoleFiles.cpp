#include "AppConsole.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

// Position of the extension's "." in the last path component, or -1: a
// "." in a folder name never starts an extension.
int ExtensionDot(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > name.lastIndexOf(QLatin1Char('/')) ? dot : -1;
}

} // namespace

QString AppConsole::ConsoleNameFor(const QString& name)
{
    const int dot = ExtensionDot(name);
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".console");
}

void AppConsole::OpenConsoleFile(const QString& name)
{
    if (name.isEmpty())
        return;

    ReleaseConsoleFile();
    consoleFileName = ConsoleNameFor(name);
    consoleFile = new QFile(consoleFileName);
    // Unbuffered: Msg hands over whole lines, each written through at once.
    if (consoleFile->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return;

    delete consoleFile;
    consoleFile = nullptr;
    ErrorMsg(QStringLiteral("error opening file: ") + consoleFileName, true);
}

void AppConsole::NewConsole(const QString& flowName)
{
    if (!consoleFileName.isEmpty()) {
        ReleaseConsoleFile();
        QFileInfo oldConsole(consoleFileName);
        if (oldConsole.exists() && oldConsole.size() == 0)
            QFile::remove(consoleFileName);
    }

    const int slash = flowName.lastIndexOf(QLatin1Char('/'));
    const QString rootDir = slash < 0 ? QString() : flowName.left(slash);
    const QString consoleDir = rootDir + QStringLiteral("/Consoles");
    if (!QDir(consoleDir).exists())
        QDir(rootDir).mkdir(QStringLiteral("Consoles"));

    QString name = flowName;
    if (slash >= 0)
        name.insert(slash, QStringLiteral("/Consoles"));
    int dot = ExtensionDot(name);
    if (dot >= 0) {
        name.insert(dot, QLatin1Char('_'));
        dot = ExtensionDot(name);
        const QString stamp
            = QDateTime::currentDateTime().toString(QStringLiteral("hh mm ss ddd MMMM d yyyy"));
        name.insert(dot, stamp);
    }
    OpenConsoleFile(name);
}

void AppConsole::CloseConsoleFile()
{
    ReleaseConsoleFile();
}

// Writes one line through to the open console file. The first write or
// flush that fails, a short write included, releases the file, leaving what
// reached it on disk, and reports the failure; the report finds no file to
// write to, and the console goes on showing messages.
void AppConsole::WriteConsoleLine(const QByteArray& line)
{
    errno = 0;
    const qint64 written = consoleFile->write(line);
    // A short write is the count of the bytes that got through: QFile sets
    // no error for it, the reason is in errno of the write call that failed.
    const int writeError = errno;
    QString reason;
    if (written == line.size()) {
        if (consoleFile->flush())
            return;
        reason = consoleFile->errorString();
    } else if (written >= 0 && writeError != 0) {
        reason = qt_error_string(writeError);
    } else {
        reason = consoleFile->errorString();
    }

    ReleaseConsoleFile();
    ErrorMsg(
        QStringLiteral("error writing file: ") + consoleFileName + QStringLiteral(": ") + reason,
        true);
}

void AppConsole::ReleaseConsoleFile()
{
    delete consoleFile;
    consoleFile = nullptr;
}
