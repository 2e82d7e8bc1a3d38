// ORV Loupe's paging speed on a 500 x 500 x 1000 IBM cube (1.06 GB, inline-sorted) in the page
// cache: the next inline read, scaled and drawn into 1600 x 1000 pixels as variable density and
// as wiggles, and the next time slice of the whole cube, against memcpy of one inline's sample
// bytes from the same mapping. The cube is written into ORV_BENCH_DIR (default: the system's
// temporary folder) and removed at the end, or taken from ORV_LOUPE_CUBE and kept. Resident
// memory is read from /proc after the runs.

#include "LpRender.h"
#include "LpSectionModel.h"
#include "LpSurvey.h"

#include "SegyWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kInlines = 500;
constexpr int kCrosslines = 500;
constexpr int kSamples = 1000;
const QSize kView(1600, 1000);

struct Cube {
    QString path;
    bool keep = false;
    std::unique_ptr<LpSurvey> survey;
    double openMs = 0;
};

Cube& TheCube()
{
    static Cube cube;
    return cube;
}

bool WriteCube(const QString& path)
{
    SegyWriteOptions options;
    options.format = 1;
    SegyWriter writer(path, options);
    writer.BinaryHeader().SetValue("sample_interval", 2000);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    QString error;
    if (!writer.Begin(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    std::vector<float> s(kSamples);
    SegyTraceHeader h;
    for (int il = 0; il < kInlines; ++il) {
        for (int xl = 0; xl < kCrosslines; ++xl) {
            h.SetValue("inline", 1000 + il);
            h.SetValue("crossline", 2000 + xl);
            h.SetValue(*FindSegyTraceField(181), 500000 + 25 * xl);
            h.SetValue(*FindSegyTraceField(185), 6700000 + 25 * il);
            for (int i = 0; i < kSamples; ++i) {
                const double t = i * 0.002;
                s[std::size_t(i)] = float(std::exp(-t) * std::sin(2 * M_PI * (25 + xl % 7) * t)
                    * 1000 * (1 + 0.1 * std::sin(il * 0.05)));
            }
            if (!writer.WriteTrace(h, s.data(), kSamples, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return false;
            }
        }
    }
    return writer.Finish(&error);
}

const LpSurvey* Survey()
{
    Cube& cube = TheCube();
    if (cube.survey)
        return cube.survey.get();
    const QByteArray given = qgetenv("ORV_LOUPE_CUBE");
    if (!given.isEmpty()) {
        cube.path = QString::fromLocal8Bit(given);
        cube.keep = true;
    } else {
        const QByteArray env = qgetenv("ORV_BENCH_DIR");
        cube.path = (env.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(env))
            + QStringLiteral("/orv-bench-loupe-cube.sgy");
        if (!WriteCube(cube.path))
            return nullptr;
    }
    QElapsedTimer timer;
    timer.start();
    QString error;
    QStringList warnings;
    cube.survey = LpSurvey::Open(cube.path, &error, &warnings);
    cube.openMs = timer.nsecsElapsed() / 1e6;
    if (!cube.survey)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return cube.survey.get();
}

// The sample bytes of the next inline, trace by trace, from the mapping.
void CopyInline(benchmark::State& state)
{
    const LpSurvey* survey = Survey();
    if (!survey) {
        state.SkipWithError("no cube");
        return;
    }
    const SegyFile& file = survey->File();
    const std::size_t bytes = std::size_t(kSamples) * 4;
    std::vector<unsigned char> buffer(bytes * kCrosslines);
    int line = 0;
    for (auto _ : state) {
        const qint64 first = qint64(line) * kCrosslines;
        for (int t = 0; t < kCrosslines; ++t)
            std::memcpy(buffer.data() + bytes * std::size_t(t), file.RawSamples(first + t), bytes);
        benchmark::ClobberMemory();
        line = (line + 1) % kInlines;
    }
}

// The next section of `view` read, scaled and drawn (axes and colour bar included).
void Page(benchmark::State& state, LpView view, LpDisplayMode mode)
{
    const LpSurvey* survey = Survey();
    if (!survey) {
        state.SkipWithError("no cube");
        return;
    }
    LpSectionModel model;
    model.SetSurvey(survey);
    LpDisplay display;
    display.mode = mode;
    model.SetDisplay(display);
    model.Clip(); // the file-wide clip is estimated once, when the file opens
    const int count = survey->LineAxis(view).count;
    int line = 0;
    QString error;
    for (auto _ : state) {
        model.Show(view, line, &error);
        const QImage image = LpRenderImage(kView, model.Section(), model.Scaled(), mode,
            model.Table(), LpFitViewport(model.Section()), LpRenderStyle());
        benchmark::DoNotOptimize(image.constBits());
        line = (line + 1) % count;
    }
}

// Only the drawing of an inline already read and scaled.
void DrawOnly(benchmark::State& state, LpDisplayMode mode)
{
    const LpSurvey* survey = Survey();
    if (!survey) {
        state.SkipWithError("no cube");
        return;
    }
    LpSectionModel model;
    model.SetSurvey(survey);
    LpDisplay display;
    display.mode = mode;
    model.SetDisplay(display);
    QString error;
    model.Show(LpView::Inline, kInlines / 2, &error);
    for (auto _ : state) {
        const QImage image = LpRenderImage(kView, model.Section(), model.Scaled(), mode,
            model.Table(), LpFitViewport(model.Section()), LpRenderStyle());
        benchmark::DoNotOptimize(image.constBits());
    }
}

double Fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

struct Case {
    const char* name;
    double targetMs; // 0: none
};

const Case kCases[] = {{"memcpy/inline", 0}, {"inline/density", 16}, {"inline/wiggle", 40},
    {"timeslice/density", 30}, {"draw only/inline density", 0}, {"draw only/inline wiggle", 0}};

void Register()
{
    const auto add = [](const char* name, auto&& fn) {
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->ComputeStatistics("min", Fastest);
    };
    add(kCases[0].name, CopyInline);
    add(kCases[1].name,
        [](benchmark::State& s) { Page(s, LpView::Inline, LpDisplayMode::Density); });
    add(kCases[2].name,
        [](benchmark::State& s) { Page(s, LpView::Inline, LpDisplayMode::Wiggle); });
    add(kCases[3].name,
        [](benchmark::State& s) { Page(s, LpView::TimeSlice, LpDisplayMode::Density); });
    add(kCases[4].name, [](benchmark::State& s) { DrawOnly(s, LpDisplayMode::Density); });
    add(kCases[5].name, [](benchmark::State& s) { DrawOnly(s, LpDisplayMode::Wiggle); });
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> fastest;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                fastest[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// A line of /proc/self/status, in MB.
double StatusMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the axes
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=5";
    char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, aggregatesOnly});
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto base = reporter.fastest.find(kCases[0].name);
    std::printf("\nORV Loupe paging, 500 x 500 x 1000 IBM cube in the page cache, %d x %d "
                "pixels\n\n| step | ms | target ms | / memcpy of one inline |\n|---|---|---|---|\n",
        kView.width(), kView.height());
    for (const Case& c : kCases) {
        const auto found = reporter.fastest.find(c.name);
        if (found == reporter.fastest.end())
            continue;
        std::printf("| %s | %.2f | %s | %.1f |\n", c.name, found->second,
            c.targetMs > 0 ? qPrintable(QString::number(c.targetMs)) : "-",
            base != reporter.fastest.end() ? found->second / base->second : 0.0);
    }
    std::printf("\nOpening the cube (geometry, no clip yet): %.0f ms\n", TheCube().openMs);
    std::printf("Resident memory after the runs: %.0f MB (anonymous %.0f MB, file pages %.0f MB); "
                "peak %.0f MB\n",
        StatusMb("VmRSS:"), StatusMb("RssAnon:"), StatusMb("RssFile:"), StatusMb("VmHWM:"));
    Cube& cube = TheCube();
    cube.survey.reset();
    if (!cube.keep && !cube.path.isEmpty())
        QFile::remove(cube.path);
    benchmark::Shutdown();
    return 0;
}
