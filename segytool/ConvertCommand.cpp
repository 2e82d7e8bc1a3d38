#include "SegyWriter.h"
#include "ToolCommands.h"
#include "ToolOutput.h"
#include "ToolProgress.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <memory>

#include <unistd.h>

QList<QCommandLineOption> ConvertOptions()
{
    return {{QStringLiteral("format"),
                QStringLiteral("Sample format of OUT, as a code (5) or a name; default: IN's."),
                QStringLiteral("CODE")},
        {QStringLiteral("endian"),
            QStringLiteral("Byte order of OUT: big or little; default: IN's."),
            QStringLiteral("ORDER")}};
}

int RunConvert(const QCommandLineParser& parser, const QStringList& arguments)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("convert"));
    const QString& inPath = arguments[0];
    const QString& outPath = arguments[1];
    const SegyFormat* format = nullptr;
    if (parser.isSet(QStringLiteral("format"))) {
        format = FindSegyFormat(parser.value(QStringLiteral("format")));
        if (!format)
            return ReportUsageError(command,
                QStringLiteral("unknown sample format '%1'")
                    .arg(parser.value(QStringLiteral("format"))));
    }
    SegyByteOrder order = SegyByteOrder::Auto;
    if (parser.isSet(QStringLiteral("endian"))) {
        const QString endian = parser.value(QStringLiteral("endian"));
        if (endian == QLatin1String("big"))
            order = SegyByteOrder::Big;
        else if (endian == QLatin1String("little"))
            order = SegyByteOrder::Little;
        else
            return ReportUsageError(
                command, QStringLiteral("byte order '%1' is neither big nor little").arg(endian));
    }
    if (SameFile(inPath, outPath))
        return ReportUsageError(command, outPath + QStringLiteral(": is the input file"));

    CatchStopSignals();
    QString error;
    SegyOpenOptions openOptions;
    // A variable-length file is scanned on opening: Ctrl-C stops that too.
    openOptions.progress = [](qint64, qint64) { return StopSignal() == 0; };
    const std::unique_ptr<SegyFile> in = SegyFile::Open(inPath, &error, openOptions);
    if (!in) {
        ReportError(error);
        return FailureStatus();
    }
    ReportWarnings(*in);

    SegyWriteOptions options;
    options.format = format ? format->code : in->Format().code;
    options.byteOrder = order == SegyByteOrder::Auto ? in->ByteOrder() : order;
    options.textEncoding = in->TextEncoding();
    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    const bool copied = SegyCopy(*in, outPath, options, &error,
        [&bar](qint64 done, qint64 total) { return bar.Update(done, total); });
    bar.Clear();
    if (!copied) {
        ReportError(error);
        return FailureStatus();
    }
    return kExitOk;
}
