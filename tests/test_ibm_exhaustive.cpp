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

// Buffers of one thread, reused from chunk to chunk.
struct Scratch {
    std::vector<uint32_t> words = std::vector<uint32_t>(kChunk);
    std::vector<uint32_t> same = std::vector<uint32_t>(kChunk);
    std::vector<float> floats = std::vector<float>(kChunk);
    std::vector<double> doubles = std::vector<double>(kChunk);
    std::vector<uint32_t> ibm = std::vector<uint32_t>(kChunk);
    std::vector<uint32_t> ibmFromDoubles = std::vector<uint32_t>(kChunk);
    // File-order words, one byte past an aligned start.
    std::vector<unsigned char> fileBytes = std::vector<unsigned char>(4 * kChunk + 1);
    std::vector<float> fromFile = std::vector<float>(kChunk);
};

// Word j of a file-order array, read byte by byte.
uint32_t FileWord(const unsigned char* bytes, uint32_t j)
{
    const unsigned char* p = bytes + 4 * j;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Runs check(chunk, mixed, scratch, mismatches) over the chunks of one sixteenth of the words
// (the top four bits of the chunk number), in both orders, on kThreads threads.
template <typename Check> Mismatches Sweep(uint32_t sixteenth, Check check)
{
    std::vector<Mismatches> found(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, sixteenth, &found, &check] {
            Scratch scratch;
            const uint32_t first = sixteenth << 12;
            for (uint32_t chunk = first + static_cast<uint32_t>(t); chunk < first + (1u << 12);
                 chunk += kThreads) {
                check(chunk, false, scratch, found[t]);
                check(chunk, true, scratch, found[t]);
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

void AddSixteenths()
{
    QTest::addColumn<uint32_t>("sixteenth");
    for (uint32_t s = 0; s < 16; ++s)
        QTest::newRow(qPrintable(QStringLiteral("chunks 0x%1xxx").arg(s, 0, 16))) << s;
}

} // namespace

class TestIbmExhaustive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifdef ORV_TEST_NEEDS_AVX2
        if (!__builtin_cpu_supports("avx2"))
            QSKIP("this build of the conversions needs AVX2");
#endif
    }

    void ibmToFloatEveryWord_data()
    {
        AddSixteenths();
    }

    // IbmToFloat (in place on every other chunk), IbmToDouble and IbmBigEndianToFloat (from
    // unaligned file-order bytes) on every word.
    void ibmToFloatEveryWord()
    {
        QFETCH(uint32_t, sixteenth);
        const Mismatches m = Sweep(
            sixteenth, [](uint32_t chunk, bool mixed, Scratch& s, Mismatches& found) {
                for (uint32_t j = 0; j < kChunk; ++j)
                    s.words[j] = WordAt(mixed, chunk, j);
                const bool inPlace = (chunk & 1u) != 0;
                if (inPlace) {
                    s.same = s.words;
                    IbmToFloat(s.same.data(), reinterpret_cast<float*>(s.same.data()), int(kChunk));
                } else {
                    IbmToFloat(s.words.data(), s.floats.data(), int(kChunk));
                }
                IbmToDouble(s.words.data(), s.doubles.data(), int(kChunk));
                unsigned char* file = s.fileBytes.data() + 1;
                for (uint32_t j = 0; j < kChunk; ++j) {
                    const uint32_t w = s.words[j];
                    const unsigned char bigEndian[4]
                        = {static_cast<unsigned char>(w >> 24), static_cast<unsigned char>(w >> 16),
                            static_cast<unsigned char>(w >> 8), static_cast<unsigned char>(w)};
                    std::memcpy(file + 4 * j, bigEndian, 4);
                }
                IbmBigEndianToFloat(file, s.fromFile.data(), int(kChunk));
                for (uint32_t j = 0; j < kChunk; ++j) {
                    const uint32_t w = s.words[j];
                    const uint32_t expected = IbmReference::IbmToIeee(w);
                    const uint32_t got = inPlace ? s.same[j] : Bits(s.floats[j]);
                    if (got != expected)
                        found.Add(inPlace ? "IbmToFloat in place" : "IbmToFloat", w, got, expected);
                    if (Bits(s.fromFile[j]) != expected)
                        found.Add("IbmBigEndianToFloat", w, Bits(s.fromFile[j]), expected);
                    const uint64_t wideExpected = Bits(static_cast<double>(FloatOf(expected)));
                    if (Bits(s.doubles[j]) != wideExpected)
                        found.Add("IbmToDouble", w, Bits(s.doubles[j]), wideExpected);
                }
            });
        QVERIFY2(m.count == 0,
            qPrintable(QStringLiteral("%1 mismatches; first: %2").arg(m.count).arg(m.first)));
    }

    void floatToIbmEveryPattern_data()
    {
        AddSixteenths();
    }

    // FloatToIbm (in place on every other chunk) and FloatToIbmBigEndian (to unaligned bytes) on
    // every pattern, and DoubleToIbm on every float widened to double, which narrows back
    // exactly.
    void floatToIbmEveryPattern()
    {
        QFETCH(uint32_t, sixteenth);
        const Mismatches m = Sweep(
            sixteenth, [](uint32_t chunk, bool mixed, Scratch& s, Mismatches& found) {
                for (uint32_t j = 0; j < kChunk; ++j) {
                    s.words[j] = WordAt(mixed, chunk, j);
                    s.floats[j] = FloatOf(s.words[j]);
                    s.doubles[j] = static_cast<double>(s.floats[j]);
                }
                const bool inPlace = (chunk & 1u) != 0;
                if (inPlace) {
                    s.ibm = s.words;
                    FloatToIbm(
                        reinterpret_cast<const float*>(s.ibm.data()), s.ibm.data(), int(kChunk));
                } else {
                    FloatToIbm(s.floats.data(), s.ibm.data(), int(kChunk));
                }
                DoubleToIbm(s.doubles.data(), s.ibmFromDoubles.data(), int(kChunk));
                unsigned char* file = s.fileBytes.data() + 1;
                FloatToIbmBigEndian(s.floats.data(), file, int(kChunk));
                for (uint32_t j = 0; j < kChunk; ++j) {
                    const uint32_t p = s.words[j];
                    const uint32_t expected = IbmReference::IeeeToIbm(p);
                    if (s.ibm[j] != expected)
                        found.Add(
                            inPlace ? "FloatToIbm in place" : "FloatToIbm", p, s.ibm[j], expected);
                    if (s.ibmFromDoubles[j] != expected)
                        found.Add("DoubleToIbm of widened float", p, s.ibmFromDoubles[j], expected);
                    if (FileWord(file, j) != expected)
                        found.Add("FloatToIbmBigEndian", p, FileWord(file, j), expected);
                }
            });
        QVERIFY2(m.count == 0,
            qPrintable(QStringLiteral("%1 mismatches; first: %2").arg(m.count).arg(m.first)));
    }
};

QTEST_GUILESS_MAIN(TestIbmExhaustive)
#include "test_ibm_exhaustive.moc"
