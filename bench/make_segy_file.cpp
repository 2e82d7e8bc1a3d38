// Writes a SEG-Y file for the orv-segy speed checks (bench-segy-tool.sh) and examples: a
// big-endian IBM line of 1000 traces per inline, samples of a few decaying sine waves, with trace
// sequence and CDP numbers, CDP coordinates and inline and crossline numbers in the headers.
// CROSSLINES (1000 when not given) sets the traces per inline.
//
// make_segy_file PATH TRACES SAMPLES [CROSSLINES]

#include "SegyWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: make_segy_file PATH TRACES SAMPLES [CROSSLINES]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 traces = std::atoll(argv[2]);
    const int samples = std::atoi(argv[3]);
    const qint64 perLine = argc == 5 ? std::max(1LL, std::atoll(argv[4])) : 1000;
    SegyWriteOptions options;
    options.format = 1;
    SegyWriter writer(path, options);
    writer.SetTextHeader(
        {QStringLiteral("C 1 CLIENT TESSAVO CORP      AREA NORTH FLANK   SYNTHETIC 3D"),
            QStringLiteral("C 2 INLINES FROM 1000, 1000 CROSSLINES FROM 2000, BIN 25 M X 25 M"),
            QStringLiteral("C 3 SAMPLE INTERVAL 2 MS, IBM FLOATING POINT"),
            QStringLiteral("C 4 INLINE BYTES 189-192, CROSSLINE BYTES 193-196"),
            QStringLiteral("C 5 CDP X BYTES 181-184, CDP Y BYTES 185-188")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3213), 1);
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), 2000);
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3255), 1);
    QString error;
    if (!writer.Begin(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const SegyField& sequence = *FindSegyTraceField(1);
    const SegyField& cdp = *FindSegyTraceField(21);
    const SegyField& cdpX = *FindSegyTraceField(181);
    const SegyField& cdpY = *FindSegyTraceField(185);
    const SegyField& inlineField = *FindSegyTraceField(189);
    const SegyField& crosslineField = *FindSegyTraceField(193);
    std::vector<float> values(static_cast<size_t>(samples));
    SegyTraceHeader header;
    for (qint64 i = 0; i < traces; ++i) {
        header.SetValue(sequence, i + 1);
        header.SetValue(cdp, i + 1);
        header.SetValue(cdpX, 500000 + 25 * (i % perLine));
        header.SetValue(cdpY, 6700000 + 25 * (i / perLine));
        header.SetValue(inlineField, 1000 + i / perLine);
        header.SetValue(crosslineField, 2000 + i % perLine);
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
