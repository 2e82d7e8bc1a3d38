#include "IbmReference.h"
#include "SampleFormats.h"

#include <QtTest>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <vector>

#if defined(__SSE2__)
#include <xmmintrin.h>
#define ORV_TEST_MXCSR 1
#endif

namespace {

QString Hex(uint64_t v)
{
    return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0'));
}

// Fractions that probe normalisation and dropped bits: each single bit, each count of leading
// zeros with every bit below it set, and random ones with each count of leading zeros.
std::vector<uint32_t> Fractions(int bits, std::mt19937& rng)
{
    const uint32_t all = (1u << bits) - 1;
    std::vector<uint32_t> f{0};
    for (int b = 0; b < bits; ++b) {
        f.push_back(1u << b);
        f.push_back(all >> b);
        f.push_back(((rng() & all) | (1u << (bits - 1))) >> b);
    }
    for (int i = 0; i < 8; ++i)
        f.push_back(rng() & all);
    return f;
}

// Every sign and exponent with the structured fractions, in three arrangements: runs of one
// exponent (blocks the conversions treat as common where the exponent is usual), shuffled (every
// block mixed), and zero fractions of every exponent scattered among usual words.
std::vector<uint32_t> StructuredIbmWords()
{
    std::mt19937 rng(4711);
    const std::vector<uint32_t> fractions = Fractions(24, rng);
    std::vector<uint32_t> runs;
    for (uint32_t sign = 0; sign < 2; ++sign)
        for (uint32_t e = 0; e < 128; ++e)
            for (uint32_t f : fractions)
                runs.push_back((sign << 31) | (e << 24) | f);
    std::vector<uint32_t> words = runs;
    std::shuffle(runs.begin(), runs.end(), rng);
    words.insert(words.end(), runs.begin(), runs.end());
    for (uint32_t top = 0; top < 256; ++top) {
        words.push_back(top << 24);
        for (int i = 0; i < 7; ++i)
            words.push_back((rng() & 0x80FFFFFFu) | ((39u + rng() % 58u) << 24) | 0x10u);
    }
    return words;
}

// Every sign and biased exponent with the structured fractions, arranged as the IBM words are;
// the zeros are scattered among normal numbers.
std::vector<uint32_t> StructuredFloatPatterns()
{
    std::mt19937 rng(815);
    const std::vector<uint32_t> fractions = Fractions(23, rng);
    std::vector<uint32_t> runs;
    for (uint32_t sign = 0; sign < 2; ++sign)
        for (uint32_t e = 0; e < 256; ++e)
            for (uint32_t f : fractions)
                runs.push_back((sign << 31) | (e << 23) | f);
    std::vector<uint32_t> patterns = runs;
    std::shuffle(runs.begin(), runs.end(), rng);
    patterns.insert(patterns.end(), runs.begin(), runs.end());
    for (uint32_t sign = 0; sign < 2; ++sign) {
        for (int i = 0; i < 100; ++i) {
            patterns.push_back(sign << 31);
            patterns.push_back((rng() & 0x807FFFFFu) | ((1u + rng() % 254u) << 23));
        }
    }
    return patterns;
}

// Doubles around the single-precision range: random ones over every exponent that narrows to
// a subnormal, normal or infinity, and exact midpoints between neighbouring floats (ties).
std::vector<double> StructuredDoubles()
{
    std::mt19937_64 rng(2024);
    std::vector<double> d{0.0, -0.0, std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min()};
    for (int e = -160; e <= 130; ++e) {
        for (int i = 0; i < 24; ++i) {
            const double v
                = std::ldexp(1.0 + static_cast<double>(rng() >> 12) / 4503599627370496.0, e);
            d.push_back(i % 2 != 0 ? -v : v);
        }
    }
    std::mt19937 rng32(99);
    for (int i = 0; i < 4000; ++i) {
        const uint32_t f = rng32() & 0x7FFFFFFEu;
        if ((f >> 23) >= 254)
            continue;
        const double lo = static_cast<double>(FloatOf(f));
        const double hi = static_cast<double>(FloatOf(f + 1));
        const double mid = lo + (hi - lo) / 2;
        d.push_back(mid);
        d.push_back(-mid);
        d.push_back(std::nextafter(mid, 0.0));
        d.push_back(std::nextafter(mid, 1e300));
    }
    return d;
}

std::vector<int32_t> StructuredInts()
{
    std::mt19937 rng(31337);
    std::vector<int32_t> v{
        0, 1, -1, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
    for (int b = 0; b < 31; ++b) {
        for (int d = -5; d <= 5; ++d) {
            v.push_back(static_cast<int32_t>((int64_t{1} << b) + d));
            v.push_back(static_cast<int32_t>(-(int64_t{1} << b) + d));
        }
    }
    for (int i = 0; i < 20000; ++i)
        v.push_back(static_cast<int32_t>(rng()) >> (rng() % 16));
    return v;
}

// Expected samples of the exponent formats, from their bit layouts, as exact doubles.
double Quaternary8Value(uint32_t b)
{
    const int q = (b >> 4) & 7;
    const int f = b & 15;
    return (b & 0x80) != 0 ? -std::ldexp(15 - f, 2 * q - 4) : std::ldexp(f, 2 * q - 4);
}

double Quaternary16Value(uint32_t hi, uint32_t lo)
{
    const int q = (hi >> 4) & 7;
    const int m = static_cast<int>(((hi & 15) << 8) | lo);
    const int v = (hi & 0x80) != 0 ? -(4095 - m) : m;
    return std::ldexp(v, 2 * q - 12);
}

double Hex8Value(uint32_t b)
{
    const int f = b & 31;
    const double v = std::ldexp(f, 4 * static_cast<int>((b >> 5) & 3) - 4);
    return f == 0 ? 0.0 : ((b & 0x80) != 0 ? -v : v);
}

double Hex16Value(uint32_t w)
{
    const int f = w & 0x1FFF;
    const double v = std::ldexp(f, 4 * static_cast<int>((w >> 13) & 3) - 12);
    return f == 0 ? 0.0 : ((w & 0x8000) != 0 ? -v : v);
}

int32_t Int24Value(uint32_t msb, uint32_t mid, uint32_t lsb)
{
    const int32_t v = static_cast<int32_t>((msb << 16) | (mid << 8) | lsb);
    return v >= 0x800000 ? v - 0x1000000 : v;
}

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<unsigned char> b(n);
    for (unsigned char& c : b)
        c = static_cast<unsigned char>(rng());
    return b;
}

// An array routine seen as bytes in, bytes out, for the checks that hold for all of them.
struct ArrayRoutine {
    const char* name;
    std::size_t inWidth;
    std::size_t outWidth;
    std::function<void(const unsigned char* in, unsigned char* out, unsigned char* out2, int count)>
        run;
    bool wholeGroups; // only multiples of 4 samples are written
    bool hasSecondOutput;
};

template <typename In, typename Out>
std::function<void(const unsigned char*, unsigned char*, unsigned char*, int)> Plain(
    void (*f)(const In*, Out*, int))
{
    return [f](const unsigned char* in, unsigned char* out, unsigned char*, int count) {
        f(reinterpret_cast<const In*>(in), reinterpret_cast<Out*>(out), count);
    };
}

std::vector<ArrayRoutine> ArrayRoutines()
{
    return {
        {"Int16ToFloat", 2, 4, Plain(Int16ToFloat), false, false},
        {"Int32ToFloat", 4, 4, Plain(Int32ToFloat), false, false},
        {"IbmToFloat", 4, 4, Plain(IbmToFloat), false, false},
        {"IbmToDouble", 4, 8, Plain(IbmToDouble), false, false},
        {"FloatToIbm", 4, 4, Plain(FloatToIbm), false, false},
        {"DoubleToIbm", 8, 4, Plain(DoubleToIbm), false, false},
        {"Int24ArrayToInt32", 3, 4, Plain(Int24ArrayToInt32), false, false},
        {"Decode8BitQuaternary", 1, 4, Plain(Decode8BitQuaternary), false, false},
        {"Decode16BitQuaternary", 2, 4, Plain(Decode16BitQuaternary), false, false},
        {"Decode8BitHex", 1, 4, Plain(Decode8BitHex), false, false},
        {"Decode16BitHex", 2, 4, Plain(Decode16BitHex), false, false},
        {"Decode20Bit", 10, 4,
            [](const unsigned char* in, unsigned char* out, unsigned char* out2, int count) {
                Decode20Bit(
                    in, reinterpret_cast<int32_t*>(out2), reinterpret_cast<float*>(out), count);
            },
            true, true},
        {"IbmBigEndianToFloat", 4, 4, Plain(IbmBigEndianToFloat), false, false},
        {"IbmBigEndianToDouble", 4, 8, Plain(IbmBigEndianToDouble), false, false},
        {"FloatToIbmBigEndian", 4, 4, Plain(FloatToIbmBigEndian), false, false},
        {"Int16BigEndianToFloat", 2, 4, Plain(Int16BigEndianToFloat), false, false},
        {"Int32BigEndianToFloat", 4, 4, Plain(Int32BigEndianToFloat), false, false},
        {"SwapArray16", 2, 2, Plain(SwapArray16), false, false},
        {"SwapArray32", 4, 4, Plain(SwapArray32), false, false},
        {"SwapArray64", 8, 8, Plain(SwapArray64), false, false},
    };
}

// The bytes of `bytes` with each element of `width` bytes reversed, one byte at a time.
std::vector<unsigned char> Reversed(std::vector<unsigned char> bytes, std::size_t width)
{
    for (std::size_t i = 0; i + width <= bytes.size(); i += width)
        std::reverse(
            bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + width));
    return bytes;
}

template <typename T> std::vector<unsigned char> AsBytes(const std::vector<T>& v)
{
    std::vector<unsigned char> bytes(v.size() * sizeof(T));
    std::memcpy(bytes.data(), v.data(), bytes.size());
    return bytes;
}

// A routine on file-order words and what it must equal: its host-order relative on the words
// swapped to host order (in aligned arrays), with the file-order side swapped back.
struct FusedRoutine {
    std::size_t inWidth;
    std::size_t outWidth;
    bool fileOrderIn; // else the output is in file order
    std::function<void(const unsigned char* in, unsigned char* out, int count)> fused;
    std::function<void(const unsigned char* in, unsigned char* out, int count)> hostOrder;
};

template <typename In, typename Out>
std::function<void(const unsigned char*, unsigned char*, int)> Bytewise(
    void (*f)(const In*, Out*, int))
{
    return [f](const unsigned char* in, unsigned char* out, int count) {
        f(reinterpret_cast<const In*>(in), reinterpret_cast<Out*>(out), count);
    };
}

#ifdef ORV_TEST_MXCSR
constexpr unsigned kFlushToZero = 0x8000; // MXCSR FTZ
constexpr unsigned kDenormalsAreZero = 0x0040; // MXCSR DAZ
constexpr unsigned kMxcsrControl = 0xFFC0; // everything but the exception flags
#endif

// One floating-point environment for the duration of one call.
struct FpEnvironment {
    int rounding;
    bool flushDenormals;
    QString name;
};

std::vector<FpEnvironment> FpEnvironments()
{
    const std::pair<int, const char*> modes[] = {{FE_TONEAREST, "nearest"}, {FE_UPWARD, "upward"},
        {FE_DOWNWARD, "downward"}, {FE_TOWARDZERO, "toward zero"}};
    std::vector<FpEnvironment> envs;
    for (const auto& mode : modes) {
        envs.push_back({mode.first, false, QLatin1String(mode.second)});
#ifdef ORV_TEST_MXCSR
        envs.push_back({mode.first, true, QLatin1String(mode.second) + QLatin1String(", FTZ+DAZ")});
#endif
    }
    return envs;
}

// Runs `call` in `env`, then restores the default environment. Fails if the call changed the
// rounding mode or the control bits, or raised an exception flag.
void RunIn(const FpEnvironment& env, const std::function<void()>& call)
{
    QCOMPARE(std::fesetround(env.rounding), 0);
#ifdef ORV_TEST_MXCSR
    const unsigned saved = _mm_getcsr();
    if (env.flushDenormals)
        _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero);
    const unsigned before = _mm_getcsr() & kMxcsrControl;
#endif
    std::feclearexcept(FE_ALL_EXCEPT);
    call();
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    const int rounding = std::fegetround();
#ifdef ORV_TEST_MXCSR
    const unsigned after = _mm_getcsr() & kMxcsrControl;
    _mm_setcsr(saved);
#endif
    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
    QCOMPARE(raised, 0);
    QCOMPARE(rounding, env.rounding);
#ifdef ORV_TEST_MXCSR
    QCOMPARE(after, before);
#endif
}

} // namespace

class TestSampleFormats : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifdef ORV_TEST_NEEDS_AVX2
        if (!__builtin_cpu_supports("avx2"))
            QSKIP("this build of the conversions needs AVX2");
#endif
    }

    void ibmToFloat_data()
    {
        QTest::addColumn<uint32_t>("ibm");
        QTest::addColumn<uint32_t>("ieee");
        QTest::newRow("0x41100000 -> 1.0") << 0x41100000u << 0x3F800000u;
        QTest::newRow("0xC2640000 -> -100") << 0xC2640000u << 0xC2C80000u;
        QTest::newRow("0x00000000 -> +0") << 0x00000000u << 0x00000000u;
        QTest::newRow("0x80000000 -> -0") << 0x80000000u << 0x80000000u;
        QTest::newRow("zero fraction, any exponent -> signed zero") << 0xC5000000u << 0x80000000u;
        QTest::newRow("unnormalised 0x42010000 -> 1.0") << 0x42010000u << 0x3F800000u;
        QTest::newRow("unnormalised 0x46000001 -> 1.0") << 0x46000001u << 0x3F800000u;
        QTest::newRow("0x40199999 (0.1 truncated)") << 0x40199999u << 0x3DCCCCC8u;
        QTest::newRow("0x21400000 -> smallest normal 2^-126") << 0x21400000u << 0x00800000u;
        QTest::newRow("0x21200000 -> 2^-127 subnormal") << 0x21200000u << 0x00400000u;
        QTest::newRow("0x21000001 -> 2^-148") << 0x21000001u << 0x00000002u;
        QTest::newRow("0x2000000F (15/8 ulp) truncated to 1 ulp") << 0x2000000Fu << 0x00000001u;
        QTest::newRow("0xA0000007 (7/8 ulp) truncated to -0") << 0xA0000007u << 0x80000000u;
        QTest::newRow("0x00FFFFFF far below -> +0") << 0x00FFFFFFu << 0x00000000u;
        QTest::newRow("0x60FFFFFF -> FLT_MAX") << 0x60FFFFFFu << 0x7F7FFFFFu;
        QTest::newRow("0x610FFFFF unnormalised, just fits") << 0x610FFFFFu << 0x7F7FFFF0u;
        QTest::newRow("0x61100000 = 2^128 -> +inf") << 0x61100000u << 0x7F800000u;
        QTest::newRow("0x7FFFFFFF -> +inf") << 0x7FFFFFFFu << 0x7F800000u;
        QTest::newRow("0xFFFFFFFF -> -inf") << 0xFFFFFFFFu << 0xFF800000u;
    }

    void ibmToFloat()
    {
        QFETCH(uint32_t, ibm);
        QFETCH(uint32_t, ieee);
        float f = 0;
        IbmToFloat(&ibm, &f, 1);
        QCOMPARE(Hex(Bits(f)), Hex(ieee));
        QCOMPARE(Hex(IbmReference::IbmToIeee(ibm)), Hex(ieee));
        double d = 0;
        IbmToDouble(&ibm, &d, 1);
        QCOMPARE(Hex(Bits(d)), Hex(Bits(static_cast<double>(FloatOf(ieee)))));
    }

    // Every sign and exponent with structured fractions, out of place, in place and widened.
    void ibmToFloatStructured()
    {
        const std::vector<uint32_t> words = StructuredIbmWords();
        const int n = static_cast<int>(words.size());
        std::vector<float> dst(words.size());
        std::vector<double> wide(words.size());
        std::vector<uint32_t> same = words;
        IbmToFloat(words.data(), dst.data(), n);
        IbmToDouble(words.data(), wide.data(), n);
        IbmToFloat(same.data(), reinterpret_cast<float*>(same.data()), n);
        for (std::size_t i = 0; i < words.size(); ++i) {
            const uint32_t expected = IbmReference::IbmToIeee(words[i]);
            const QByteArray what = Hex(words[i]).toLatin1();
            QVERIFY2(Bits(dst[i]) == expected, what);
            QVERIFY2(same[i] == expected, what);
            QVERIFY2(Bits(wide[i]) == Bits(static_cast<double>(FloatOf(expected))), what);
        }
    }

    void floatToIbm_data()
    {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::addColumn<float>("value");
        QTest::addColumn<uint32_t>("ibm");
        QTest::newRow("1.0 -> 0x41100000") << 1.0f << 0x41100000u;
        QTest::newRow("-100 -> 0xC2640000") << -100.0f << 0xC2640000u;
        QTest::newRow("0.5 -> 0x40800000") << 0.5f << 0x40800000u;
        QTest::newRow("0.1f -> 0x40199999 (3 bits dropped)") << 0.1f << 0x40199999u;
        QTest::newRow("+0 -> 0x00000000") << 0.0f << 0x00000000u;
        QTest::newRow("-0 -> 0x80000000") << -0.0f << 0x80000000u;
        QTest::newRow("+inf -> 0x7FFFFFFF") << inf << 0x7FFFFFFFu;
        QTest::newRow("-inf -> 0xFFFFFFFF") << -inf << 0xFFFFFFFFu;
        QTest::newRow("NaN -> 0x7FFFFFFF") << nan << 0x7FFFFFFFu;
        QTest::newRow("-NaN -> 0xFFFFFFFF") << -nan << 0xFFFFFFFFu;
        QTest::newRow("FLT_MAX -> 0x60FFFFFF") << std::numeric_limits<float>::max() << 0x60FFFFFFu;
        QTest::newRow("smallest normal -> 0x21400000") << FloatOf(0x00800000u) << 0x21400000u;
        QTest::newRow("subnormal bit 22 -> exponent 33") << FloatOf(0x00400000u) << 0x21200000u;
        QTest::newRow("subnormal bit 21 -> exponent 33") << FloatOf(0x80200001u) << 0xA1100000u;
        QTest::newRow("subnormal below bit 21 -> exponent 32")
            << FloatOf(0x001FFFFFu) << 0x20FFFFF8u;
        QTest::newRow("smallest subnormal -> 0x20000008") << FloatOf(0x00000001u) << 0x20000008u;
    }

    void floatToIbm()
    {
        QFETCH(float, value);
        QFETCH(uint32_t, ibm);
        uint32_t w = 0;
        FloatToIbm(&value, &w, 1);
        QCOMPARE(Hex(w), Hex(ibm));
        QCOMPARE(Hex(IbmReference::IeeeToIbm(Bits(value))), Hex(ibm));
        const double wide = value;
        DoubleToIbm(&wide, &w, 1);
        QCOMPARE(Hex(w), Hex(ibm));
    }

    // Every sign and exponent with structured fractions, out of place and in place; and back:
    // a normal float returns with the fraction bits dropped to reach a multiple-of-4 exponent
    // cleared.
    void floatToIbmStructured()
    {
        const std::vector<uint32_t> patterns = StructuredFloatPatterns();
        const int n = static_cast<int>(patterns.size());
        std::vector<float> src(patterns.size());
        for (std::size_t i = 0; i < patterns.size(); ++i)
            src[i] = FloatOf(patterns[i]);
        std::vector<uint32_t> dst(patterns.size());
        std::vector<uint32_t> same = patterns;
        FloatToIbm(src.data(), dst.data(), n);
        FloatToIbm(reinterpret_cast<const float*>(same.data()), same.data(), n);
        std::vector<float> back(patterns.size());
        IbmToFloat(dst.data(), back.data(), n);
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            const uint32_t p = patterns[i];
            const uint32_t expected = IbmReference::IeeeToIbm(p);
            const QByteArray what = Hex(p).toLatin1();
            QVERIFY2(dst[i] == expected, what);
            QVERIFY2(same[i] == expected, what);
            const uint32_t e = (p >> 23) & 0xFF;
            if (e != 0 && e != 255) {
                const uint32_t dropped = (4 - (e + 130) % 4) % 4;
                QVERIFY2(Bits(back[i]) == (p & ~((1u << dropped) - 1)), what);
            }
        }
    }

    void doubleToIbm_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<uint32_t>("ibm");
        // With a binary exponent of -1 all 24 bits of the single reach the IBM word.
        const double ulp = std::ldexp(1.0, -24);
        QTest::newRow("0.5 -> 0x40800000") << 0.5 << 0x40800000u;
        QTest::newRow("0.5 + ulp") << 0.5 + ulp << 0x40800001u;
        QTest::newRow("0.5 + ulp/2: tie to even, down") << 0.5 + ulp / 2 << 0x40800000u;
        QTest::newRow("0.5 + 3 ulp/2: tie to even, up") << 0.5 + 3 * ulp / 2 << 0x40800002u;
        QTest::newRow("0.5 + ulp/2 + a little: up")
            << 0.5 + ulp / 2 + std::ldexp(1.0, -50) << 0x40800001u;
        QTest::newRow("0.5 + ulp/2 - a little: down")
            << 0.5 + ulp / 2 - std::ldexp(1.0, -50) << 0x40800000u;
        QTest::newRow("-(0.5 + 3 ulp/2)") << -(0.5 + 3 * ulp / 2) << 0xC0800002u;
        const double fltMax = std::numeric_limits<float>::max();
        const double halfUlpOfMax = std::ldexp(1.0, 103);
        QTest::newRow("FLT_MAX") << fltMax << 0x60FFFFFFu;
        QTest::newRow("FLT_MAX + quarter ulp") << fltMax + halfUlpOfMax / 2 << 0x60FFFFFFu;
        QTest::newRow("FLT_MAX + half ulp: tie, to infinity")
            << fltMax + halfUlpOfMax << 0x7FFFFFFFu;
        QTest::newRow("-1e39: -infinity") << -1e39 << 0xFFFFFFFFu;
        QTest::newRow("DBL_MAX") << std::numeric_limits<double>::max() << 0x7FFFFFFFu;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0x7FFFFFFFu;
        QTest::newRow("2^-150: tie, to +0") << std::ldexp(1.0, -150) << 0x00000000u;
        QTest::newRow("2^-150 + a little: smallest subnormal")
            << std::ldexp(1.0, -150) + std::ldexp(1.0, -170) << 0x20000008u;
        QTest::newRow("3 x 2^-150: tie, to 2 x 2^-149") << 3 * std::ldexp(1.0, -150) << 0x20000010u;
        QTest::newRow("-2^-200: -0") << -std::ldexp(1.0, -200) << 0x80000000u;
        QTest::newRow("double subnormal: +0")
            << std::numeric_limits<double>::denorm_min() << 0x00000000u;
        QTest::newRow("just below 2^-126: rounds up to it")
            << std::ldexp(1.0, -126) - std::ldexp(1.0, -160) << 0x21400000u;
    }

    void doubleToIbm()
    {
        QFETCH(double, value);
        QFETCH(uint32_t, ibm);
        uint32_t w = 0;
        DoubleToIbm(&value, &w, 1);
        QCOMPARE(Hex(w), Hex(ibm));
    }

    // The narrowing is the IEEE one of the default environment.
    void doubleToIbmStructured()
    {
        const std::vector<double> values = StructuredDoubles();
        std::vector<uint32_t> dst(values.size());
        DoubleToIbm(values.data(), dst.data(), static_cast<int>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) {
            const uint32_t expected = IbmReference::IeeeToIbm(Bits(static_cast<float>(values[i])));
            QVERIFY2(dst[i] == expected, Hex(Bits(values[i])).toLatin1());
        }
    }

    void int32ToFloat_data()
    {
        QTest::addColumn<int32_t>("value");
        QTest::addColumn<uint32_t>("ieee");
        QTest::newRow("0 -> +0") << 0 << 0x00000000u;
        QTest::newRow("-1") << -1 << 0xBF800000u;
        QTest::newRow("2^24 + 1: tie to even, down") << 16777217 << 0x4B800000u;
        QTest::newRow("2^24 + 3: tie to even, up") << 16777219 << 0x4B800002u;
        QTest::newRow("2^25 + 3: nearest, up") << 33554435 << 0x4C000001u;
        QTest::newRow("-(2^25 + 5): nearest, down") << -33554437 << 0xCC000001u;
        QTest::newRow("INT_MAX -> 2^31") << std::numeric_limits<int32_t>::max() << 0x4F000000u;
        QTest::newRow("INT_MIN -> -2^31") << std::numeric_limits<int32_t>::min() << 0xCF000000u;
    }

    void int32ToFloat()
    {
        QFETCH(int32_t, value);
        QFETCH(uint32_t, ieee);
        float f = 1;
        Int32ToFloat(&value, &f, 1);
        QCOMPARE(Hex(Bits(f)), Hex(ieee));
    }

    // Integers to float against the IEEE conversion of the default environment.
    void integersToFloatStructured()
    {
        const std::vector<int32_t> ints = StructuredInts();
        std::vector<float> dst(ints.size());
        Int32ToFloat(ints.data(), dst.data(), static_cast<int>(ints.size()));
        for (std::size_t i = 0; i < ints.size(); ++i)
            QVERIFY2(
                Bits(dst[i]) == Bits(static_cast<float>(ints[i])), QByteArray::number(ints[i]));
        std::vector<int16_t> shorts(65536);
        for (int i = 0; i < 65536; ++i)
            shorts[i] = static_cast<int16_t>(i - 32768);
        std::vector<float> fromShorts(65536);
        Int16ToFloat(shorts.data(), fromShorts.data(), 65536);
        for (int i = 0; i < 65536; ++i)
            QCOMPARE(fromShorts[i], static_cast<float>(i - 32768));
    }

    void exponentFormats_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<uint32_t>("ieee");
        auto row = [](const char* name, const char* routine, QByteArray bytes, uint32_t ieee) {
            QTest::newRow(name) << QString::fromLatin1(routine) << bytes << ieee;
        };
        row("q8 0x18 -> 2.0", "q8", QByteArray("\x18", 1), 0x40000000u);
        row("q8 0x01 -> 0.0625", "q8", QByteArray("\x01", 1), Bits(0.0625f));
        row("q8 0x7F -> 15360", "q8", QByteArray("\x7F", 1), Bits(15360.0f));
        row("q8 0x10 -> pattern 0", "q8", QByteArray("\x10", 1), 0u);
        row("q8 0x00 -> pattern 0", "q8", QByteArray("\x00", 1), 0u);
        row("q8 0x8F (one's complement 0) -> -0.0", "q8", QByteArray("\x8F", 1), 0x80000000u);
        row("q8 0x80 -> -15/16", "q8", QByteArray("\x80", 1), Bits(-0.9375f));
        row("q8 0xF7 -> -8/16 x 4^7", "q8", QByteArray("\xF7", 1), Bits(-8192.0f));
        row("q16 0x08 0x00 -> 0.5", "q16", QByteArray("\x08\x00", 2), Bits(0.5f));
        row("q16 0x18 0x00 -> 2.0", "q16", QByteArray("\x18\x00", 2), Bits(2.0f));
        row("q16 0xF7 0xFF -> -8192", "q16", QByteArray("\xF7\xFF", 2), Bits(-8192.0f));
        row("q16 0x8F 0xFF -> +0", "q16", QByteArray("\x8F\xFF", 2), 0u);
        row("q16 0x80 0x00 -> -4095/4096", "q16", QByteArray("\x80\x00", 2), Bits(-4095.0f / 4096));
        row("h8 0x10 -> 1.0", "h8", QByteArray("\x10", 1), Bits(1.0f));
        row("h8 0x30 -> 16.0", "h8", QByteArray("\x30", 1), Bits(16.0f));
        row("h8 0x90 -> -1.0", "h8", QByteArray("\x90", 1), Bits(-1.0f));
        row("h8 0x80 -> +0.0", "h8", QByteArray("\x80", 1), 0u);
        row("h8 0x7F -> 31/16 x 16^3", "h8", QByteArray("\x7F", 1), Bits(7936.0f));
        row("h16 0x1000 -> 1.0", "h16", QByteArray("\x00\x10", 2), Bits(1.0f));
        row("h16 0x3000 -> 16.0", "h16", QByteArray("\x00\x30", 2), Bits(16.0f));
        row("h16 0x8000 -> +0.0", "h16", QByteArray("\x00\x80", 2), 0u);
        row("h16 0x9FFF -> -8191/4096", "h16", QByteArray("\xFF\x9F", 2), Bits(-8191.0f / 4096));
    }

    // Decode16BitHex takes host-order words: the rows give them little-endian.
    void exponentFormats()
    {
        QFETCH(QString, routine);
        QFETCH(QByteArray, bytes);
        QFETCH(uint32_t, ieee);
        const auto* src = reinterpret_cast<const unsigned char*>(bytes.constData());
        uint32_t got = 0xDEADBEEF;
        float f = 0;
        if (routine == QLatin1String("q8")) {
            Decode8BitQuaternary(src, &got, 1);
        } else if (routine == QLatin1String("q16")) {
            Decode16BitQuaternary(src, &f, 1);
            got = Bits(f);
        } else if (routine == QLatin1String("h8")) {
            Decode8BitHex(src, &f, 1);
            got = Bits(f);
        } else {
            const uint16_t w = static_cast<uint16_t>(src[0] | (src[1] << 8));
            Decode16BitHex(&w, &f, 1);
            got = Bits(f);
        }
        QCOMPARE(Hex(got), Hex(ieee));
    }

    // The four exponent formats over every byte or word, against their bit layouts.
    void exponentFormatsEveryInput()
    {
        std::vector<unsigned char> bytes(256);
        for (int i = 0; i < 256; ++i)
            bytes[i] = static_cast<unsigned char>(i);
        std::vector<uint32_t> q8(256);
        std::vector<float> h8(256);
        Decode8BitQuaternary(bytes.data(), q8.data(), 256);
        Decode8BitHex(bytes.data(), h8.data(), 256);
        for (uint32_t b = 0; b < 256; ++b) {
            QVERIFY2(q8[b] == Bits(static_cast<float>(Quaternary8Value(b))), Hex(b).toLatin1());
            QVERIFY2(Bits(h8[b]) == Bits(static_cast<float>(Hex8Value(b))), Hex(b).toLatin1());
        }
        std::vector<unsigned char> pairs(2 * 65536);
        std::vector<uint16_t> words(65536);
        for (uint32_t w = 0; w < 65536; ++w) {
            pairs[2 * w] = static_cast<unsigned char>(w >> 8);
            pairs[2 * w + 1] = static_cast<unsigned char>(w);
            words[w] = static_cast<uint16_t>(w);
        }
        std::vector<float> q16(65536);
        std::vector<float> h16(65536);
        Decode16BitQuaternary(pairs.data(), q16.data(), 65536);
        Decode16BitHex(words.data(), h16.data(), 65536);
        for (uint32_t w = 0; w < 65536; ++w) {
            const float q = static_cast<float>(Quaternary16Value(w >> 8, w & 0xFF));
            QVERIFY2(Bits(q16[w]) == Bits(q), Hex(w).toLatin1());
            QVERIFY2(Bits(h16[w]) == Bits(static_cast<float>(Hex16Value(w))), Hex(w).toLatin1());
        }
    }

    void int24_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("littleEndian");
        QTest::addColumn<int32_t>("signedValue");
        QTest::addColumn<int32_t>("unsignedValue");
        QTest::newRow("FF FF FE big-endian")
            << QByteArray("\xFF\xFF\xFE", 3) << 0 << -2 << 16777214;
        QTest::newRow("FE FF FF little-endian")
            << QByteArray("\xFE\xFF\xFF", 3) << 1 << -2 << 16777214;
        QTest::newRow("any non-zero flag is little-endian")
            << QByteArray("\xFE\xFF\xFF", 3) << -7 << -2 << 16777214;
        QTest::newRow("7F FF FF big-endian")
            << QByteArray("\x7F\xFF\xFF", 3) << 0 << 8388607 << 8388607;
        QTest::newRow("80 00 00 big-endian")
            << QByteArray("\x80\x00\x00", 3) << 0 << -8388608 << 8388608;
        QTest::newRow("01 02 03 little-endian")
            << QByteArray("\x01\x02\x03", 3) << 1 << 0x030201 << 0x030201;
    }

    void int24()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, littleEndian);
        QFETCH(int32_t, signedValue);
        QFETCH(int32_t, unsignedValue);
        const auto* src = reinterpret_cast<const unsigned char*>(bytes.constData());
        QCOMPARE(Int24ToInt32(src, littleEndian), signedValue);
        QCOMPARE(UInt24ToInt32(src, littleEndian), unsignedValue);
    }

    // All 2^24 values, both byte orders and the big-endian array form.
    void int24EveryValue()
    {
        const int n = 1 << 24;
        std::vector<unsigned char> be(3 * std::size_t(n));
        for (int v = 0; v < n; ++v) {
            be[3 * v] = static_cast<unsigned char>(v >> 16);
            be[3 * v + 1] = static_cast<unsigned char>(v >> 8);
            be[3 * v + 2] = static_cast<unsigned char>(v);
        }
        std::vector<int32_t> array(n);
        Int24ArrayToInt32(be.data(), array.data(), n);
        for (int v = 0; v < n; ++v) {
            const unsigned char* p = &be[3 * std::size_t(v)];
            const unsigned char le[3] = {p[2], p[1], p[0]};
            const int32_t expected = Int24Value(p[0], p[1], p[2]);
            if (array[v] != expected || Int24ToInt32(p, 0) != expected
                || Int24ToInt32(le, 1) != expected || UInt24ToInt32(p, 0) != v
                || UInt24ToInt32(le, 1) != v)
                QFAIL(qPrintable(QStringLiteral("24-bit value %1").arg(v)));
        }
    }

    void decode20Bit_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QVector<int>>("values");
        QTest::newRow("exponents 0x0123, mantissas 1 -> 1 2 4 8") << QByteArray(
            "\x01\x23\x00\x01\x00\x01\x00\x01\x00\x01", 10) << QVector<int>{1, 2, 4, 8};
        QTest::newRow("mantissa 0xFFFF with exponent 4 -> -16") << QByteArray(
            "\x40\x00\xFF\xFF\x00\x00\x00\x00\x00\x00", 10) << QVector<int>{-16, 0, 0, 0};
        QTest::newRow("extremes with exponent 15")
            << QByteArray("\xFF\xF0\x80\x00\x7F\xFF\x80\x00\x12\x34", 10)
            << QVector<int>{-(1 << 30), 32767 * 32768, -(1 << 30), 0x1234};
    }

    void decode20Bit()
    {
        QFETCH(QByteArray, group);
        QFETCH(QVector<int>, values);
        int32_t work[4];
        float dst[4];
        Decode20Bit(reinterpret_cast<const unsigned char*>(group.constData()), work, dst, 4);
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(work[k], values[k]);
            QCOMPARE(dst[k], static_cast<float>(values[k]));
        }
    }

    // Every mantissa with every exponent.
    void decode20BitEveryMantissa()
    {
        const int groups = 16 * 65536 / 4;
        std::vector<unsigned char> src(10 * std::size_t(groups));
        std::vector<int32_t> expected(4 * std::size_t(groups));
        for (int g = 0; g < groups; ++g) {
            unsigned char* p = &src[10 * std::size_t(g)];
            const int e = g % 16;
            p[0] = static_cast<unsigned char>((e << 4) | ((e + 1) % 16));
            p[1] = static_cast<unsigned char>((((e + 2) % 16) << 4) | ((e + 3) % 16));
            for (int k = 0; k < 4; ++k) {
                const uint32_t m = static_cast<uint32_t>(g / 16 * 4 + k) & 0xFFFF;
                p[2 + 2 * k] = static_cast<unsigned char>(m >> 8);
                p[3 + 2 * k] = static_cast<unsigned char>(m);
                expected[4 * std::size_t(g) + k] = static_cast<int32_t>(
                    static_cast<int16_t>(m) * (int64_t{1} << ((e + k) % 16)));
            }
        }
        std::vector<int32_t> work(expected.size());
        std::vector<float> dst(expected.size());
        Decode20Bit(src.data(), work.data(), dst.data(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(work[i], expected[i]);
            QCOMPARE(dst[i], static_cast<float>(expected[i]));
        }
    }

    void bcdToInt_data()
    {
        QTest::addColumn<QByteArray>("buf");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("skipFirstNibble");
        QTest::addColumn<int>("digitCount");
        QTest::addColumn<int>("value");
        const QByteArray b1234("\x12\x34", 2);
        QTest::newRow("12 34, 4 digits -> 1234") << b1234 << 0 << false << 4 << 1234;
        QTest::newRow("12 34, 3 digits -> 123") << b1234 << 0 << false << 3 << 123;
        QTest::newRow("12 34, skip, 3 digits -> 234") << b1234 << 0 << true << 3 << 234;
        QTest::newRow("12 34, skip, 2 digits -> 23") << b1234 << 0 << true << 2 << 23;
        QTest::newRow("12 34, skip, 1 digit -> 2") << b1234 << 0 << true << 1 << 2;
        QTest::newRow("0 digits -> 0") << b1234 << 0 << false << 0 << 0;
        QTest::newRow("-3 digits -> 0") << b1234 << 0 << true << -3 << 0;
        QTest::newRow("offset 2") << QByteArray("\x99\x99\x56\x78", 4) << 2 << false << 4 << 5678;
        QTest::newRow("nibbles above 9 count as 10..15")
            << QByteArray("\xAF", 1) << 0 << false << 2 << 10 * 10 + 15;
        QTest::newRow("10 digits 4294967295 -> -1 (modulo 2^32)")
            << QByteArray("\x42\x94\x96\x72\x95", 5) << 0 << false << 10 << -1;
        QTest::newRow("10 digits 2147483648 -> INT_MIN") << QByteArray("\x21\x47\x48\x36\x48",
            5) << 0 << false << 10 << std::numeric_limits<int>::min();
        QTest::newRow("64 digits: no limit")
            << QByteArray(30, '\x00') + QByteArray("\x12\x34", 2) << 0 << false << 64 << 1234;
        QTest::newRow("61 digits from the low nibble")
            << QByteArray(30, '\x00') + QByteArray("\x01", 1) << 0 << true << 61 << 1;
    }

    // The field is copied into a buffer of exactly its length, so that reading a byte past the
    // digits would be caught by the address sanitizer.
    void bcdToInt()
    {
        QFETCH(QByteArray, buf);
        QFETCH(int, offset);
        QFETCH(bool, skipFirstNibble);
        QFETCH(int, digitCount);
        QFETCH(int, value);
        const int nibbles = (skipFirstNibble ? 1 : 0) + std::max(digitCount, 0);
        const int used = offset + (nibbles + 1) / 2;
        QVERIFY(used <= buf.size());
        std::vector<unsigned char> exact(buf.begin(), buf.begin() + used);
        QCOMPARE(BcdToInt(exact.data(), offset, skipFirstNibble, digitCount), value);
    }

    void swapBytes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("size 2") << 2 << QByteArray("\x02\x01\x03\x04\x05\x06\x07\x08\x09", 9);
        QTest::newRow("size 4") << 4 << QByteArray("\x04\x03\x02\x01\x05\x06\x07\x08\x09", 9);
        QTest::newRow("size 8") << 8 << QByteArray("\x08\x07\x06\x05\x04\x03\x02\x01\x09", 9);
        const QByteArray same("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
        for (int size : {-2, 0, 1, 3, 5, 6, 7, 9, 16})
            QTest::newRow(qPrintable(QStringLiteral("size %1 unchanged").arg(size)))
                << size << same;
    }

    void swapBytes()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, expected);
        QByteArray bytes("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
        SwapBytes(bytes.data(), size);
        QCOMPARE(bytes, expected);
        if (size == 2) {
            QByteArray again("\x01\x02\x03", 3);
            Swap16(again.data());
            QCOMPARE(again, QByteArray("\x02\x01\x03", 3));
        }
    }

    void scalars_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<float>("scalar");
        QTest::addColumn<float>("applied");
        QTest::newRow("12.5, -100 -> 0.125") << 12.5f << -100.0f << 0.125f;
        QTest::newRow("3, 4 -> 12") << 3.0f << 4.0f << 12.0f;
        QTest::newRow("scalar 0 leaves the value") << 7.25f << 0.0f << 7.25f;
        QTest::newRow("scalar -0 leaves the value") << -7.25f << -0.0f << -7.25f;
    }

    void scalars()
    {
        QFETCH(float, value);
        QFETCH(float, scalar);
        QFETCH(float, applied);
        QCOMPARE(ApplyScalar(value, scalar), applied);
        QCOMPARE(RemoveScalar(applied, scalar), value);
    }

    void bigEndianMatchesHostOrder_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::newRow("IbmBigEndianToFloat") << QStringLiteral("IbmBigEndianToFloat");
        QTest::newRow("IbmBigEndianToDouble") << QStringLiteral("IbmBigEndianToDouble");
        QTest::newRow("FloatToIbmBigEndian") << QStringLiteral("FloatToIbmBigEndian");
        QTest::newRow("Int16BigEndianToFloat") << QStringLiteral("Int16BigEndianToFloat");
        QTest::newRow("Int32BigEndianToFloat") << QStringLiteral("Int32BigEndianToFloat");
    }

    // Each file-order routine against its host-order relative on the swapped words, with the
    // source and the destination at every byte offset 0 to 3, counts that end inside or after
    // the blocks and vectors, and guard bytes on both sides of the output.
    void bigEndianMatchesHostOrder()
    {
        QFETCH(QString, routine);
        const std::map<QString, FusedRoutine> routines = {
            {"IbmBigEndianToFloat",
                {4, 4, true, Bytewise(IbmBigEndianToFloat), Bytewise(IbmToFloat)}},
            {"IbmBigEndianToDouble",
                {4, 8, true, Bytewise(IbmBigEndianToDouble), Bytewise(IbmToDouble)}},
            {"FloatToIbmBigEndian",
                {4, 4, false, Bytewise(FloatToIbmBigEndian), Bytewise(FloatToIbm)}},
            {"Int16BigEndianToFloat",
                {2, 4, true, Bytewise(Int16BigEndianToFloat), Bytewise(Int16ToFloat)}},
            {"Int32BigEndianToFloat",
                {4, 4, true, Bytewise(Int32BigEndianToFloat), Bytewise(Int32ToFloat)}},
        };
        const FusedRoutine& r = routines.at(routine);
        // IBM words and float patterns of every exponent, or integers. The shuffled half of the
        // patterns comes first, so that short counts see mixed exponents too.
        std::vector<uint32_t> words = routine.startsWith(QLatin1String("Float"))
            ? StructuredFloatPatterns()
            : StructuredIbmWords();
        std::rotate(
            words.begin(), words.begin() + static_cast<long>(words.size() / 2), words.end());
        const std::vector<unsigned char> input
            = routine.startsWith(QLatin1String("Int")) ? AsBytes(StructuredInts()) : AsBytes(words);
        const int all = static_cast<int>(input.size() / r.inWidth) - 4;
        const std::size_t pad = 16;
        const unsigned char guard = 0xA5;
        for (std::size_t a = 0; a < 4; ++a) {
            for (std::size_t b = 0; b < 4; ++b) {
                // Bytes any offset from an aligned start; host numbers whole elements from it.
                const std::size_t srcOffset = r.fileOrderIn ? a : a * r.inWidth;
                const std::size_t dstOffset = r.fileOrderIn ? b * r.outWidth : b;
                for (int count : {1, 3, 15, 16, 17, 63, 64, 65, 130, 1001, all}) {
                    const std::size_t inBytes = r.inWidth * std::size_t(count);
                    const std::size_t outBytes = r.outWidth * std::size_t(count);
                    const std::vector<unsigned char> src(
                        input.begin() + static_cast<long>(srcOffset),
                        input.begin() + static_cast<long>(srcOffset + inBytes));
                    std::vector<unsigned char> expected(outBytes);
                    if (r.fileOrderIn) {
                        r.hostOrder(Reversed(src, r.inWidth).data(), expected.data(), count);
                    } else {
                        r.hostOrder(src.data(), expected.data(), count);
                        expected = Reversed(expected, r.inWidth);
                    }
                    std::vector<unsigned char> in(srcOffset + inBytes);
                    std::copy(src.begin(), src.end(), in.begin() + static_cast<long>(srcOffset));
                    std::vector<unsigned char> out(dstOffset + outBytes + 2 * pad, guard);
                    unsigned char* dst = out.data() + pad + dstOffset;
                    r.fused(in.data() + srcOffset, dst, count);
                    const QByteArray what = QStringLiteral("%1 source +%2 destination +%3 count %4")
                                                .arg(routine)
                                                .arg(srcOffset)
                                                .arg(dstOffset)
                                                .arg(count)
                                                .toLatin1();
                    QVERIFY2(std::equal(expected.begin(), expected.end(), dst), what);
                    QVERIFY2(
                        std::all_of(out.begin(), out.begin() + static_cast<long>(pad + dstOffset),
                            [&](unsigned char b) { return b == guard; }),
                        what);
                    QVERIFY2(
                        std::all_of(out.begin() + static_cast<long>(pad + dstOffset + outBytes),
                            out.end(), [&](unsigned char b) { return b == guard; }),
                        what);
                }
            }
        }
    }

    void swapArrays_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("inPlace");
        for (int width : {2, 4, 8}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 bytes").arg(width))) << width << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 bytes in place").arg(width)))
                << width << true;
        }
    }

    // Every element's bytes reversed, at byte offsets 0 to 3 on either side, the bytes around the
    // destination untouched.
    void swapArrays()
    {
        QFETCH(int, width);
        QFETCH(bool, inPlace);
        void (*swap)(const void*, void*, int)
            = width == 2 ? SwapArray16 : (width == 4 ? SwapArray32 : SwapArray64);
        const std::vector<unsigned char> input = RandomBytes(8 * 700, 11);
        const std::size_t pad = 16;
        const unsigned char guard = 0x5A;
        for (std::size_t srcOffset = 0; srcOffset < 4; ++srcOffset) {
            for (std::size_t dstOffset = 0; dstOffset < 4; ++dstOffset) {
                if (inPlace && dstOffset != srcOffset)
                    continue;
                for (int count : {1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100, 699}) {
                    const std::size_t bytes = std::size_t(width) * std::size_t(count);
                    const std::vector<unsigned char> src(
                        input.begin() + static_cast<long>(srcOffset),
                        input.begin() + static_cast<long>(srcOffset + bytes));
                    const std::vector<unsigned char> expected = Reversed(src, std::size_t(width));
                    std::vector<unsigned char> in(srcOffset + bytes);
                    std::copy(src.begin(), src.end(), in.begin() + static_cast<long>(srcOffset));
                    std::vector<unsigned char> out(dstOffset + bytes + 2 * pad, guard);
                    unsigned char* dst = out.data() + pad + dstOffset;
                    if (inPlace) {
                        std::copy(src.begin(), src.end(), dst);
                        swap(dst, dst, count);
                    } else {
                        swap(in.data() + srcOffset, dst, count);
                    }
                    const QByteArray what = QStringLiteral("source +%1 destination +%2 count %3")
                                                .arg(srcOffset)
                                                .arg(dstOffset)
                                                .arg(count)
                                                .toLatin1();
                    QVERIFY2(std::equal(expected.begin(), expected.end(), dst), what);
                    QVERIFY2(
                        std::all_of(out.begin(), out.begin() + static_cast<long>(pad + dstOffset),
                            [&](unsigned char b) { return b == guard; }),
                        what);
                    QVERIFY2(std::all_of(out.begin() + static_cast<long>(pad + dstOffset + bytes),
                                 out.end(), [&](unsigned char b) { return b == guard; }),
                        what);
                }
            }
        }
    }

    // Counts of 0 or less write nothing; other counts write exactly their samples (whole groups
    // for Decode20Bit), the same as a longer call gives for them.
    void countsAndGuards()
    {
        const std::vector<unsigned char> input = RandomBytes(8 * 300, 7);
        const unsigned char guard = 0xA5;
        for (const ArrayRoutine& r : ArrayRoutines()) {
            std::vector<unsigned char> full(r.outWidth * 300);
            std::vector<unsigned char> full2(4 * 300);
            r.run(input.data(), full.data(), full2.data(), 300);
            for (int count : {0, -1, -64, 1, 2, 3, 5, 6, 7, 63, 64, 65, 130, 257}) {
                const std::size_t pad = 16;
                std::vector<unsigned char> out(r.outWidth * 300 + 2 * pad, guard);
                std::vector<unsigned char> out2(4 * 300 + 2 * pad, guard);
                r.run(input.data(), out.data() + pad, out2.data() + pad, count);
                const int written = count <= 0 ? 0 : (r.wholeGroups ? count / 4 * 4 : count);
                const QByteArray what = QByteArray(r.name) + " count " + QByteArray::number(count);
                const std::size_t end = pad + r.outWidth * std::size_t(written);
                for (std::size_t i = 0; i < out.size(); ++i) {
                    const bool inside = i >= pad && i < end;
                    QVERIFY2(inside ? out[i] == full[i - pad] : out[i] == guard, what);
                }
                const std::size_t end2 = pad + 4 * std::size_t(written);
                for (std::size_t i = 0; i < out2.size(); ++i) {
                    const bool inside = r.hasSecondOutput && i >= pad && i < end2;
                    QVERIFY2(inside ? out2[i] == full2[i - pad] : out2[i] == guard, what);
                }
            }
        }
    }

    // The bit-pattern routines give the same bits under every rounding mode, with
    // flush-to-zero and denormals-are-zero on, and leave the environment as they found it.
    void sameBitsInEveryFpEnvironment()
    {
        const std::vector<uint32_t> ibm = StructuredIbmWords();
        const std::vector<uint32_t> patterns = StructuredFloatPatterns();
        const std::vector<double> doubles = StructuredDoubles();
        const std::vector<int32_t> ints = StructuredInts();
        const std::vector<unsigned char> bytes = RandomBytes(1 << 16, 3);
        std::vector<float> floats(patterns.size());
        std::memcpy(floats.data(), patterns.data(), 4 * patterns.size());
        std::vector<uint16_t> words(bytes.size() / 2);
        std::memcpy(words.data(), bytes.data(), bytes.size());

        // Each call writes its results as raw bytes.
        const std::vector<std::pair<const char*, std::function<QByteArray()>>> calls = {
            {"IbmToFloat",
                [&] {
                    QByteArray out(int(4 * ibm.size()), 0);
                    IbmToFloat(ibm.data(), reinterpret_cast<float*>(out.data()), int(ibm.size()));
                    return out;
                }},
            {"IbmToDouble",
                [&] {
                    QByteArray out(int(8 * ibm.size()), 0);
                    IbmToDouble(ibm.data(), reinterpret_cast<double*>(out.data()), int(ibm.size()));
                    return out;
                }},
            {"FloatToIbm",
                [&] {
                    QByteArray out(int(4 * floats.size()), 0);
                    FloatToIbm(
                        floats.data(), reinterpret_cast<uint32_t*>(out.data()), int(floats.size()));
                    return out;
                }},
            {"DoubleToIbm",
                [&] {
                    QByteArray out(int(4 * doubles.size()), 0);
                    DoubleToIbm(doubles.data(), reinterpret_cast<uint32_t*>(out.data()),
                        int(doubles.size()));
                    return out;
                }},
            {"Int32ToFloat",
                [&] {
                    QByteArray out(int(4 * ints.size()), 0);
                    Int32ToFloat(
                        ints.data(), reinterpret_cast<float*>(out.data()), int(ints.size()));
                    return out;
                }},
            {"Int32BigEndianToFloat",
                [&] {
                    QByteArray out(int(4 * ints.size()), 0);
                    Int32BigEndianToFloat(reinterpret_cast<const unsigned char*>(ints.data()),
                        reinterpret_cast<float*>(out.data()), int(ints.size()));
                    return out;
                }},
            {"IbmBigEndianToFloat",
                [&] {
                    QByteArray out(int(4 * ibm.size()), 0);
                    IbmBigEndianToFloat(reinterpret_cast<const unsigned char*>(ibm.data()),
                        reinterpret_cast<float*>(out.data()), int(ibm.size()));
                    return out;
                }},
            {"Decode20Bit",
                [&] {
                    const int n = int(bytes.size() / 10 * 4);
                    QByteArray out(8 * n, 0);
                    Decode20Bit(bytes.data(), reinterpret_cast<int32_t*>(out.data()),
                        reinterpret_cast<float*>(out.data() + 4 * n), n);
                    return out;
                }},
            {"Decode8BitQuaternary",
                [&] {
                    QByteArray out(int(4 * bytes.size()), 0);
                    Decode8BitQuaternary(
                        bytes.data(), reinterpret_cast<uint32_t*>(out.data()), int(bytes.size()));
                    return out;
                }},
            {"Decode16BitQuaternary",
                [&] {
                    QByteArray out(int(2 * bytes.size()), 0);
                    Decode16BitQuaternary(
                        bytes.data(), reinterpret_cast<float*>(out.data()), int(bytes.size() / 2));
                    return out;
                }},
            {"Decode8BitHex",
                [&] {
                    QByteArray out(int(4 * bytes.size()), 0);
                    Decode8BitHex(
                        bytes.data(), reinterpret_cast<float*>(out.data()), int(bytes.size()));
                    return out;
                }},
            {"Decode16BitHex",
                [&] {
                    QByteArray out(int(4 * words.size()), 0);
                    Decode16BitHex(
                        words.data(), reinterpret_cast<float*>(out.data()), int(words.size()));
                    return out;
                }},
        };
        for (const auto& call : calls) {
            const QByteArray expected = call.second();
            for (const FpEnvironment& env : FpEnvironments()) {
                QByteArray got;
                RunIn(env, [&] { got = call.second(); });
                if (QTest::currentTestFailed())
                    QFAIL(qPrintable(QStringLiteral("%1 under %2").arg(call.first, env.name)));
                QVERIFY2(got == expected,
                    qPrintable(QStringLiteral("%1 under %2").arg(call.first, env.name)));
            }
        }
    }

    // The scale factors are plain arithmetic: they round as the environment says.
    void scalarsFollowTheEnvironment()
    {
        std::fesetround(FE_UPWARD);
        const float up = ApplyScalar(1.0f, -3.0f);
        const float upRemoved = RemoveScalar(1.0f, 3.0f);
        std::fesetround(FE_DOWNWARD);
        const float down = ApplyScalar(1.0f, -3.0f);
        const float downRemoved = RemoveScalar(1.0f, 3.0f);
        std::fesetround(FE_TONEAREST);
        QCOMPARE(std::nextafter(down, 1.0f), up);
        QCOMPARE(std::nextafter(downRemoved, 1.0f), upRemoved);
    }
};

QTEST_GUILESS_MAIN(TestSampleFormats)
#include "test_sample_formats.moc"
