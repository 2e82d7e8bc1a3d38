// Messages per second through a console whose only output is its console
// file (no text view, no GUI, standard output on /dev/null), next to a plain
// loop writing the same lines with QFile::write + flush. Prints the ratio.
//
// Without a text view and without GUI the console still prints every message
// to standard output (buffered by stdio); the same console
// without a file measures that share, so that the file branch's own cost can
// be set against the baseline too.

#include "AppConsole.h"
#include "OrvApp.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QVector>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

class BenchApp : public OrvApp {
public:
    BenchApp(int& argc, char** argv)
        : OrvApp(argc, argv, false)
    {
        appName = QStringLiteral("Console Benchmark");
    }
    int Start() override { return 1; }
};

const int kLineCount = 64; // a power of two

// Messages of the lengths a processing flow writes, 20 to about 120 characters.
QVector<QString> MakeLines()
{
    QVector<QString> lines;
    for (int i = 0; i < kLineCount; ++i) {
        QString line = QStringLiteral("Trace %1: inline %2 crossline %3 offset %4 m")
                           .arg(i * 1237 % 100000)
                           .arg(1200 + i)
                           .arg(400 + 3 * i)
                           .arg(12.5 * i, 0, 'f', 1);
        if (i % 4 == 1)
            line = QStringLiteral("Reading line %1").arg(i);
        else if (i % 4 == 3)
            line += QStringLiteral(" - amplitude scaling applied to window %1 of %2, gain %3 dB")
                        .arg(i)
                        .arg(kLineCount)
                        .arg(i % 7);
        lines.append(line);
    }
    return lines;
}

const QVector<QString>& Lines()
{
    static const QVector<QString> lines = MakeLines();
    return lines;
}

QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

// File descriptor 1 goes to /dev/null while this lives.
class StdoutToNull {
public:
    StdoutToNull()
    {
        std::cout.flush();
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~StdoutToNull()
    {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    StdoutToNull(const StdoutToNull&) = delete;
    StdoutToNull& operator=(const StdoutToNull&) = delete;

private:
    int saved;
};

void RunConsole(benchmark::State& state, const QString& fileName)
{
    const QVector<QString>& lines = Lines();
    StdoutToNull quiet;
    AppConsole console(static_cast<OrvApp*>(QCoreApplication::instance()), nullptr, fileName, 1);
    if (!fileName.isEmpty() && !console.HasOpenConsoleFile()) {
        state.SkipWithError("console file not opened");
        return;
    }
    int i = 0;
    for (auto _ : state)
        console.Msg(lines[i++ & (kLineCount - 1)], Qt::black);
    state.SetItemsProcessed(state.iterations());
}

void BM_ConsoleFile(benchmark::State& state)
{
    RunConsole(state, Folder().filePath(QStringLiteral("console.log")));
}

void BM_ConsoleWithoutFile(benchmark::State& state)
{
    RunConsole(state, QString());
}

void BM_QFileBaseline(benchmark::State& state)
{
    QVector<QByteArray> bytes;
    for (const QString& line : Lines())
        bytes.append(line.toLocal8Bit() + '\n');
    QFile file(Folder().filePath(QStringLiteral("baseline.console")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        state.SkipWithError("baseline file not opened");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        file.write(bytes[i++ & (kLineCount - 1)]);
        file.flush();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ConsoleFile)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_QFileBaseline)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ConsoleWithoutFile)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// Console output as usual, plus the median messages per second of each
// benchmark for the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate == run.counters.end())
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const QString name = QString::fromStdString(run.run_name.function_name);
            if (median || (run.run_type == Run::RT_Iteration && !perSecond.contains(name)))
                perSecond[name] = rate->second.value;
        }
    }

    void PrintRatio() const
    {
        const double console = perSecond.value(QStringLiteral("BM_ConsoleFile"));
        const double baseline = perSecond.value(QStringLiteral("BM_QFileBaseline"));
        if (console <= 0 || baseline <= 0)
            return;
        std::printf("\nconsole file: %.0f messages/s, QFile::write + flush: %.0f lines/s, "
                    "ratio %.3f (target >= 0.8)\n",
            console, baseline, console / baseline);
        const double withoutFile = perSecond.value(QStringLiteral("BM_ConsoleWithoutFile"));
        if (withoutFile <= console)
            return;
        // Per-message times: the file branch is what the file adds to a message.
        const double fileBranchNs = 1e9 / console - 1e9 / withoutFile;
        std::printf("standard output alone: %.0f ns/message; file branch: %.0f ns/message "
                    "against %.0f ns/line for the baseline (ratio %.3f)\n",
            1e9 / withoutFile, fileBranchNs, 1e9 / baseline, (1e9 / baseline) / fileBranchNs);
    }

private:
    QMap<QString, double> perSecond;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApp app(argc, argv);
    if (!Folder().isValid())
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}
