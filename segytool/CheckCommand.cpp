#include "SegyCheck.h"
#include "ToolCommands.h"
#include "ToolOutput.h"
#include "ToolProgress.h"

#include <QCommandLineParser>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// "(trace 7)", "(traces 5, 6, 7)", "(traces 5, 6, 7 and 9 more)"; empty without traces.
QByteArray TraceListText(const SegyFinding& finding)
{
    if (finding.traces.empty())
        return {};
    QByteArray text = finding.count == 1 ? " (trace " : " (traces ";
    for (std::size_t i = 0; i < finding.traces.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += QByteArray::number(finding.traces[i]);
    }
    const qint64 more = finding.count - qint64(finding.traces.size());
    if (more > 0)
        text += " and " + QByteArray::number(more) + " more";
    return text + ')';
}

QByteArray Plural(qint64 count, const char* word)
{
    return QByteArray::number(count) + ' ' + word + (count == 1 ? "" : "s");
}

void PutCheckText(const SegyFile& file, const std::vector<SegyFinding>& findings)
{
    const QByteArray path = file.FileName().toUtf8();
    qint64 counts[3] = {};
    for (const SegyFinding& finding : findings) {
        ++counts[int(finding.severity)];
        Out().Put(path + ": " + SegySeverityName(finding.severity) + ": " + finding.message.toUtf8()
            + TraceListText(finding) + " [" + finding.code + "]\n");
    }
    QByteArray summary = path + ": " + Plural(file.TraceCount(), "trace") + " read: ";
    if (findings.empty())
        summary += "no findings";
    else
        summary += Plural(counts[0], "error") + ", " + Plural(counts[1], "warning") + ", "
            + Plural(counts[2], "note");
    Out().Put(summary + '\n');
}

void PutCheckJson(
    const SegyFile& file, const std::vector<SegyFinding>& findings, const QByteArray& indent)
{
    const QByteArray in = indent + "  ";
    QByteArray json = indent + "{\n";
    json += in + "\"file\": " + JsonString(file.FileName()) + ",\n";
    json += in + "\"findings\": [";
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const SegyFinding& finding = findings[i];
        QByteArray traces;
        for (std::size_t t = 0; t < finding.traces.size(); ++t)
            traces += (t > 0 ? ", " : "") + QByteArray::number(finding.traces[t]);
        json += (i > 0 ? ",\n" : "\n") + in + "  {\"severity\": \""
            + SegySeverityName(finding.severity) + "\", \"code\": \"" + finding.code
            + "\", \"message\": " + JsonString(finding.message) + ", \"traces\": [" + traces
            + "], \"count\": " + QByteArray::number(finding.count) + '}';
    }
    if (!findings.empty())
        json += '\n' + in;
    json += "]\n" + indent + '}';
    Out().Put(json);
}

int StatusAfterStop()
{
    return StopSignal() != 0 ? 128 + StopSignal() : int(kExitFailed);
}

} // namespace

QList<QCommandLineOption> CheckOptions()
{
    return {{QStringLiteral("json"), QStringLiteral("One JSON object per file.")}};
}

int RunCheck(const QCommandLineParser& parser, const QStringList& files)
{
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool array = json && files.size() > 1;
    CatchStopSignals();
    int status = kExitOk;
    int shown = 0;
    if (array)
        Out().Put("[\n");
    for (const QString& path : files) {
        QString error;
        SegyOpenOptions openOptions;
        openOptions.progress = [](qint64, qint64) { return StopSignal() == 0; };
        const std::unique_ptr<SegyFile> file = SegyFile::Open(path, &error, openOptions);
        if (!file) {
            ReportError(error);
            if (StopSignal() != 0)
                return StatusAfterStop();
            status = kExitFailed;
            continue;
        }
        // The open's warnings are not shown: the check finds the same faults.
        ProgressBar bar(isatty(STDERR_FILENO) == 1);
        SegyCheckOptions options;
        options.progress = [&bar](qint64 done, qint64 total) { return bar.Update(done, total); };
        std::vector<SegyFinding> findings;
        const bool checked = CheckSegyFile(*file, &findings, &error, options);
        bar.Clear();
        if (!checked) {
            ReportError(error);
            if (StopSignal() != 0)
                return StatusAfterStop();
            status = kExitFailed;
            continue;
        }
        if (json) {
            if (shown > 0 && array)
                Out().Put(",\n");
            PutCheckJson(*file, findings, array ? "  " : "");
            if (!array)
                Out().Put('\n');
        } else {
            PutCheckText(*file, findings);
        }
        ++shown;
        // Each file's findings show before the next file's progress bar.
        Out().Flush();
        if (!Out().Ok())
            break;
    }
    if (array)
        Out().Put(shown > 0 ? "\n]\n" : "]\n");
    return status;
}
