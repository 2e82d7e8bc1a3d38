#include "SegyZarr.h"
#include "ToolCommands.h"
#include "ToolOutput.h"
#include "ToolProgress.h"

#include <QCommandLineParser>

#include <memory>

#include <unistd.h>

namespace {

// A comma-separated list of positive sizes; false when it is not one.
bool ParseSizes(const QString& text, std::vector<qint64>* sizes)
{
    sizes->clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 n = part.trimmed().toLongLong(&ok);
        if (!ok || n <= 0)
            return false;
        sizes->push_back(n);
    }
    return !sizes->empty();
}

bool ParseByteOrder(const QCommandLineParser& parser, SegyByteOrder* order, QString* bad)
{
    *order = SegyByteOrder::Auto;
    if (!parser.isSet(QStringLiteral("endian")))
        return true;
    const QString endian = parser.value(QStringLiteral("endian"));
    if (endian == QLatin1String("big"))
        *order = SegyByteOrder::Big;
    else if (endian == QLatin1String("little"))
        *order = SegyByteOrder::Little;
    else
        *bad = QStringLiteral("byte order '%1' is neither big nor little").arg(endian);
    return bad->isEmpty();
}

} // namespace

QList<QCommandLineOption> ExportOptions()
{
    return {{QStringLiteral("chunks"),
                QStringLiteral("Chunk sizes, one per dimension of the amplitude (64,64,256 for a "
                               "cube); default: about 4 MB a chunk."),
                QStringLiteral("LIST")},
        {QStringLiteral("compression"),
            QStringLiteral("Blosc codec of the chunks: lz4, zstd or none; default: lz4."),
            QStringLiteral("CODEC")},
        {QStringLiteral("level"), QStringLiteral("Compression level, 1 to 9; default: 5."),
            QStringLiteral("N")},
        {QStringLiteral("inline-field"),
            QStringLiteral("Trace header field of the inline number (default 189): a name, a "
                           "byte position or BYTE:WIDTH[u]."),
            QStringLiteral("F")},
        {QStringLiteral("crossline-field"),
            QStringLiteral("Trace header field of the crossline number (default 193)."),
            QStringLiteral("F")},
        {QStringLiteral("offset-field"),
            QStringLiteral("Trace header field of the offset (default 37)."), QStringLiteral("F")},
        {QStringLiteral("cdp-field"),
            QStringLiteral("Trace header field of the CDP number of a 2D line (default 21)."),
            QStringLiteral("F")}};
}

int RunExport(const QCommandLineParser& parser, const QStringList& arguments)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("export"));
    const QString& inPath = arguments[0];
    const QString& storePath = arguments[1];
    SegyZarrExportOptions options;
    if (parser.isSet(QStringLiteral("chunks"))
        && !ParseSizes(parser.value(QStringLiteral("chunks")), &options.chunks))
        return ReportUsageError(command,
            QStringLiteral("chunk sizes '%1' are not a list of positive numbers")
                .arg(parser.value(QStringLiteral("chunks"))));
    if (parser.isSet(QStringLiteral("compression"))
        && !ParseZarrCompression(parser.value(QStringLiteral("compression")), &options.compression))
        return ReportUsageError(command,
            QStringLiteral("unknown compression '%1'")
                .arg(parser.value(QStringLiteral("compression"))));
    if (parser.isSet(QStringLiteral("level"))) {
        bool ok = false;
        options.level = parser.value(QStringLiteral("level")).toInt(&ok);
        if (!ok || options.level < 1 || options.level > 9)
            return ReportUsageError(command,
                QStringLiteral("compression level '%1' is not 1 to 9")
                    .arg(parser.value(QStringLiteral("level"))));
    }
    const std::pair<const char*, QString*> keys[] = {
        {"inline-field", &options.geometry.inlineField},
        {"crossline-field", &options.geometry.crosslineField},
        {"offset-field", &options.geometry.offsetField}, {"cdp-field", &options.geometry.cdpField}};
    for (const auto& [name, field] : keys) {
        const QString option = QString::fromLatin1(name);
        if (!parser.isSet(option))
            continue;
        SegyField parsed;
        if (!ParseSegyTraceField(parser.value(option), &parsed))
            return ReportUsageError(command,
                QStringLiteral("unknown trace header field '%1'").arg(parser.value(option)));
        *field = parser.value(option);
    }
    if (SameFile(inPath, storePath))
        return ReportUsageError(command, storePath + QStringLiteral(": is the input file"));

    CatchStopSignals();
    QString error;
    SegyOpenOptions openOptions;
    openOptions.progress = [](qint64, qint64) { return StopSignal() == 0; };
    const std::unique_ptr<SegyFile> in = SegyFile::Open(inPath, &error, openOptions);
    if (!in) {
        ReportError(error);
        return FailureStatus();
    }
    ReportWarnings(*in);
    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    options.progress = [&bar](qint64 done, qint64 total) { return bar.Update(done, total); };
    const bool exported = ExportSegyZarr(*in, storePath, &error, options);
    bar.Clear();
    if (!exported) {
        ReportError(error);
        return FailureStatus();
    }
    return kExitOk;
}

QList<QCommandLineOption> ImportOptions()
{
    return {{QStringLiteral("format"),
                QStringLiteral("Sample format of FILE, as a code (5) or a name; default: the "
                               "exported file's."),
                QStringLiteral("CODE")},
        {QStringLiteral("endian"),
            QStringLiteral("Byte order of FILE: big or little; default: the exported file's."),
            QStringLiteral("ORDER")}};
}

int RunImport(const QCommandLineParser& parser, const QStringList& arguments)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("import"));
    const QString& storePath = arguments[0];
    const QString& outPath = arguments[1];
    SegyZarrImportOptions options;
    if (parser.isSet(QStringLiteral("format"))) {
        const SegyFormat* format = FindSegyFormat(parser.value(QStringLiteral("format")));
        if (!format)
            return ReportUsageError(command,
                QStringLiteral("unknown sample format '%1'")
                    .arg(parser.value(QStringLiteral("format"))));
        options.format = format->code;
    }
    QString bad;
    if (!ParseByteOrder(parser, &options.byteOrder, &bad))
        return ReportUsageError(command, bad);
    if (SameFile(storePath, outPath))
        return ReportUsageError(command, outPath + QStringLiteral(": is the store"));

    CatchStopSignals();
    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    options.progress = [&bar](qint64 done, qint64 total) { return bar.Update(done, total); };
    QString error;
    const bool imported = ImportSegyZarr(storePath, outPath, &error, options);
    bar.Clear();
    if (!imported) {
        ReportError(error);
        return FailureStatus();
    }
    return kExitOk;
}
