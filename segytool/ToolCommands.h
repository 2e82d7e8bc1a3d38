#pragma once

#include <QStringList>

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;
class QString;
class SegyFile;

/// Exit statuses of the tool.
enum ToolExit {
    kExitOk = 0,
    kExitFailed = 1, ///< a file could not be read or written
    kExitUsage = 2, ///< bad arguments
};

/// One command of the tool: its options, its help and what it does.
struct ToolCommand {
    const char* name;
    const char* synopsis; ///< what follows the name in the usage line
    const char* brief; ///< a few words for the list of commands
    const char* summary; ///< what the command does, for its own help
    int minArguments;
    int maxArguments; ///< -1: any number
    QList<QCommandLineOption> (*options)(); ///< nullptr: none but --help
    /// Runs the command on its positional arguments; returns the exit status.
    int (*run)(const QCommandLineParser& parser, const QStringList& arguments);
};

/// The commands, in the order the help lists them.
const ToolCommand* ToolCommands(int* count);

/// The command called `name`, or nullptr.
const ToolCommand* FindToolCommand(const QString& name);

/// Reports a usage error of `command` (or of the tool when nullptr) with a hint to its help;
/// returns kExitUsage.
int ReportUsageError(const ToolCommand* command, const QString& message);

/// True when both paths name the same file (or, when one does not exist, the same path).
bool SameFile(const QString& a, const QString& b);

/// The exit status of a command that failed: 128 + the signal when a stop signal ended it, else
/// kExitFailed.
int FailureStatus();

/// `message` without the "PATH: " the library's messages start with.
QString WithoutPath(const QString& message, const QString& path);

/// Reports each warning of `file` on standard error as "orv-segy: PATH: warning: ...".
void ReportWarnings(const SegyFile& file);

/// The convert command's work (ConvertCommand.cpp).
QList<QCommandLineOption> ConvertOptions();
int RunConvert(const QCommandLineParser& parser, const QStringList& arguments);

/// The check command's work (CheckCommand.cpp).
QList<QCommandLineOption> CheckOptions();
int RunCheck(const QCommandLineParser& parser, const QStringList& arguments);

/// The geometry and slice commands' work (GeometryCommands.cpp).
QList<QCommandLineOption> GeometryOptions();
int RunGeometry(const QCommandLineParser& parser, const QStringList& arguments);
QList<QCommandLineOption> SliceOptions();
int RunSlice(const QCommandLineParser& parser, const QStringList& arguments);

/// The export and import commands' work (ZarrCommands.cpp).
QList<QCommandLineOption> ExportOptions();
int RunExport(const QCommandLineParser& parser, const QStringList& arguments);
QList<QCommandLineOption> ImportOptions();
int RunImport(const QCommandLineParser& parser, const QStringList& arguments);
