// Writes a SEG-Y file for the orv-segy speed checks (bench-segy-tool.sh): big-endian, IBM
// samples of a few decaying sine waves, inline and crossline numbers in bytes 189 and 193.
//
// make_segy_file PATH TRACES SAMPLES

#include "SegyWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_segy_file PATH TRACES SAMPLES\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 traces = std::atoll(argv[2]);
    const int samples = std::atoi(argv[3]);
    SegyWriteOptions options;
    options.format = 1;
    SegyWriter writer(path, options);
    writer.SetTextHeader({QStringLiteral("C 1 SYNTHETIC LINE FOR SPEED CHECKS")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), 2000);
    QString error;
    if (!writer.Begin(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const SegyField& inlineField = *FindSegyTraceField(189);
    const SegyField& crosslineField = *FindSegyTraceField(193);
    std::vector<float> values(static_cast<size_t>(samples));
    SegyTraceHeader header;
    for (qint64 i = 0; i < traces; ++i) {
        header.SetValue(inlineField, 1000 + i / 1000);
        header.SetValue(crosslineField, 2000 + i % 1000);
        for (int s = 0; s < samples; ++s) {
            const double t = s * 0.002;
            values[size_t(s)] = float(std::exp(-t) * std::sin(2 * M_PI * (25 + i % 7) * t) * 1000);
        }
        if (!writer.WriteTrace(header, values.data(), samples, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    if (!writer.Finish(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
