// Sample format conversions against memcpy of the same byte count, in cache (16 Ki samples)
// and memory bound (16 Mi samples). The byte count of a routine's memcpy is the sample count
// times the wider of its source and destination sample. Each figure is the fastest of a few
// repetitions; the summary at the end divides each routine's time by its memcpy's.

#include "SampleFormats.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSmall = std::size_t{16} << 10;
constexpr std::size_t kLarge = std::size_t{16} << 20;
constexpr std::size_t kPoolBytes = kLarge * 8;

uint64_t NextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Inputs shaped like recorded traces: amplitudes over several decades, about one sample in
// twenty a zero (muted), in every encoding a routine reads.
struct Inputs {
    std::vector<float> floats;
    std::vector<double> doubles;
    std::vector<uint32_t> ibm;
    std::vector<uint32_t> ibmAnyWord; // every bit pattern: the exact, slower path throughout
    std::vector<unsigned char> ibmFile; // `ibm` in file order
    std::vector<int16_t> int16;
    std::vector<int32_t> int32;
    std::vector<unsigned char> bytes;

    Inputs()
        : floats(kLarge)
        , doubles(kLarge)
        , ibm(kLarge)
        , ibmAnyWord(kLarge)
        , ibmFile(4 * kLarge)
        , int16(kLarge)
        , int32(kLarge)
        , bytes(kPoolBytes)
    {
        uint64_t state = 0x9E3779B97F4A7C15u;
        for (std::size_t i = 0; i < kLarge; ++i) {
            const uint64_t r = NextRandom(state);
            const double unit = static_cast<double>(r >> 11) / 9007199254740992.0 - 0.5;
            const double decades = static_cast<double>(r & 0xFF) / 255.0 * 8.0 - 3.0;
            const float v
                = (r % 20 == 0) ? 0.0f : static_cast<float>(unit * std::pow(10.0, decades));
            floats[i] = v;
            doubles[i] = static_cast<double>(v) * (1.0 + 1e-9);
            ibmAnyWord[i] = static_cast<uint32_t>(r >> 17);
            int16[i] = static_cast<int16_t>(r >> 40);
            int32[i] = static_cast<int32_t>(r >> 7);
        }
        FloatToIbm(floats.data(), ibm.data(), static_cast<int>(kLarge));
        for (std::size_t i = 0; i < kLarge; ++i) {
            for (std::size_t b = 0; b < 4; ++b)
                ibmFile[4 * i + b] = static_cast<unsigned char>(ibm[i] >> (24 - 8 * b));
        }
        for (std::size_t i = 0; i < kPoolBytes; i += 8) {
            const uint64_t r = NextRandom(state);
            std::memcpy(&bytes[i], &r, 8);
        }
    }
};

const Inputs& TheInputs()
{
    static const Inputs inputs;
    return inputs;
}

struct Outputs {
    std::vector<unsigned char> dst = std::vector<unsigned char>(kPoolBytes, 1);
    std::vector<unsigned char> work = std::vector<unsigned char>(kLarge * 4, 1);
};

Outputs& TheOutputs()
{
    static Outputs outputs;
    return outputs;
}

template <typename T> T* Dst()
{
    return reinterpret_cast<T*>(TheOutputs().dst.data());
}

// One benchmark: `run(n)` converts n samples.
template <typename Run> void Measure(benchmark::State& state, std::size_t bytesPerSample, Run run)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    run(n);
    for (auto _ : state) {
        run(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n * bytesPerSample));
}

struct Entry {
    std::string name;
    std::size_t bytesPerSample;
    bool hasTarget; // an array routine, as opposed to a loop of single-value calls
    void (*run)(std::size_t n);
};

const std::vector<Entry>& Entries()
{
    static const std::vector<Entry> entries = {
        {"IbmToFloat", 4, true,
            [](std::size_t n) { IbmToFloat(TheInputs().ibm.data(), Dst<float>(), int(n)); }},
        {"IbmToFloat (any word)", 4, false,
            [](std::size_t n) { IbmToFloat(TheInputs().ibmAnyWord.data(), Dst<float>(), int(n)); }},
        {"IbmToDouble", 8, true,
            [](std::size_t n) { IbmToDouble(TheInputs().ibm.data(), Dst<double>(), int(n)); }},
        {"FloatToIbm", 4, true,
            [](std::size_t n) { FloatToIbm(TheInputs().floats.data(), Dst<uint32_t>(), int(n)); }},
        {"DoubleToIbm", 8, true,
            [](std::size_t n) {
                DoubleToIbm(TheInputs().doubles.data(), Dst<uint32_t>(), int(n));
            }},
        {"Int16ToFloat", 4, true,
            [](std::size_t n) { Int16ToFloat(TheInputs().int16.data(), Dst<float>(), int(n)); }},
        {"Int32ToFloat", 4, true,
            [](std::size_t n) { Int32ToFloat(TheInputs().int32.data(), Dst<float>(), int(n)); }},
        {"Int24ArrayToInt32", 4, true,
            [](std::size_t n) {
                Int24ArrayToInt32(TheInputs().bytes.data(), Dst<int32_t>(), int(n));
            }},
        {"Decode20Bit", 4, true,
            [](std::size_t n) {
                Decode20Bit(TheInputs().bytes.data(),
                    reinterpret_cast<int32_t*>(TheOutputs().work.data()), Dst<float>(), int(n));
            }},
        {"Decode8BitQuaternary", 4, true,
            [](std::size_t n) {
                Decode8BitQuaternary(TheInputs().bytes.data(), Dst<uint32_t>(), int(n));
            }},
        {"Decode16BitQuaternary", 4, true,
            [](std::size_t n) {
                Decode16BitQuaternary(TheInputs().bytes.data(), Dst<float>(), int(n));
            }},
        {"Decode8BitHex", 4, true,
            [](std::size_t n) { Decode8BitHex(TheInputs().bytes.data(), Dst<float>(), int(n)); }},
        {"Decode16BitHex", 4, true,
            [](std::size_t n) {
                Decode16BitHex(reinterpret_cast<const uint16_t*>(TheInputs().bytes.data()),
                    Dst<float>(), int(n));
            }},
        {"IbmBigEndianToFloat", 4, true,
            [](std::size_t n) {
                IbmBigEndianToFloat(TheInputs().ibmFile.data(), Dst<float>(), int(n));
            }},
        {"IbmBigEndianToDouble", 8, true,
            [](std::size_t n) {
                IbmBigEndianToDouble(TheInputs().ibmFile.data(), Dst<double>(), int(n));
            }},
        {"FloatToIbmBigEndian", 4, true,
            [](std::size_t n) {
                FloatToIbmBigEndian(TheInputs().floats.data(), Dst<unsigned char>(), int(n));
            }},
        {"Int16BigEndianToFloat", 4, true,
            [](std::size_t n) {
                Int16BigEndianToFloat(TheInputs().bytes.data(), Dst<float>(), int(n));
            }},
        {"Int32BigEndianToFloat", 4, true,
            [](std::size_t n) {
                Int32BigEndianToFloat(TheInputs().bytes.data(), Dst<float>(), int(n));
            }},
        {"SwapArray16", 2, true,
            [](std::size_t n) {
                SwapArray16(TheInputs().bytes.data(), Dst<unsigned char>(), int(n));
            }},
        {"SwapArray32", 4, true,
            [](std::size_t n) {
                SwapArray32(TheInputs().bytes.data(), Dst<unsigned char>(), int(n));
            }},
        {"SwapArray64", 8, true,
            [](std::size_t n) {
                SwapArray64(TheInputs().bytes.data(), Dst<unsigned char>(), int(n));
            }},
        {"BcdToInt (8 digits)", 4, false,
            [](std::size_t n) {
                const unsigned char* buf = TheInputs().bytes.data();
                int32_t* out = Dst<int32_t>();
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = BcdToInt(buf, int(4 * i), false, 8);
            }},
        {"Int24ToInt32", 4, false,
            [](std::size_t n) {
                const unsigned char* src = TheInputs().bytes.data();
                int32_t* out = Dst<int32_t>();
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = Int24ToInt32(src + 3 * i, 0);
            }},
        {"UInt24ToInt32", 4, false,
            [](std::size_t n) {
                const unsigned char* src = TheInputs().bytes.data();
                int32_t* out = Dst<int32_t>();
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = UInt24ToInt32(src + 3 * i, 1);
            }},
        {"SwapBytes (4 bytes)", 4, false,
            [](std::size_t n) {
                unsigned char* p = TheOutputs().dst.data();
                for (std::size_t i = 0; i < n; ++i)
                    SwapBytes(p + 4 * i, 4);
            }},
        {"Swap16", 2, false,
            [](std::size_t n) {
                unsigned char* p = TheOutputs().dst.data();
                for (std::size_t i = 0; i < n; ++i)
                    Swap16(p + 2 * i);
            }},
        {"ApplyScalar", 4, false,
            [](std::size_t n) {
                const float* src = TheInputs().floats.data();
                float* out = Dst<float>();
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = ApplyScalar(src[i], -100.0f);
            }},
        {"RemoveScalar", 4, false,
            [](std::size_t n) {
                const float* src = TheInputs().floats.data();
                float* out = Dst<float>();
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = RemoveScalar(src[i], -100.0f);
            }},
    };
    return entries;
}

std::string SizeName(std::size_t n)
{
    return n == kSmall ? "16Ki" : "16Mi";
}

std::string MemcpyName(std::size_t bytesPerSample)
{
    return "memcpy " + std::to_string(bytesPerSample) + " B/sample";
}

double Min(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

void Register()
{
    for (std::size_t n : {kSmall, kLarge}) {
        for (std::size_t width : {2, 4, 8}) {
            benchmark::RegisterBenchmark((MemcpyName(width) + "/" + SizeName(n)).c_str(),
                [width](benchmark::State& state) {
                    Measure(state, width, [width](std::size_t count) {
                        std::memcpy(
                            TheOutputs().dst.data(), TheInputs().bytes.data(), count * width);
                    });
                })
                ->Arg(static_cast<int64_t>(n))
                ->ComputeStatistics("min", Min)
                ->Unit(benchmark::kNanosecond);
        }
        for (const Entry& e : Entries()) {
            benchmark::RegisterBenchmark((e.name + "/" + SizeName(n)).c_str(),
                [&e](benchmark::State& state) { Measure(state, e.bytesPerSample, e.run); })
                ->Arg(static_cast<int64_t>(n))
                ->ComputeStatistics("min", Min)
                ->Unit(benchmark::kNanosecond);
        }
    }
}

// Keeps the fastest repetition of every benchmark while the console reporter prints as usual.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> fastest; // "name/size" -> nanoseconds per iteration

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min")
                continue;
            const std::string name = run.run_name.function_name;
            const double seconds = run.GetAdjustedRealTime();
            fastest[name] = seconds;
        }
    }
};

void PrintSummary(const RatioReporter& reporter)
{
    auto time = [&](const std::string& name) {
        const auto it = reporter.fastest.find(name);
        return it == reporter.fastest.end() ? -1.0 : it->second;
    };
    auto ratio = [&](const Entry& e, std::size_t n) {
        const double t = time(e.name + "/" + SizeName(n));
        const double m = time(MemcpyName(e.bytesPerSample) + "/" + SizeName(n));
        return t > 0 && m > 0 ? t / m : -1.0;
    };
    std::printf("\nTime as a multiple of memcpy of the same byte count (fastest of the "
                "repetitions)\n\n");
    std::printf("| %-24s | %-8s | %-8s | %-8s |\n", "routine", "B/sample", "16 Ki", "16 Mi");
    std::printf("|%s|%s|%s|%s|\n", std::string(26, '-').c_str(), std::string(10, '-').c_str(),
        std::string(10, '-').c_str(), std::string(10, '-').c_str());
    for (const Entry& e : Entries()) {
        std::printf("| %-24s | %-8zu | %8.2f | %8.2f |\n",
            (e.hasTarget ? e.name : e.name + " *").c_str(), e.bytesPerSample, ratio(e, kSmall),
            ratio(e, kLarge));
    }
    std::printf("\n* a loop of single-value calls, shown for reference\n");
    for (std::size_t width : {2, 4, 8}) {
        for (std::size_t n : {kSmall, kLarge}) {
            const double t = time(MemcpyName(width) + "/" + SizeName(n));
            std::printf("%s, %s samples: %.2f GB/s\n", MemcpyName(width).c_str(),
                SizeName(n).c_str(), t > 0 ? static_cast<double>(n * width) / t : 0.0);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Short runs by default (the machine is shared); any of these may be given again.
    std::vector<char*> args(argv, argv + argc);
    char minTime[] = "--benchmark_min_time=0.1";
    char repetitions[] = "--benchmark_repetitions=3";
    char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    args.insert(args.begin() + 1, {minTime, repetitions, aggregatesOnly});
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TheInputs();
    TheOutputs();
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
