// Reading SEG-Y files already in the page cache, against memcpy of the same bytes from the same
// mapping. Files of 1 GiB of samples per format (big-endian, 1000 samples a trace) and one of
// 1 million traces of 100 samples are written once into ORV_BENCH_DIR (default: the system's
// temporary folder) and removed at the end. The summary divides each read's time by its memcpy's.

#include "SegyFile.h"
#include "SegyWriter.h"

#include <QDir>
#include <QFile>
#include <QString>

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

constexpr int kSamples = 1000;
constexpr qint64 kSampleBytes = qint64{1} << 30;
constexpr qint64 kHeaderTraces = 1000000;

QString Folder()
{
    const QByteArray env = qgetenv("ORV_BENCH_DIR");
    return env.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(env);
}

QString PathOf(const std::string& name)
{
    return Folder() + QStringLiteral("/orv-bench-") + QString::fromStdString(name)
        + QStringLiteral(".sgy");
}

// Amplitudes over several decades, as recorded traces have.
void FillTrace(std::vector<float>& s, qint64 t)
{
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = float(std::sin(double(i) * 0.05 + double(t))
            * std::pow(10.0, double((i + std::size_t(t)) % 7) - 3.0));
}

bool Write(const QString& path, int format, qint64 traces, int samples)
{
    SegyWriteOptions options;
    options.format = format;
    SegyWriter writer(path, options);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    QString error;
    if (!writer.Begin(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    std::vector<float> s(std::size_t(samples), 0.0f);
    SegyTraceHeader h;
    for (qint64 t = 0; t < traces; ++t) {
        h.SetValue("inline", 1000 + t / 1000);
        h.SetValue("crossline", t % 1000);
        FillTrace(s, t);
        if (!writer.WriteTrace(h, s.data(), samples, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    }
    return writer.Finish(&error);
}

struct BenchFile {
    QString path;
    std::unique_ptr<SegyFile> file;
};

std::map<std::string, BenchFile>& Files()
{
    static std::map<std::string, BenchFile> files;
    return files;
}

const SegyFile* Open(const std::string& name, int format, qint64 traces, int samples)
{
    BenchFile& f = Files()[name];
    if (f.file)
        return f.file.get();
    f.path = PathOf(name);
    if (!Write(f.path, format, traces, samples))
        return nullptr;
    QString error;
    f.file = SegyFile::Open(f.path, &error);
    if (!f.file)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return f.file.get();
}

const SegyFile* SampleFile(int format)
{
    const SegyFormat* f = FindSegyFormat(format);
    const qint64 traces = kSampleBytes / (qint64(kSamples) * f->bytesPerSample);
    return Open("format" + std::to_string(format), format, traces, kSamples);
}

// Every trace's samples into one reused float buffer.
void ReadAll(benchmark::State& state, int format)
{
    const SegyFile* file = SampleFile(format);
    if (!file) {
        state.SkipWithError("cannot write the file");
        return;
    }
    std::vector<float> buffer(kSamples);
    for (auto _ : state) {
        for (qint64 t = 0; t < file->TraceCount(); ++t)
            file->ReadSamples(t, buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(
        state.iterations() * file->TraceCount() * kSamples * file->Format().bytesPerSample);
}

// The same sample bytes copied from the same mapping into one reused buffer.
void CopyAll(benchmark::State& state, int format)
{
    const SegyFile* file = SampleFile(format);
    if (!file) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const std::size_t bytes = std::size_t(kSamples) * std::size_t(file->Format().bytesPerSample);
    std::vector<unsigned char> buffer(bytes);
    for (auto _ : state) {
        for (qint64 t = 0; t < file->TraceCount(); ++t)
            std::memcpy(buffer.data(), file->RawSamples(t), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * file->TraceCount() * qint64(bytes));
}

// One header field of every trace into a caller's array.
void HeaderColumn(benchmark::State& state)
{
    const SegyFile* file = Open("headers", 1, kHeaderTraces, 100);
    if (!file) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const SegyField& inlineField = *FindSegyTraceField(189);
    std::vector<int32_t> column(std::size_t(file->TraceCount()));
    for (auto _ : state) {
        file->ReadTraceFieldColumn(inlineField, 0, file->TraceCount(), column.data());
        benchmark::ClobberMemory();
    }
}

const int kFormats[] = {1, 5, 3, 2};

double Fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

void Register()
{
    for (int format : kFormats) {
        benchmark::RegisterBenchmark(
            ("read/format" + std::to_string(format)).c_str(), ReadAll, format)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->ComputeStatistics("min", Fastest);
        benchmark::RegisterBenchmark(
            ("memcpy/format" + std::to_string(format)).c_str(), CopyAll, format)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->ComputeStatistics("min", Fastest);
    }
    benchmark::RegisterBenchmark("header column/1M traces", HeaderColumn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", Fastest);
}

// Keeps the fastest repetition of each benchmark for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> fastest;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min")
                continue;
            const std::string name = run.run_name.function_name;
            fastest[name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
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

    std::printf("\nReading every trace of 1 GiB of samples (page cache) against memcpy of the same "
                "bytes\n\n");
    std::printf("| format | read ms | memcpy ms | ratio |\n|---|---|---|---|\n");
    for (int format : kFormats) {
        const std::string n = std::to_string(format);
        const auto read = reporter.fastest.find("read/format" + n);
        const auto copy = reporter.fastest.find("memcpy/format" + n);
        if (read != reporter.fastest.end() && copy != reporter.fastest.end())
            std::printf("| %d | %.1f | %.1f | %.2f |\n", format, read->second, copy->second,
                read->second / copy->second);
    }
    const auto column = reporter.fastest.find("header column/1M traces");
    if (column != reporter.fastest.end())
        std::printf("\nOne header field of 1 million traces: %.1f ns per trace\n",
            column->second * 1e6 / double(kHeaderTraces));
    for (auto& f : Files()) {
        f.second.file.reset();
        QFile::remove(f.second.path);
    }
    benchmark::Shutdown();
    return 0;
}
