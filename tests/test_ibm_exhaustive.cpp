// Every one of the 2^32 inputs of the IBM <-> IEEE single conversions against the plain
// reference. Long: labelled "exhaustive" in CTest.

#include "IbmReference.h"
#include "SampleFormats.h"

#include <QtTest>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kChunk = 1u << 16; // words per call; 2^16 chunks cover all 2^32
constexpr int kThreads = 2;

// Two orders of the same 2^32 words. Plain: chunk c holds c x 2^16 + j, so each block of
// neighbours shares sign and exponent (the conversions' common path for usual exponents).
// Mixed: the bits rotated so that sign and exponent change fastest, so every block mixes
// exponents (the exact path throughout).
uint32_t WordAt(bool mixed, uint32_t chunk, uint32_t j)
{
    const uint32_t x = (chunk << 16) | j;
    return mixed ? (x << 24) | (x >> 8) : x;
}

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

uint64_t Bits(double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

float FloatOf(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

struct Mismatches {
    uint64_t count = 0;
    QString first;

    void Add(const char* what, uint32_t input, uint64_t got, uint64_t expected)
    {
        if (count++ == 0)
            first = QStringLiteral("%1 0x%2: got 0x%3, expected 0x%4")
                        .arg(QLatin1String(what))
                        .arg(input, 8, 16, QLatin1Char('0'))
                        .arg(got, 8, 16, QLatin1Char('0'))
                        .arg(expected, 8, 16, QLatin1Char('0'));
    }

    void Merge(const Mismatches& other)
    {
        if (count == 0)
            first = other.first;
        count += other.count;
    }
};

// Runs check(chunk, mixed, mismatches) over every chunk of both orders on kThreads threads.
template <typename Check> Mismatches Sweep(Check check)
{
    std::vector<Mismatches> found(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &found, &check] {
            for (uint32_t chunk = static_cast<uint32_t>(t); chunk < (1u << 16); chunk += kThreads) {
                check(chunk, false, found[t]);
                check(chunk, true, found[t]);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    Mismatches all;
    for (const Mismatches& m : found)
        all.Merge(m);
    return all;
}

} // namespace

class TestIbmExhaustive : public QObject {
    Q_OBJECT

private slots:
    // IbmToFloat (in place on every other chunk) and IbmToDouble on every word.
    void ibmToFloatEveryWord()
    {
        const Mismatches m = Sweep([](uint32_t chunk, bool mixed, Mismatches& found) {
            std::vector<uint32_t> src(kChunk);
            std::vector<float> dst(kChunk);
            std::vector<double> wide(kChunk);
            for (uint32_t j = 0; j < kChunk; ++j)
                src[j] = WordAt(mixed, chunk, j);
            const bool inPlace = (chunk & 1u) != 0;
            std::vector<uint32_t> same(src);
            if (inPlace)
                IbmToFloat(same.data(), reinterpret_cast<float*>(same.data()), int(kChunk));
            else
                IbmToFloat(src.data(), dst.data(), int(kChunk));
            IbmToDouble(src.data(), wide.data(), int(kChunk));
            for (uint32_t j = 0; j < kChunk; ++j) {
                const uint32_t expected = IbmReference::IbmToIeee(src[j]);
                uint32_t got = 0;
                if (inPlace)
                    got = same[j];
                else
                    got = Bits(dst[j]);
                if (got != expected)
                    found.Add(
                        inPlace ? "IbmToFloat in place" : "IbmToFloat", src[j], got, expected);
                const uint64_t wideExpected = Bits(static_cast<double>(FloatOf(expected)));
                if (Bits(wide[j]) != wideExpected)
                    found.Add("IbmToDouble", src[j], Bits(wide[j]), wideExpected);
            }
        });
        QVERIFY2(m.count == 0,
            qPrintable(QStringLiteral("%1 mismatches; first: %2").arg(m.count).arg(m.first)));
    }

    // FloatToIbm (in place on every other chunk) on every pattern, and DoubleToIbm on every
    // float widened to double, which narrows back exactly.
    void floatToIbmEveryPattern()
    {
        const Mismatches m = Sweep([](uint32_t chunk, bool mixed, Mismatches& found) {
            std::vector<uint32_t> bits(kChunk);
            std::vector<float> src(kChunk);
            std::vector<double> wide(kChunk);
            std::vector<uint32_t> dst(kChunk);
            std::vector<uint32_t> fromWide(kChunk);
            for (uint32_t j = 0; j < kChunk; ++j) {
                bits[j] = WordAt(mixed, chunk, j);
                src[j] = FloatOf(bits[j]);
                wide[j] = static_cast<double>(src[j]);
            }
            const bool inPlace = (chunk & 1u) != 0;
            if (inPlace) {
                dst = bits;
                FloatToIbm(reinterpret_cast<const float*>(dst.data()), dst.data(), int(kChunk));
            } else {
                FloatToIbm(src.data(), dst.data(), int(kChunk));
            }
            DoubleToIbm(wide.data(), fromWide.data(), int(kChunk));
            for (uint32_t j = 0; j < kChunk; ++j) {
                const uint32_t expected = IbmReference::IeeeToIbm(bits[j]);
                if (dst[j] != expected)
                    found.Add(
                        inPlace ? "FloatToIbm in place" : "FloatToIbm", bits[j], dst[j], expected);
                if (fromWide[j] != expected)
                    found.Add("DoubleToIbm of widened float", bits[j], fromWide[j], expected);
            }
        });
        QVERIFY2(m.count == 0,
            qPrintable(QStringLiteral("%1 mismatches; first: %2").arg(m.count).arg(m.first)));
    }
};

QTEST_GUILESS_MAIN(TestIbmExhaustive)
#include "test_ibm_exhaustive.moc"
