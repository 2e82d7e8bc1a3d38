#include "ToolCommands.h"
#include "ToolOutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>

namespace {

const QCommandLineOption& HelpOption()
{
    static const QCommandLineOption option(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."));
    return option;
}

QByteArray OptionLine(const QCommandLineOption& option)
{
    QByteArray names;
    for (const QString& name : option.names()) {
        if (!names.isEmpty())
            names += ", ";
        names += (name.size() == 1 ? "-" : "--") + name.toUtf8();
    }
    if (!option.valueName().isEmpty())
        names += ' ' + option.valueName().toUtf8();
    return "  " + names.leftJustified(22) + ' ' + option.description().toUtf8() + '\n';
}

void PutToolHelp()
{
    QByteArray help = "Usage: orv-segy COMMAND [OPTIONS] FILE...\n"
                      "Shows and converts SEG-Y files.\n\nCommands:\n";
    int count = 0;
    const ToolCommand* commands = ToolCommands(&count);
    for (int i = 0; i < count; ++i) {
        help += "  " + QByteArray(commands[i].name).leftJustified(9) + ' ' + commands[i].brief
            + '\n';
    }
    help += "  help      Shows the options of a command: orv-segy help COMMAND\n\nOptions:\n";
    help += OptionLine(HelpOption());
    help += "  --version              Shows the version.\n\n"
            "Exit status: 0 on success, 1 when a file cannot be read or written, 2 for a usage "
            "error.\n";
    Out().Put(help);
}

void PutCommandHelp(const ToolCommand& command)
{
    QByteArray help = QByteArray("Usage: orv-segy ") + command.name + ' ' + command.synopsis + '\n'
        + command.summary + "\n\nOptions:\n";
    if (command.options) {
        for (const QCommandLineOption& option : command.options())
            help += OptionLine(option);
    }
    help += OptionLine(HelpOption());
    Out().Put(help);
}

void SetUpCommandParser(const ToolCommand& command, QCommandLineParser* parser)
{
    parser->addOption(HelpOption());
    if (command.options)
        parser->addOptions(command.options());
}

int RunCommand(const ToolCommand& command, const QStringList& arguments)
{
    QCommandLineParser parser;
    SetUpCommandParser(command, &parser);
    if (!parser.parse(QStringList(QStringLiteral("orv-segy")) + arguments))
        return ReportUsageError(&command, parser.errorText());
    if (parser.isSet(HelpOption())) {
        PutCommandHelp(command);
        return kExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < command.minArguments)
        return ReportUsageError(&command, QStringLiteral("missing file argument"));
    if (command.maxArguments >= 0 && positional.size() > command.maxArguments)
        return ReportUsageError(&command,
            QStringLiteral("unexpected argument '%1'").arg(positional[command.maxArguments]));
    return command.run(parser, positional);
}

int RunTool(const QStringList& arguments)
{
    QCommandLineParser parser;
    // What follows the command is the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(HelpOption());
    const QCommandLineOption versionOption(
        QStringLiteral("version"), QStringLiteral("Shows the version."));
    parser.addOption(versionOption);
    if (!parser.parse(arguments))
        return ReportUsageError(nullptr, parser.errorText());
    if (parser.isSet(HelpOption())) {
        PutToolHelp();
        return kExitOk;
    }
    if (parser.isSet(versionOption)) {
        Out().Put("orv-segy " ORV_SEGY_VERSION "\n");
        return kExitOk;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return ReportUsageError(nullptr, QStringLiteral("missing command"));
    const QString name = positional.takeFirst();
    if (name == QLatin1String("help")) {
        if (positional.isEmpty()) {
            PutToolHelp();
            return kExitOk;
        }
        const ToolCommand* command = FindToolCommand(positional[0]);
        if (!command || positional.size() > 1)
            return ReportUsageError(
                nullptr, QStringLiteral("no help for '%1'").arg(positional.join(QLatin1Char(' '))));
        PutCommandHelp(*command);
        return kExitOk;
    }
    const ToolCommand* command = FindToolCommand(name);
    if (!command)
        return ReportUsageError(nullptr, QStringLiteral("unknown command '%1'").arg(name));
    return RunCommand(*command, positional);
}

} // namespace

int ReportUsageError(const ToolCommand* command, const QString& message)
{
    ReportError(message);
    const QByteArray help = command ? QByteArray("orv-segy ") + command->name + " --help"
                                    : QByteArray("orv-segy --help");
    std::fprintf(stderr, "Try '%s' for more information.\n", help.constData());
    return kExitUsage;
}

int main(int argc, char* argv[])
{
    // A reader that goes away ends the output quietly: the write reports EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    const int status = RunTool(QCoreApplication::arguments());
    const int output = Out().Finish();
    return status != kExitOk ? status : output;
}
