// Writes a post-stack cube that looks like a delivered survey, with the faults such files
// often have, as an example for orv-segy check: 150 inlines (1200-1349) of 240 crosslines
// (3000-3478, step 2), 751 samples at 2 ms in IBM floating point, and
// - a corner outside the survey filled with zero (dead) traces;
// - no traces around a platform near inline 1275, crossline 3240;
// - crosslines 3100-3120 of inline 1330 written a second time after that inline;
// - coordinates in centimetres (scalar -100) up to inline 1299, in decimetres (-10) after;
// - trace headers of inline 1349 giving a 4 ms sample interval;
// - a trace count at bytes 3513-3520 in a file marked revision 1;
// - an ASCII line pasted into the EBCDIC textual header;
// - the last trace cut short.
//
// make_check_example PATH

#include "SegyWriter.h"

#include <QFile>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kInlines = 150;
constexpr int kCrosslines = 240;
constexpr int kSamples = 751;

const SegyField& Field(int byte)
{
    return *FindSegyTraceField(byte);
}

bool Fail(const QString& error)
{
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.SetTextHeader({QStringLiteral("C 1 CLIENT TESSAVO CORP   AREA NORTH FLANK   3D PSTM"),
        QStringLiteral("C 2 INLINES 1200-1349, CROSSLINES 3000-3478 STEP 2, BIN 25 M X 12.5 M"),
        QStringLiteral("C 3 751 SAMPLES AT 2 MS, IBM FLOATING POINT, RECORD LENGTH 1500 MS"),
        QStringLiteral("C 4 INLINE BYTES 189-192, CROSSLINE BYTES 193-196"),
        QStringLiteral("C 5 CDP X BYTES 181-184, CDP Y BYTES 185-188, UTM 31N"),
        QStringLiteral("C40 END TEXTUAL HEADER")});
    SegyBinaryHeader& binary = writer.BinaryHeader();
    binary.SetValue(*FindSegyBinaryField(3205), 7);
    binary.SetValue(*FindSegyBinaryField(3213), 1);
    binary.SetValue(*FindSegyBinaryField(3217), 2000);
    binary.SetValue(*FindSegyBinaryField(3229), 4);
    binary.SetValue(*FindSegyBinaryField(3255), 1);
    QString error;
    if (!writer.Begin(&error))
        return Fail(error);

    std::vector<float> samples(kSamples);
    SegyTraceHeader header;
    qint64 sequence = 0;
    auto write = [&](int il, int xl) {
        const int inlineNumber = 1200 + il;
        const int crossline = 3000 + 2 * xl;
        const bool centimetres = inlineNumber < 1300;
        const double x = 512000.0 + 12.5 * xl + 3.2 * il;
        const double y = 6710000.0 + 25.0 * il - 1.6 * xl;
        header.SetValue(Field(1), ++sequence);
        header.SetValue(Field(5), sequence);
        header.SetValue(Field(21), il * kCrosslines + xl + 1);
        header.SetValue(Field(71), centimetres ? -100 : -10);
        header.SetValue(Field(115), kSamples);
        header.SetValue(Field(117), inlineNumber == 1349 ? 4000 : 2000);
        header.SetValue(Field(181), std::llround(x * (centimetres ? 100 : 10)));
        header.SetValue(Field(185), std::llround(y * (centimetres ? 100 : 10)));
        header.SetValue(Field(189), inlineNumber);
        header.SetValue(Field(193), crossline);
        const bool outside = il + (kCrosslines - 1 - xl) < 12;
        for (int s = 0; s < kSamples; ++s) {
            const double t = s * 0.002;
            const double reflectivity = std::sin(2 * M_PI * 30 * t + 0.01 * il)
                + 0.5 * std::sin(2 * M_PI * (18 + xl % 5) * t + 0.02 * xl);
            samples[std::size_t(s)]
                = outside ? 0.0f : float(800 * std::exp(-1.2 * t) * reflectivity);
        }
        return writer.WriteTrace(header, samples.data(), kSamples, &error);
    };
    for (int il = 0; il < kInlines; ++il) {
        for (int xl = 0; xl < kCrosslines; ++xl) {
            const double di = il - 75, dx = (xl - 120) * 0.5;
            if (di * di + dx * dx < 30)
                continue;
            if (!write(il, xl))
                return Fail(error);
        }
        if (il == 130) {
            for (int xl = 50; xl <= 60; ++xl) {
                if (!write(il, xl))
                    return Fail(error);
            }
        }
    }
    if (!writer.Finish(&error))
        return Fail(error);
    return true;
}

bool Patch(const QString& path, qint64 at, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(at) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_check_example PATH\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (!WriteCube(path))
        return 1;
    QFile file(path);
    const qint64 size = file.size();
    const qint64 traces = (size - 3600) / (240 + 4 * kSamples);
    // Trace count (8 bytes, big-endian) in a revision 1 binary header.
    QByteArray count(8, '\0');
    for (int i = 0; i < 8; ++i)
        count[i] = char(traces >> (8 * (7 - i)));
    const bool patched = Patch(path, 3512, count)
        && Patch(path, 38 * 80, "C39 REFORMATTED 2019-03-14 FOR DELIVERY")
        && file.resize(size - 1200);
    if (!patched) {
        std::fprintf(stderr, "cannot patch %s\n", argv[1]);
        return 1;
    }
    return 0;
}
