// Survey geometry on a 500 x 500 x 1000 IBM cube (1.06 GB) in the page cache, against baselines
// timed in the same run: memcpy of the same sample bytes from the same mapping for inlines and
// crosslines, and a loop that reads one sample word per trace for time slices. The cube is
// written once into ORV_BENCH_DIR (default: the system's temporary folder) and removed at the
// end. The summary gives each operation's time as a ratio to its baseline.

#include "SegyGeometry.h"
#include "SegyWriter.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kLines = 500;
constexpr int kSamples = 1000;

QString CubePath()
{
    const QByteArray env = qgetenv("ORV_BENCH_DIR");
    return (env.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(env))
        + QStringLiteral("/orv-bench-geometry.sgy");
}

bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 4000);
    QString error;
    if (!writer.Begin(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    std::vector<float> s(kSamples);
    SegyTraceHeader h;
    for (int il = 0; il < kLines; ++il) {
        for (int xl = 0; xl < kLines; ++xl) {
            h.SetValue("inline", 1000 + il);
            h.SetValue("crossline", 2000 + xl);
            h.SetValue("coordinate_scalar", -100);
            h.SetValue("cdp_x", 50000000 + 2500 * xl + 300 * il);
            h.SetValue("cdp_y", 670000000 + 2500 * il - 300 * xl);
            for (int i = 0; i < kSamples; ++i)
                s[std::size_t(i)] = float(std::sin(i * 0.05 + il * 0.01 + xl * 0.02) * 1000);
            if (!writer.WriteTrace(h, s.data(), kSamples, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return false;
            }
        }
    }
    return writer.Finish(&error);
}

struct Cube {
    std::unique_ptr<SegyFile> file;
    std::unique_ptr<SegyGeometry> geometry;
};

const Cube* TheCube()
{
    static Cube cube;
    static bool tried = false;
    if (!tried) {
        tried = true;
        QString error;
        if (!WriteCube(CubePath()))
            return nullptr;
        cube.file = SegyFile::Open(CubePath(), &error);
        if (cube.file)
            cube.geometry = SegyGeometry::Build(*cube.file, &error);
        if (!cube.geometry) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return nullptr;
        }
        // Into the page cache, and the mapping's pages into this process.
        std::vector<float> line(std::size_t(kLines) * kSamples);
        for (int il = 0; il < kLines; ++il)
            cube.geometry->ReadInline(1000 + il, line.data());
    }
    return cube.geometry ? &cube : nullptr;
}

#define CUBE_OR_SKIP(state)                                                                        \
    const Cube* cube = TheCube();                                                                  \
    if (!cube) {                                                                                   \
        (state).SkipWithError("cannot write the cube");                                            \
        return;                                                                                    \
    }

void Build(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    for (auto _ : state) {
        auto g = SegyGeometry::Build(*cube->file, nullptr);
        benchmark::DoNotOptimize(g.get());
    }
    state.counters["ns_per_trace"] = benchmark::Counter(double(cube->file->TraceCount()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["index_bytes"] = double(cube->geometry->BinCount() * 8);
}

// The floor of a header scan: one header word of every trace, in file order.
void HeaderFloor(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    const SegyFile& file = *cube->file;
    const unsigned char* first = file.RawSamples(0) - 240 + 188;
    const qint64 stride = file.TraceOffset(1) - file.TraceOffset(0);
    std::vector<uint32_t> words(std::size_t(file.TraceCount()));
    for (auto _ : state) {
        for (std::size_t t = 0; t < words.size(); ++t)
            std::memcpy(&words[t], first + qint64(t) * stride, 4);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_trace"] = benchmark::Counter(double(file.TraceCount()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void HeaderColumns(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    const SegyFile& file = *cube->file;
    const qint64 n = file.TraceCount();
    std::vector<std::vector<qint64>> v(6, std::vector<qint64>(static_cast<std::size_t>(n)));
    const SegyField fields[]
        = {*FindSegyTraceField(189), *FindSegyTraceField(193), *FindSegyTraceField(37),
            *FindSegyTraceField(181), *FindSegyTraceField(185), *FindSegyTraceField(71)};
    qint64* const columns[]
        = {v[0].data(), v[1].data(), v[2].data(), v[3].data(), v[4].data(), v[5].data()};
    for (auto _ : state) {
        file.ReadTraceFieldColumns(fields, int(state.range(0)), 0, n, columns);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_trace"] = benchmark::Counter(
        double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Each iteration reads the next line, so that no line is served from the CPU's caches.
void Inline(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<float> line(std::size_t(kLines) * kSamples);
    int at = 0;
    for (auto _ : state) {
        cube->geometry->ReadInline(1000 + at, line.data());
        at = (at + 7) % kLines;
        benchmark::ClobberMemory();
    }
}

void InlineMemcpy(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<float> line(std::size_t(kLines) * kSamples);
    int at = 0;
    for (auto _ : state) {
        for (int xl = 0; xl < kLines; ++xl) {
            const qint64 t = cube->geometry->TraceNumber(1000 + at, 2000 + xl);
            std::memcpy(line.data() + xl * kSamples, cube->file->RawSamples(t), kSamples * 4);
        }
        at = (at + 7) % kLines;
        benchmark::ClobberMemory();
    }
}

void Crossline(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<float> line(std::size_t(kLines) * kSamples);
    int at = 0;
    for (auto _ : state) {
        cube->geometry->ReadCrossline(2000 + at, line.data());
        at = (at + 7) % kLines;
        benchmark::ClobberMemory();
    }
}

void CrosslineMemcpy(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<float> line(std::size_t(kLines) * kSamples);
    int at = 0;
    for (auto _ : state) {
        for (int il = 0; il < kLines; ++il) {
            const qint64 t = cube->geometry->TraceNumber(1000 + il, 2000 + at);
            std::memcpy(line.data() + il * kSamples, cube->file->RawSamples(t), kSamples * 4);
        }
        at = (at + 7) % kLines;
        benchmark::ClobberMemory();
    }
}

void TimeSlice(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<float> slice(std::size_t(kLines) * kLines);
    SegySliceOptions options;
    options.threads = int(state.range(0));
    int at = 0;
    for (auto _ : state) {
        cube->geometry->ReadTimeSlice(at, slice.data(), nullptr, options);
        at = (at + 37) % kSamples;
        benchmark::ClobberMemory();
    }
}

// The floor: one sample word of every trace, in file order.
void TimeSliceFloor(benchmark::State& state)
{
    CUBE_OR_SKIP(state);
    std::vector<uint32_t> words(std::size_t(kLines) * kLines);
    const SegyFile& file = *cube->file;
    const unsigned char* first = file.RawSamples(0);
    const qint64 stride = file.TraceOffset(1) - file.TraceOffset(0);
    int at = 0;
    for (auto _ : state) {
        const unsigned char* p = first + at * 4;
        for (std::size_t t = 0; t < words.size(); ++t)
            std::memcpy(&words[t], p + qint64(t) * stride, 4);
        at = (at + 37) % kSamples;
        benchmark::ClobberMemory();
    }
}

BENCHMARK(HeaderFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(HeaderColumns)->Arg(1)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(Build)->Unit(benchmark::kMillisecond);
BENCHMARK(Inline)->Unit(benchmark::kMillisecond);
BENCHMARK(InlineMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(Crossline)->Unit(benchmark::kMillisecond);
BENCHMARK(CrosslineMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(TimeSlice)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(TimeSliceFloor)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration, then prints the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    void Summary() const
    {
        const struct {
            const char* what;
            const char* run;
            const char* base;
        } ratios[] = {{"inline / memcpy", "Inline", "InlineMemcpy"},
            {"crossline / memcpy", "Crossline", "CrosslineMemcpy"},
            {"time slice, 1 thread / floor", "TimeSlice/1", "TimeSliceFloor"},
            {"time slice, 2 threads / floor", "TimeSlice/2", "TimeSliceFloor"}};
        std::printf("\n");
        for (const auto& r : ratios) {
            const auto a = times.find(r.run), b = times.find(r.base);
            if (a != times.end() && b != times.end() && b->second > 0)
                std::printf("%-32s %.2f\n", r.what, a->second / b->second);
        }
    }

private:
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Summary();
    QFile::remove(CubePath());
    return 0;
}
