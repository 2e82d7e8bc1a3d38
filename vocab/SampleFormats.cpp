#include "SampleFormats.h"

#include <cstddef>
#include <cstring>

// Every conversion is integer work on bit patterns. The only floating-point instructions are
// conversions of integers of at most 24 significant bits to float or double, which are exact:
// they never round, raise no exception flag and see no denormal, so neither the rounding mode
// nor flush-to-zero / denormals-are-zero can change a result.
//
// The hot loops are built for AVX-512, AVX2 and the baseline, and the loader picks the best the
// processor has. AVX2 brings per-lane variable shifts, which the exact paths need to vectorise;
// AVX-512 doubles the width again.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(ORV_NO_CLONES)
#define ORV_HOT_LOOP __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define ORV_HOT_LOOP
#endif

namespace {

inline uint32_t BitsOf(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline uint64_t BitsOf(double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// The pattern of *p read straight from memory (GCC does not vectorise a double-to-integer
// reinterpretation of a loaded value).
inline uint64_t LoadBits(const double* p)
{
    uint64_t u;
    std::memcpy(&u, p, sizeof u);
    return u;
}

inline float FloatOf(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

inline double DoubleOf(uint64_t u)
{
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// c ? a : b without a branch. Written with masks so that no compiler turns it into control flow
// around the exact conversions, which would keep the loops from vectorising.
inline uint32_t Select(bool c, uint32_t a, uint32_t b)
{
    const uint32_t m = 0u - static_cast<uint32_t>(c);
    return (a & m) | (b & ~m);
}

inline uint64_t Select(bool c, uint64_t a, uint64_t b)
{
    const uint64_t m = 0u - static_cast<uint64_t>(c);
    return (a & m) | (b & ~m);
}

// Pattern of the float equal to v, for |v| < 2^24: bit 23 of the fraction normalised into place.
inline uint32_t ExactFloatBits(int32_t v)
{
    return BitsOf(static_cast<float>(v));
}

// IBM word to IEEE single pattern, every case. With lz the leading zero bits of the 24-bit
// fraction F, the IEEE exponent is e = 4E - 130 - lz. The float of F has exponent 150 - lz and
// F's normalised fraction, so adding (4E - 280) to its exponent field gives the normal result.
// Below the normal range the result is F x 2^(4E - 131) truncated, as a subnormal fraction.
inline uint32_t IbmBits(uint32_t w)
{
    const uint32_t sign = w & 0x80000000u;
    const uint32_t frac = w & 0x00FFFFFFu;
    const int32_t exp4 = static_cast<int32_t>((w >> 22) & 0x1FCu);
    const uint32_t norm = ExactFloatBits(static_cast<int32_t>(frac));
    const int32_t e = static_cast<int32_t>(norm >> 23) + exp4 - 280;
    const uint32_t normal = norm + (static_cast<uint32_t>(exp4 - 280) << 23);
    const int32_t shift = exp4 - 131;
    const uint32_t left = static_cast<uint32_t>(shift > 0 ? (shift < 31 ? shift : 31) : 0);
    const uint32_t right = static_cast<uint32_t>(shift < 0 ? (shift > -31 ? -shift : 31) : 0);
    const uint32_t subnormal = (frac << left) >> right;
    const uint32_t big = e >= 255 ? 0x7F800000u : normal;
    return sign | Select(frac != 0 && e >= 1, big, subnormal);
}

// Common words: exponent 39 to 96, which gives a normal single whatever the leading zeros, or
// a zero fraction, which gives a signed zero whatever the exponent. Real data is almost all
// such. For these the exponent field of the float of F only needs 4E - 280 added.
// `distance` is at most kIbmCommonDistance for a common word and beyond it for the others.
constexpr uint32_t kIbmCommonDistance = (96u - 39u) << 25;

inline uint32_t IbmBitsCommon(uint32_t w, uint32_t& distance)
{
    const uint32_t frac = w & 0x00FFFFFFu;
    const uint32_t exp4 = (w << 1) & 0xFE000000u; // 4E in the IEEE exponent field
    const uint32_t normal = ExactFloatBits(static_cast<int32_t>(frac)) + exp4 - (280u << 23);
    distance = Select(frac != 0, exp4 - (39u << 25), 0u);
    return (w & 0x80000000u) | Select(frac != 0, normal, 0u);
}

inline uint64_t IbmDoubleBitsCommon(uint32_t w, uint32_t& distance)
{
    const uint32_t frac = w & 0x00FFFFFFu;
    const uint32_t exp4 = (w << 1) & 0xFE000000u;
    const uint64_t normal = BitsOf(static_cast<double>(static_cast<int32_t>(frac)))
        + (uint64_t{exp4} << 29) - (uint64_t{280} << 52);
    distance = Select(frac != 0, exp4 - (39u << 25), 0u);
    return (static_cast<uint64_t>(w & 0x80000000u) << 32) | Select(frac != 0, normal, uint64_t{0});
}

// Single pattern widened to double pattern; subnormals are normalised through the exact
// double of their fraction, scaled by 2^-149.
inline uint64_t WidenBits(uint32_t f)
{
    const uint64_t sign = static_cast<uint64_t>(f & 0x80000000u) << 32;
    const uint32_t e = (f >> 23) & 0xFFu;
    const uint32_t frac = f & 0x007FFFFFu;
    const uint64_t normal = (static_cast<uint64_t>(e + 896) << 52) | (uint64_t{frac} << 29);
    const uint64_t infinite = (uint64_t{0x7FF} << 52) | (uint64_t{frac} << 29);
    const uint64_t subnormal
        = BitsOf(static_cast<double>(static_cast<int32_t>(frac))) - (uint64_t{149} << 52);
    const uint64_t small = Select(frac != 0, subnormal, uint64_t{0});
    return sign | Select(e == 0, small, e == 255 ? infinite : normal);
}

// IEEE single pattern to IBM word, every case. A normal number's fraction is shifted right k
// times (0 to 3) until e + 130 + k is a multiple of 4; the IBM exponent is then a quarter of it.
inline uint32_t IbmFromFloatBits(uint32_t f)
{
    const uint32_t sign = f & 0x80000000u;
    const uint32_t e = (f >> 23) & 0xFFu;
    const uint32_t frac = f & 0x007FFFFFu;
    const uint32_t k = (2u - e) & 3u;
    const uint32_t normal = (((e + 130u + k) >> 2) << 24) | ((frac | 0x00800000u) >> k);
    const uint32_t subnormal
        = (frac & 0x00600000u) != 0 ? (33u << 24) | (frac >> 1) : (32u << 24) | (frac << 3);
    const uint32_t small = frac != 0 ? subnormal : 0u;
    return sign | (e == 0 ? small : (e == 255 ? 0x7FFFFFFFu : normal));
}

// Normal numbers and zeros. The IBM exponent is (e + 130 + k) / 4, that is e + 133 with its
// two low bits cleared, divided by 4. `distance` is below 0x7F000000 for these only.
inline uint32_t IbmFromFloatBitsCommon(uint32_t f, uint32_t& distance)
{
    const uint32_t magnitude = f & 0x7FFFFFFFu;
    const uint32_t exponent = ((magnitude >> 1) + (133u << 22)) & 0x7F000000u;
    const uint32_t k = (((2u << 23) - (magnitude & 0x7F800000u)) >> 23) & 3u;
    const uint32_t normal = exponent | (((magnitude & 0x007FFFFFu) | 0x00800000u) >> k);
    distance = Select(magnitude != 0, magnitude - 0x00800000u, 0u);
    return (f & 0x80000000u) | Select(magnitude != 0, normal, 0u);
}

// Double pattern to single pattern, nearest with ties to even, as an IEEE narrowing does.
// From 2^-126 up the 52-bit fraction is rounded to 23 bits and a carry runs on into the
// exponent, up to infinity. Below, the value is rounded to a multiple of 2^-149: the top 24
// bits of the 53-bit mantissa with a sticky bit for the rest are enough to round it, and keep
// the variable shift in 32 bits (GCC does not vectorise variable 64-bit shifts). Values from
// FLT_MAX plus half an ulp up, infinities and NaNs give infinity (IBM has no NaN).
inline uint32_t NarrowBits(uint64_t d)
{
    const uint32_t hi = static_cast<uint32_t>(d >> 32);
    const uint32_t lo = static_cast<uint32_t>(d);
    const uint64_t a = d & 0x7FFFFFFFFFFFFFFFu;
    const uint32_t normal = static_cast<uint32_t>(
        ((a + 0x0FFFFFFFu + ((a >> 29) & 1u)) >> 29) - (uint64_t{896} << 23));
    // Below 2^-126: value = t x 2^-149 x 2^-k, with t the mantissa's top 24 bits, a sticky
    // bit under them, and k = 898 - exponent (2 or more).
    const uint32_t t = ((((hi & 0x000FFFFFu) | 0x00100000u) << 4) | ((lo >> 28) & 0xEu))
        | static_cast<uint32_t>((lo & 0x1FFFFFFFu) != 0);
    const uint32_t k0 = 898u - ((hi >> 20) & 0x7FFu);
    const uint32_t k = k0 > 31u ? 31u : (k0 < 2u ? 2u : k0);
    const uint32_t subnormal = (t + (1u << (k - 1)) - 1u + ((t >> k) & 1u)) >> k;
    const uint32_t finite = Select(a >= 0x3810000000000000u, normal, subnormal);
    return (hi & 0x80000000u) | Select(a >= 0x47EFFFFFF0000000u, 0x7F800000u, finite);
}

// An int32 as double is exact and normal, so only the 52 to 23 bit rounding of NarrowBits is
// needed.
inline uint32_t Int32FloatBits(int32_t v)
{
    const uint64_t d = BitsOf(static_cast<double>(v));
    const uint64_t a = d & 0x7FFFFFFFFFFFFFFFu;
    const uint32_t magnitude = static_cast<uint32_t>(
        ((a + 0x0FFFFFFFu + ((a >> 29) & 1u)) >> 29) - (uint64_t{896} << 23));
    return (static_cast<uint32_t>(d >> 32) & 0x80000000u) | Select(v != 0, magnitude, 0u);
}

// Pattern of +-magnitude x 2^scale (magnitude < 2^24, result normal), `sign` being the sign
// bit in place; a zero magnitude gives +0.0 whatever the sign.
inline uint32_t ScaledBits(uint32_t sign, uint32_t magnitude, int32_t scale)
{
    const uint32_t bits
        = ExactFloatBits(static_cast<int32_t>(magnitude)) + (static_cast<uint32_t>(scale) << 23);
    return Select(magnitude != 0, sign | bits, 0u);
}

// Blocks of kBlock samples take the common path when every sample of the block is common and
// the exact path otherwise; both vectorise. In place, a common block is first built aside, since
// the exact path must still find the block's source.
constexpr std::size_t kBlock = 64;

ORV_HOT_LOOP void IbmToFloatLoop(const uint32_t* src, float* dst, std::size_t n)
{
    const bool inPlace = static_cast<const void*>(src) == static_cast<const void*>(dst);
    float aside[kBlock];
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        float* out = inPlace ? aside : dst + i;
        uint32_t worst = 0;
        for (std::size_t j = 0; j < kBlock; ++j) {
            uint32_t distance;
            out[j] = FloatOf(IbmBitsCommon(src[i + j], distance));
            worst = worst > distance ? worst : distance;
        }
        if (worst > kIbmCommonDistance) {
            for (std::size_t j = 0; j < kBlock; ++j)
                dst[i + j] = FloatOf(IbmBits(src[i + j]));
        } else if (inPlace) {
            std::memcpy(dst + i, aside, sizeof aside);
        }
    }
    for (; i < n; ++i)
        dst[i] = FloatOf(IbmBits(src[i]));
}

ORV_HOT_LOOP void IbmToDoubleLoop(const uint32_t* src, double* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        uint32_t worst = 0;
        for (std::size_t j = 0; j < kBlock; ++j) {
            uint32_t distance;
            dst[i + j] = DoubleOf(IbmDoubleBitsCommon(src[i + j], distance));
            worst = worst > distance ? worst : distance;
        }
        if (worst > kIbmCommonDistance) {
            for (std::size_t j = 0; j < kBlock; ++j)
                dst[i + j] = DoubleOf(WidenBits(IbmBits(src[i + j])));
        }
    }
    for (; i < n; ++i)
        dst[i] = DoubleOf(WidenBits(IbmBits(src[i])));
}

inline uint32_t BitsOf(uint32_t u)
{
    return u;
}

// kBlock floats, given as float or as pattern, to IBM words. `out` receives the common path's
// words: dst, or a block aside when src and dst are the same.
template <typename In> inline void FloatToIbmBlock(const In* src, uint32_t* dst, uint32_t* out)
{
    uint32_t worst = 0;
    for (std::size_t j = 0; j < kBlock; ++j) {
        uint32_t distance;
        out[j] = IbmFromFloatBitsCommon(BitsOf(src[j]), distance);
        worst = worst > distance ? worst : distance;
    }
    if (worst >= 0x7F000000u) {
        for (std::size_t j = 0; j < kBlock; ++j)
            dst[j] = IbmFromFloatBits(BitsOf(src[j]));
    } else if (out != dst) {
        std::memcpy(dst, out, kBlock * sizeof *out);
    }
}

ORV_HOT_LOOP void FloatToIbmLoop(const float* src, uint32_t* dst, std::size_t n)
{
    const bool inPlace = static_cast<const void*>(src) == static_cast<const void*>(dst);
    uint32_t aside[kBlock];
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        FloatToIbmBlock(src + i, dst + i, inPlace ? aside : dst + i);
    for (; i < n; ++i)
        dst[i] = IbmFromFloatBits(BitsOf(src[i]));
}

// Each block is narrowed aside, then converted as floats.
ORV_HOT_LOOP void DoubleToIbmLoop(const double* src, uint32_t* dst, std::size_t n)
{
    uint32_t narrowed[kBlock];
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        for (std::size_t j = 0; j < kBlock; ++j)
            narrowed[j] = NarrowBits(LoadBits(src + i + j));
        FloatToIbmBlock(narrowed, dst + i, dst + i);
    }
    for (; i < n; ++i)
        dst[i] = IbmFromFloatBits(NarrowBits(LoadBits(src + i)));
}

ORV_HOT_LOOP void Int32ToFloatLoop(const int32_t* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = FloatOf(Int32FloatBits(src[i]));
}

ORV_HOT_LOOP void Int16ToFloatLoop(const int16_t* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

ORV_HOT_LOOP void Int24Loop(const unsigned char* src, int32_t* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t v = (uint32_t{src[3 * i]} << 16) | (uint32_t{src[3 * i + 1]} << 8)
            | uint32_t{src[3 * i + 2]};
        dst[i] = static_cast<int32_t>(v ^ 0x800000u) - 0x800000;
    }
}

inline uint64_t LoadBigEndian64(const unsigned char* p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

// A group is read as one big-endian 64-bit word (the exponents and the first three mantissas)
// and the last mantissa. The integers of a run of groups come first, then their floats in one
// vectorised pass: a mantissa of 16 significant bits times 2^0..2^15 stays within 2^30 and is
// exact in single precision, so that step cannot round.
ORV_HOT_LOOP void Decode20BitLoop(
    const unsigned char* src, int32_t* work, float* dst, std::size_t groups)
{
    constexpr std::size_t kRun = 16;
    for (std::size_t first = 0; first < groups; first += kRun) {
        const std::size_t end = groups - first < kRun ? groups : first + kRun;
        for (std::size_t g = first; g < end; ++g) {
            const unsigned char* p = src + 10 * g;
            const uint64_t head = LoadBigEndian64(p);
            const uint32_t exponents = static_cast<uint32_t>(head >> 48);
            const uint32_t mantissas[4]
                = {static_cast<uint32_t>(head >> 32), static_cast<uint32_t>(head >> 16),
                    static_cast<uint32_t>(head), (uint32_t{p[8]} << 8) | p[9]};
            for (int k = 0; k < 4; ++k) {
                const int32_t mantissa = static_cast<int16_t>(static_cast<uint16_t>(mantissas[k]));
                work[4 * g + k] = mantissa * (int32_t{1} << ((exponents >> (12 - 4 * k)) & 15u));
            }
        }
        for (std::size_t i = 4 * first; i < 4 * end; ++i)
            dst[i] = static_cast<float>(work[i]);
    }
}

ORV_HOT_LOOP void Quaternary8Loop(const unsigned char* src, uint32_t* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t b = src[i];
        const uint32_t negative = b >> 7;
        const uint32_t f = b & 15u;
        const uint32_t fraction = negative != 0 ? 15u - f : f;
        const int32_t scale = 2 * static_cast<int32_t>((b >> 4) & 7u) - 4;
        const uint32_t bits = ScaledBits(0, fraction, scale);
        dst[i] = (negative << 31) | bits;
    }
}

ORV_HOT_LOOP void Quaternary16Loop(const unsigned char* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t hi = src[2 * i];
        const uint32_t m = ((hi & 15u) << 8) | src[2 * i + 1];
        const int32_t v
            = (hi & 0x80u) != 0 ? static_cast<int32_t>(m) - 4095 : static_cast<int32_t>(m);
        const int32_t scale = 2 * static_cast<int32_t>((hi >> 4) & 7u) - 12;
        const uint32_t bits = ExactFloatBits(v) + (static_cast<uint32_t>(scale) << 23);
        dst[i] = FloatOf(Select(v != 0, bits, 0u));
    }
}

ORV_HOT_LOOP void Hex8Loop(const unsigned char* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t b = src[i];
        const int32_t scale = 4 * static_cast<int32_t>((b >> 5) & 3u) - 4;
        dst[i] = FloatOf(ScaledBits((b & 0x80u) << 24, b & 31u, scale));
    }
}

ORV_HOT_LOOP void Hex16Loop(const uint16_t* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t w = src[i];
        const int32_t scale = 4 * static_cast<int32_t>((w >> 13) & 3u) - 12;
        dst[i] = FloatOf(ScaledBits((w & 0x8000u) << 16, w & 0x1FFFu, scale));
    }
}

} // namespace

void Int16ToFloat(const int16_t* src, float* dst, int count)
{
    if (count > 0)
        Int16ToFloatLoop(src, dst, static_cast<std::size_t>(count));
}

void Int32ToFloat(const int32_t* src, float* dst, int count)
{
    if (count > 0)
        Int32ToFloatLoop(src, dst, static_cast<std::size_t>(count));
}

void IbmToFloat(const uint32_t* src, float* dst, int count)
{
    if (count > 0)
        IbmToFloatLoop(src, dst, static_cast<std::size_t>(count));
}

void IbmToDouble(const uint32_t* src, double* dst, int count)
{
    if (count > 0)
        IbmToDoubleLoop(src, dst, static_cast<std::size_t>(count));
}

void FloatToIbm(const float* src, uint32_t* dst, int count)
{
    if (count > 0)
        FloatToIbmLoop(src, dst, static_cast<std::size_t>(count));
}

void DoubleToIbm(const double* src, uint32_t* dst, int count)
{
    if (count > 0)
        DoubleToIbmLoop(src, dst, static_cast<std::size_t>(count));
}

int BcdToInt(const unsigned char* buf, int offset, bool skipFirstNibble, int digitCount)
{
    if (digitCount <= 0)
        return 0;
    const unsigned char* field = buf + offset;
    const std::size_t first = skipFirstNibble ? 1 : 0;
    const std::size_t end = first + static_cast<std::size_t>(digitCount);
    uint32_t value = 0;
    for (std::size_t k = first; k < end; ++k) {
        const uint32_t byte = field[k / 2];
        value = value * 10u + ((k & 1u) != 0 ? byte & 15u : byte >> 4);
    }
    return static_cast<int>(value);
}

void Int24ArrayToInt32(const unsigned char* src, int32_t* dst, int count)
{
    if (count > 0)
        Int24Loop(src, dst, static_cast<std::size_t>(count));
}

int32_t Int24ToInt32(const unsigned char* src, int littleEndian)
{
    const uint32_t v = static_cast<uint32_t>(UInt24ToInt32(src, littleEndian));
    return static_cast<int32_t>(v ^ 0x800000u) - 0x800000;
}

int32_t UInt24ToInt32(const unsigned char* src, int littleEndian)
{
    const uint32_t msb = littleEndian != 0 ? src[2] : src[0];
    const uint32_t lsb = littleEndian != 0 ? src[0] : src[2];
    return static_cast<int32_t>((msb << 16) | (uint32_t{src[1]} << 8) | lsb);
}

void Decode20Bit(const unsigned char* src, int32_t* work, float* dst, int count)
{
    if (count >= 4)
        Decode20BitLoop(src, work, dst, static_cast<std::size_t>(count) / 4);
}

void Decode8BitQuaternary(const unsigned char* src, uint32_t* dst, int count)
{
    if (count > 0)
        Quaternary8Loop(src, dst, static_cast<std::size_t>(count));
}

void Decode16BitQuaternary(const unsigned char* src, float* dst, int count)
{
    if (count > 0)
        Quaternary16Loop(src, dst, static_cast<std::size_t>(count));
}

void Decode8BitHex(const unsigned char* src, float* dst, int count)
{
    if (count > 0)
        Hex8Loop(src, dst, static_cast<std::size_t>(count));
}

void Decode16BitHex(const uint16_t* src, float* dst, int count)
{
    if (count > 0)
        Hex16Loop(src, dst, static_cast<std::size_t>(count));
}

void SwapBytes(void* p, int size)
{
    if (size != 2 && size != 4 && size != 8)
        return;
    unsigned char* bytes = static_cast<unsigned char*>(p);
    for (int i = 0, j = size - 1; i < j; ++i, --j) {
        const unsigned char t = bytes[i];
        bytes[i] = bytes[j];
        bytes[j] = t;
    }
}

void Swap16(void* p)
{
    SwapBytes(p, 2);
}

float ApplyScalar(float value, float scalar)
{
    if (scalar > 0)
        return value * scalar;
    if (scalar < 0)
        return value / -scalar;
    return value;
}

float RemoveScalar(float value, float scalar)
{
    if (scalar > 0)
        return value / scalar;
    if (scalar < 0)
        return value * -scalar;
    return value;
}
