// The C++ side of the Dask job's test (test_rms_job.py):
//   zarr_rms_probe make PATH       writes the test cube: inlines 100-129, crosslines 200-278 in
//                                  steps of 2, 200 samples of 4 ms, IBM; a block of missing bins
//                                  and an all-zero trace at inline 110, crossline 220;
//   zarr_rms_probe rms PATH T0 T1  prints "inline crossline rms" per bin, the RMS of the samples
//                                  at T0 to T1 ms (both included) through the geometry and the
//                                  reader; "nan" where no trace is.

#include "SegyGeometry.h"
#include "SegyWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kSamples = 200;

int Fail(const QString& message)
{
    std::fprintf(stderr, "zarr_rms_probe: %s\n", qPrintable(message));
    return 1;
}

bool Missing(int il, int xl)
{
    return il >= 120 && il < 124 && xl >= 250 && xl < 260;
}

int Make(const QString& path)
{
    SegyWriter writer(path);
    writer.SetTextHeader({QStringLiteral("C 1 DASK JOB TEST CUBE")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), 4000);
    QString error;
    if (!writer.Begin(&error))
        return Fail(error);
    std::vector<float> values(kSamples);
    SegyTraceHeader header;
    for (int il = 100; il < 130; ++il) {
        for (int xl = 200; xl < 280; xl += 2) {
            if (Missing(il, xl))
                continue;
            header.SetValue(*FindSegyTraceField(189), il);
            header.SetValue(*FindSegyTraceField(193), xl);
            header.SetValue(*FindSegyTraceField(181), 1000 * xl);
            header.SetValue(*FindSegyTraceField(185), 1000 * il);
            for (int s = 0; s < kSamples; ++s) {
                const double t = s * 0.004;
                values[size_t(s)] = il == 110 && xl == 220
                    ? 0.0f
                    : float((1 + 0.1 * (il - 100)) * std::sin(2 * M_PI * (10 + xl % 17) * t)
                        + 0.01 * xl * std::cos(2 * M_PI * 35 * t));
            }
            if (!writer.WriteTrace(header, values.data(), kSamples, &error))
                return Fail(error);
        }
    }
    return writer.Finish(&error) ? 0 : Fail(error);
}

int Rms(const QString& path, double t0, double t1)
{
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(path, &error);
    if (!file)
        return Fail(error);
    const std::unique_ptr<SegyGeometry> geometry = SegyGeometry::Build(*file, &error);
    if (!geometry)
        return Fail(error);
    const double interval = file->SampleInterval() / 1000.0;
    std::vector<float> samples(size_t(file->SamplesPerTrace()));
    const SegyAxis& inlines = geometry->Inlines();
    const SegyAxis& crosslines = geometry->Crosslines();
    for (qint64 i = 0; i < inlines.count; ++i) {
        for (qint64 j = 0; j < crosslines.count; ++j) {
            const qint64 trace = geometry->TraceNumber(inlines.At(i), crosslines.At(j));
            double rms = std::nan("");
            if (trace >= 0) {
                if (!file->ReadSamples(trace, samples.data(), &error))
                    return Fail(error);
                double sum = 0;
                int n = 0;
                for (size_t s = 0; s < samples.size(); ++s) {
                    const double t = double(s) * interval;
                    if (t >= t0 && t <= t1) {
                        sum += double(samples[s]) * double(samples[s]);
                        ++n;
                    }
                }
                rms = std::sqrt(sum / n);
            }
            std::printf("%lld %lld %.17g\n", inlines.At(i), crosslines.At(j), rms);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "make") == 0)
        return Make(QString::fromLocal8Bit(argv[2]));
    if (argc == 5 && std::strcmp(argv[1], "rms") == 0)
        return Rms(QString::fromLocal8Bit(argv[2]), std::atof(argv[3]), std::atof(argv[4]));
    std::fprintf(stderr, "usage: zarr_rms_probe make PATH | rms PATH T0 T1\n");
    return 2;
}
