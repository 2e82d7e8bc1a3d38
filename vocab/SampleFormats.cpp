#include "SampleFormats.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <xmmintrin.h>
#define ORV_HAVE_MXCSR 1
#else
#include <cfenv>
#endif

// The conversions are integer work on bit patterns. Their floating-point instructions are
// conversions of integers of at most 24 significant bits to float or double and widenings of
// normal singles (and zeros) to double, which are exact: they never round, raise no exception
// flag and see no denormal, so neither the rounding mode nor flush-to-zero /
// denormals-are-zero can change a result. Int32ToFloat and DoubleToIbm are the exceptions; see
// NearestRounding.
//
// The hot loops are built for x86-64-v4 (AVX-512 with byte, word and doubleword forms), AVX2
// and the baseline, and the loader picks the best the processor has. AVX2 brings per-lane
// variable shifts, which the exact paths need to vectorise; AVX-512 doubles the width again and
// its byte permutes serve the packed formats.
//
// Loops the auto-vectoriser would widen byte by byte, or not vectorise at all, are written with
// sixteen-lane vectors (GCC and clang vector extensions): each clone lowers them to what its
// instruction set has, one AVX-512 register, two AVX2 ones or four SSE2 ones. Constant shuffles
// become byte and word permutes. Vectors are never passed to or returned from functions, whose
// calling convention would differ from clone to clone.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(ORV_NO_CLONES)
#define ORV_HOT_LOOP __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
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

// File order is big-endian. The loops below, the vector ones in particular, are written for a
// little-endian host.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a little-endian host is assumed");

inline uint32_t FromBigEndian(uint32_t u)
{
    return __builtin_bswap32(u);
}

inline uint16_t FromBigEndian(uint16_t u)
{
    return __builtin_bswap16(u);
}

inline uint32_t LoadBigEndian32(const unsigned char* p)
{
    uint32_t u;
    std::memcpy(&u, p, sizeof u);
    return FromBigEndian(u);
}

inline uint16_t LoadBigEndian16(const unsigned char* p)
{
    uint16_t u;
    std::memcpy(&u, p, sizeof u);
    return FromBigEndian(u);
}

inline void StoreBigEndian32(unsigned char* p, uint32_t v)
{
    const uint32_t u = FromBigEndian(v);
    std::memcpy(p, &u, sizeof u);
}

// Sixteen lanes of 32 bits, and the 64 bytes they occupy.
typedef uint32_t Lanes __attribute__((vector_size(64)));
typedef int32_t SignedLanes __attribute__((vector_size(64)));
typedef float FloatLanes __attribute__((vector_size(64)));
typedef unsigned char LaneBytes __attribute__((vector_size(64)));
constexpr std::size_t kLanes = 16;

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

// The processor's own conversions round as its control word says. Int32ToFloat and
// DoubleToIbm round through them under a control word set for the call: nearest with ties to
// even, every exception masked, no flush to zero, denormal inputs as they are. The caller's
// control word and exception flags are put back exactly afterwards. The loops run in functions
// of their own (the clones), so no conversion is moved across the switch.
class NearestRounding {
public:
    NearestRounding()
    {
#ifdef ORV_HAVE_MXCSR
        saved_ = _mm_getcsr();
        _mm_setcsr(kNearestMasked);
#else
        std::fegetenv(&saved_);
        std::fesetenv(FE_DFL_ENV);
#endif
    }

    ~NearestRounding()
    {
#ifdef ORV_HAVE_MXCSR
        _mm_setcsr(saved_);
#else
        std::fesetenv(&saved_);
#endif
    }

    NearestRounding(const NearestRounding&) = delete;
    NearestRounding& operator=(const NearestRounding&) = delete;

private:
#ifdef ORV_HAVE_MXCSR
    static constexpr unsigned kNearestMasked = 0x1F80; // the power-on MXCSR
    unsigned saved_;
#else
    std::fenv_t saved_;
#endif
};

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

// Words in host order, or in file order at any alignment.
struct HostWords {
    const uint32_t* p;
    uint32_t operator[](std::size_t i) const { return p[i]; }
};

struct BigEndianWords {
    const unsigned char* p;
    uint32_t operator[](std::size_t i) const { return LoadBigEndian32(p + 4 * i); }
};

template <typename Words>
inline void IbmToFloatBlocks(Words src, float* dst, std::size_t n, bool inPlace)
{
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

ORV_HOT_LOOP void IbmToFloatLoop(const uint32_t* src, float* dst, std::size_t n)
{
    const bool inPlace = static_cast<const void*>(src) == static_cast<const void*>(dst);
    IbmToFloatBlocks(HostWords{src}, dst, n, inPlace);
}

ORV_HOT_LOOP void IbmBigEndianToFloatLoop(const unsigned char* src, float* dst, std::size_t n)
{
    IbmToFloatBlocks(BigEndianWords{src}, dst, n, false);
}

template <typename Words> inline void IbmToDoubleBlocks(Words src, double* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        uint32_t worst = 0;
        for (std::size_t j = 0; j < kBlock; ++j) {
            uint32_t distance;
            const uint32_t bits = IbmBitsCommon(src[i + j], distance);
            // Other words may give any pattern, a signalling NaN too: they are widened as zeros
            // and their block is redone.
            const uint32_t widened = Select(distance <= kIbmCommonDistance, bits, 0u);
            dst[i + j] = static_cast<double>(FloatOf(widened));
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

ORV_HOT_LOOP void IbmToDoubleLoop(const uint32_t* src, double* dst, std::size_t n)
{
    IbmToDoubleBlocks(HostWords{src}, dst, n);
}

ORV_HOT_LOOP void IbmBigEndianToDoubleLoop(const unsigned char* src, double* dst, std::size_t n)
{
    IbmToDoubleBlocks(BigEndianWords{src}, dst, n);
}

// The single-precision pattern of a float, and of a double narrowed (under NearestRounding).
inline uint32_t SinglePattern(float f)
{
    return BitsOf(f);
}

inline uint32_t SinglePattern(double d)
{
    return BitsOf(static_cast<float>(d));
}

// Destinations of IBM words: host-order words, or file-order bytes at any alignment.
struct HostWordsOut {
    uint32_t* p;
    void Put(std::size_t i, uint32_t w) const { p[i] = w; }
};

struct BigEndianWordsOut {
    unsigned char* p;
    void Put(std::size_t i, uint32_t w) const { StoreBigEndian32(p + 4 * i, w); }
};

// kBlock values to IBM words: the common path's words through `common`, then, when a value of
// the block is not common, every word again by the exact path through `exact`. Returns whether
// the exact path ran.
template <typename In, typename Out>
inline bool FloatToIbmBlock(const In* src, const Out& common, const Out& exact)
{
    uint32_t worst = 0;
    for (std::size_t j = 0; j < kBlock; ++j) {
        uint32_t distance;
        common.Put(j, IbmFromFloatBitsCommon(SinglePattern(src[j]), distance));
        worst = worst > distance ? worst : distance;
    }
    if (worst < 0x7F000000u)
        return false;
    for (std::size_t j = 0; j < kBlock; ++j)
        exact.Put(j, IbmFromFloatBits(SinglePattern(src[j])));
    return true;
}

// In place, a common block is built aside.
ORV_HOT_LOOP void FloatToIbmLoop(const float* src, uint32_t* dst, std::size_t n)
{
    const bool inPlace = static_cast<const void*>(src) == static_cast<const void*>(dst);
    uint32_t aside[kBlock];
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        const HostWordsOut out{dst + i};
        if (!FloatToIbmBlock(src + i, inPlace ? HostWordsOut{aside} : out, out) && inPlace)
            std::memcpy(dst + i, aside, sizeof aside);
    }
    for (; i < n; ++i)
        dst[i] = IbmFromFloatBits(BitsOf(src[i]));
}

ORV_HOT_LOOP void FloatToIbmBigEndianLoop(const float* src, unsigned char* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        const BigEndianWordsOut out{dst + 4 * i};
        FloatToIbmBlock(src + i, out, out);
    }
    for (; i < n; ++i)
        StoreBigEndian32(dst + 4 * i, IbmFromFloatBits(BitsOf(src[i])));
}

// Under NearestRounding.
ORV_HOT_LOOP void DoubleToIbmLoop(const double* src, uint32_t* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        const HostWordsOut out{dst + i};
        FloatToIbmBlock(src + i, out, out);
    }
    for (; i < n; ++i)
        dst[i] = IbmFromFloatBits(SinglePattern(src[i]));
}

// Under NearestRounding.
ORV_HOT_LOOP void Int32ToFloatLoop(const int32_t* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

// Under NearestRounding.
ORV_HOT_LOOP void Int32BigEndianToFloatLoop(const unsigned char* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(static_cast<int32_t>(LoadBigEndian32(src + 4 * i)));
}

ORV_HOT_LOOP void Int16ToFloatLoop(const int16_t* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

ORV_HOT_LOOP void Int16BigEndianToFloatLoop(const unsigned char* src, float* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = static_cast<float>(static_cast<int16_t>(LoadBigEndian16(src + 2 * i)));
}

// Byte indices of one shuffle: lane k of 16 takes bytes 3k + 2, 3k + 1, 3k (a 24-bit value,
// most significant byte first) into its three high bytes; its low byte is shifted out.
#define ORV_INT24(k) 3 * (k) + 2, 3 * (k) + 2, 3 * (k) + 1, 3 * (k)
#define ORV_INT24_4(k) ORV_INT24(k), ORV_INT24(k + 1), ORV_INT24(k + 2), ORV_INT24(k + 3)

// Sixteen values (48 bytes) a step, read as 64 bytes while that many remain.
ORV_HOT_LOOP void Int24Loop(const unsigned char* src, int32_t* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 22 <= n; i += kLanes) {
        LaneBytes bytes;
        std::memcpy(&bytes, src + 3 * i, sizeof bytes);
        const SignedLanes values
            = reinterpret_cast<SignedLanes>(__builtin_shufflevector(
                  bytes, bytes, ORV_INT24_4(0), ORV_INT24_4(4), ORV_INT24_4(8), ORV_INT24_4(12)))
            >> 8;
        std::memcpy(dst + i, &values, sizeof values);
    }
    for (; i < n; ++i) {
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

// Byte indices of one shuffle: sample k of group g, in lane 4g + k, gets the byte holding its
// exponent nibble in its lowest byte and its mantissa, high byte first, in its two high bytes.
#define ORV_20BIT(g, k) 10 * (g) + (k) / 2, 0, 10 * (g) + 3 + 2 * (k), 10 * (g) + 2 + 2 * (k)
#define ORV_20BIT_GROUP(g) ORV_20BIT(g, 0), ORV_20BIT(g, 1), ORV_20BIT(g, 2), ORV_20BIT(g, 3)

// Four groups (40 bytes) a step, read as 64 bytes while that many remain, then group by group:
// each group read as one big-endian 64-bit word (the exponents and the first three mantissas)
// and the last mantissa. A mantissa of 16 significant bits times 2^0..2^15 stays within 2^30
// and is exact in single precision, so the float conversion cannot round.
ORV_HOT_LOOP void Decode20BitLoop(
    const unsigned char* src, int32_t* work, float* dst, std::size_t groups)
{
    const Lanes nibbleShifts = {4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0};
    std::size_t g = 0;
    for (; g + 7 <= groups; g += 4) {
        LaneBytes bytes;
        std::memcpy(&bytes, src + 10 * g, sizeof bytes);
        const Lanes x = reinterpret_cast<Lanes>(__builtin_shufflevector(bytes, bytes,
            ORV_20BIT_GROUP(0), ORV_20BIT_GROUP(1), ORV_20BIT_GROUP(2), ORV_20BIT_GROUP(3)));
        const Lanes exponents = (x >> nibbleShifts) & 15u;
        const Lanes mantissas = reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(x) >> 16);
        const SignedLanes values = reinterpret_cast<SignedLanes>(mantissas << exponents);
        const FloatLanes floats = __builtin_convertvector(values, FloatLanes);
        std::memcpy(work + 4 * g, &values, sizeof values);
        std::memcpy(dst + 4 * g, &floats, sizeof floats);
    }
    for (; g < groups; ++g) {
        const unsigned char* p = src + 10 * g;
        const uint64_t head = LoadBigEndian64(p);
        const uint32_t exponents = static_cast<uint32_t>(head >> 48);
        const uint32_t mantissas[4]
            = {static_cast<uint32_t>(head >> 32), static_cast<uint32_t>(head >> 16),
                static_cast<uint32_t>(head), (uint32_t{p[8]} << 8) | p[9]};
        for (int k = 0; k < 4; ++k) {
            const int32_t mantissa = static_cast<int16_t>(static_cast<uint16_t>(mantissas[k]));
            const int32_t v = mantissa * (int32_t{1} << ((exponents >> (12 - 4 * k)) & 15u));
            work[4 * g + k] = v;
            dst[4 * g + k] = static_cast<float>(v);
        }
    }
}

// The exponent formats go sixteen samples a step: each sample widened to a lane, its fraction
// converted exactly, its exponent added to the float's exponent field. The last samples go one
// by one with the same formulas.

ORV_HOT_LOOP void Quaternary8Loop(const unsigned char* src, uint32_t* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes x;
        for (std::size_t j = 0; j < kLanes; ++j)
            x[j] = src[i + j];
        const Lanes negative
            = reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(x << 24) >> 31);
        const Lanes fraction = (x ^ negative) & 15u; // one's complement when negative
        Lanes bits = reinterpret_cast<Lanes>(
            __builtin_convertvector(reinterpret_cast<SignedLanes>(fraction), FloatLanes));
        bits += ((x & 0x70u) << 20) - (4u << 23); // x 4^q / 16
        bits = (bits & reinterpret_cast<Lanes>(fraction != 0u)) | ((x & 0x80u) << 24);
        std::memcpy(dst + i, &bits, sizeof bits);
    }
    for (; i < n; ++i) {
        const uint32_t b = src[i];
        const uint32_t negative = b >> 7;
        const uint32_t f = b & 15u;
        const uint32_t fraction = negative != 0 ? 15u - f : f;
        const int32_t scale = 2 * static_cast<int32_t>((b >> 4) & 7u) - 4;
        dst[i] = (negative << 31) | ScaledBits(0, fraction, scale);
    }
}

// Byte indices of one in-lane shuffle: the two bytes of the sample in the low half of lane k
// (first byte lowest) to second, first, second, first, so that the lane reads as the
// big-endian sample twice.
#define ORV_BIG_ENDIAN_16(k) 4 * (k) + 1, 4 * (k), 4 * (k) + 1, 4 * (k)
#define ORV_BIG_ENDIAN_16_4(k)                                                                     \
    ORV_BIG_ENDIAN_16(k), ORV_BIG_ENDIAN_16(k + 1), ORV_BIG_ENDIAN_16(k + 2),                      \
        ORV_BIG_ENDIAN_16(k + 3)

ORV_HOT_LOOP void Quaternary16Loop(const unsigned char* src, float* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes pairs;
        for (std::size_t j = 0; j < kLanes; ++j) {
            uint16_t u;
            std::memcpy(&u, src + 2 * (i + j), sizeof u);
            pairs[j] = u;
        }
        const LaneBytes pairBytes = reinterpret_cast<LaneBytes>(pairs);
        const Lanes x = reinterpret_cast<Lanes>(
            __builtin_shufflevector(pairBytes, pairBytes, ORV_BIG_ENDIAN_16_4(0),
                ORV_BIG_ENDIAN_16_4(4), ORV_BIG_ENDIAN_16_4(8), ORV_BIG_ENDIAN_16_4(12)));
        const SignedLanes negative = reinterpret_cast<SignedLanes>(x) >> 31;
        const SignedLanes v = reinterpret_cast<SignedLanes>(x & 0xFFFu) - (negative & 4095);
        Lanes bits = reinterpret_cast<Lanes>(__builtin_convertvector(v, FloatLanes));
        bits += ((x & 0x7000u) << 12) - (12u << 23); // x 4^q / 4096
        bits &= reinterpret_cast<Lanes>(v != 0);
        std::memcpy(dst + i, &bits, sizeof bits);
    }
    for (; i < n; ++i) {
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
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes x;
        for (std::size_t j = 0; j < kLanes; ++j)
            x[j] = src[i + j];
        const Lanes fraction = x & 31u;
        Lanes bits = reinterpret_cast<Lanes>(
            __builtin_convertvector(reinterpret_cast<SignedLanes>(fraction), FloatLanes));
        bits += ((x & 0x60u) << 20) - (4u << 23); // x 16^q / 16
        bits = (bits | ((x & 0x80u) << 24)) & reinterpret_cast<Lanes>(fraction != 0u);
        std::memcpy(dst + i, &bits, sizeof bits);
    }
    for (; i < n; ++i) {
        const uint32_t b = src[i];
        const int32_t scale = 4 * static_cast<int32_t>((b >> 5) & 3u) - 4;
        dst[i] = FloatOf(ScaledBits((b & 0x80u) << 24, b & 31u, scale));
    }
}

ORV_HOT_LOOP void Hex16Loop(const uint16_t* src, float* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes x;
        for (std::size_t j = 0; j < kLanes; ++j)
            x[j] = src[i + j];
        const Lanes fraction = x & 0x1FFFu;
        Lanes bits = reinterpret_cast<Lanes>(
            __builtin_convertvector(reinterpret_cast<SignedLanes>(fraction), FloatLanes));
        bits += ((x & 0x6000u) << 12) - (12u << 23); // x 16^q / 4096
        bits = (bits | ((x & 0x8000u) << 16)) & reinterpret_cast<Lanes>(fraction != 0u);
        std::memcpy(dst + i, &bits, sizeof bits);
    }
    for (; i < n; ++i) {
        const uint32_t w = src[i];
        const int32_t scale = 4 * static_cast<int32_t>((w >> 13) & 3u) - 12;
        dst[i] = FloatOf(ScaledBits((w & 0x8000u) << 16, w & 0x1FFFu, scale));
    }
}

// Byte indices that reverse each element of 2, 4 or 8 bytes in 16 bytes from k.
#define ORV_REVERSE2(k) k + 1, k
#define ORV_REVERSE2_16(k)                                                                         \
    ORV_REVERSE2(k), ORV_REVERSE2(k + 2), ORV_REVERSE2(k + 4), ORV_REVERSE2(k + 6),                \
        ORV_REVERSE2(k + 8), ORV_REVERSE2(k + 10), ORV_REVERSE2(k + 12), ORV_REVERSE2(k + 14)
#define ORV_REVERSE4(k) k + 3, k + 2, k + 1, k
#define ORV_REVERSE4_16(k)                                                                         \
    ORV_REVERSE4(k), ORV_REVERSE4(k + 4), ORV_REVERSE4(k + 8), ORV_REVERSE4(k + 12)
#define ORV_REVERSE8(k) k + 7, k + 6, k + 5, k + 4, k + 3, k + 2, k + 1, k
#define ORV_REVERSE8_16(k) ORV_REVERSE8(k), ORV_REVERSE8(k + 8)

// 64 bytes a step; each step reads its bytes before it writes them, so src and dst may be the
// same array.
ORV_HOT_LOOP void SwapArray16Loop(const unsigned char* src, unsigned char* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        LaneBytes bytes;
        std::memcpy(&bytes, src + 2 * i, sizeof bytes);
        bytes = __builtin_shufflevector(bytes, bytes, ORV_REVERSE2_16(0), ORV_REVERSE2_16(16),
            ORV_REVERSE2_16(32), ORV_REVERSE2_16(48));
        std::memcpy(dst + 2 * i, &bytes, sizeof bytes);
    }
    for (; i < n; ++i) {
        uint16_t u;
        std::memcpy(&u, src + 2 * i, sizeof u);
        u = __builtin_bswap16(u);
        std::memcpy(dst + 2 * i, &u, sizeof u);
    }
}

ORV_HOT_LOOP void SwapArray32Loop(const unsigned char* src, unsigned char* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        LaneBytes bytes;
        std::memcpy(&bytes, src + 4 * i, sizeof bytes);
        bytes = __builtin_shufflevector(bytes, bytes, ORV_REVERSE4_16(0), ORV_REVERSE4_16(16),
            ORV_REVERSE4_16(32), ORV_REVERSE4_16(48));
        std::memcpy(dst + 4 * i, &bytes, sizeof bytes);
    }
    for (; i < n; ++i) {
        uint32_t u;
        std::memcpy(&u, src + 4 * i, sizeof u);
        u = __builtin_bswap32(u);
        std::memcpy(dst + 4 * i, &u, sizeof u);
    }
}

ORV_HOT_LOOP void SwapArray64Loop(const unsigned char* src, unsigned char* dst, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        LaneBytes bytes;
        std::memcpy(&bytes, src + 8 * i, sizeof bytes);
        bytes = __builtin_shufflevector(bytes, bytes, ORV_REVERSE8_16(0), ORV_REVERSE8_16(16),
            ORV_REVERSE8_16(32), ORV_REVERSE8_16(48));
        std::memcpy(dst + 8 * i, &bytes, sizeof bytes);
    }
    for (; i < n; ++i) {
        uint64_t u;
        std::memcpy(&u, src + 8 * i, sizeof u);
        u = __builtin_bswap64(u);
        std::memcpy(dst + 8 * i, &u, sizeof u);
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
    if (count > 0) {
        const NearestRounding nearest;
        Int32ToFloatLoop(src, dst, static_cast<std::size_t>(count));
    }
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
    if (count > 0) {
        const NearestRounding nearest;
        DoubleToIbmLoop(src, dst, static_cast<std::size_t>(count));
    }
}

void IbmBigEndianToFloat(const unsigned char* src, float* dst, int count)
{
    if (count > 0)
        IbmBigEndianToFloatLoop(src, dst, static_cast<std::size_t>(count));
}

void IbmBigEndianToDouble(const unsigned char* src, double* dst, int count)
{
    if (count > 0)
        IbmBigEndianToDoubleLoop(src, dst, static_cast<std::size_t>(count));
}

void FloatToIbmBigEndian(const float* src, unsigned char* dst, int count)
{
    if (count > 0)
        FloatToIbmBigEndianLoop(src, dst, static_cast<std::size_t>(count));
}

void Int16BigEndianToFloat(const unsigned char* src, float* dst, int count)
{
    if (count > 0)
        Int16BigEndianToFloatLoop(src, dst, static_cast<std::size_t>(count));
}

void Int32BigEndianToFloat(const unsigned char* src, float* dst, int count)
{
    if (count > 0) {
        const NearestRounding nearest;
        Int32BigEndianToFloatLoop(src, dst, static_cast<std::size_t>(count));
    }
}

void SwapArray16(const void* src, void* dst, int count)
{
    if (count > 0)
        SwapArray16Loop(static_cast<const unsigned char*>(src), static_cast<unsigned char*>(dst),
            static_cast<std::size_t>(count));
}

void SwapArray32(const void* src, void* dst, int count)
{
    if (count > 0)
        SwapArray32Loop(static_cast<const unsigned char*>(src), static_cast<unsigned char*>(dst),
            static_cast<std::size_t>(count));
}

void SwapArray64(const void* src, void* dst, int count)
{
    if (count > 0)
        SwapArray64Loop(static_cast<const unsigned char*>(src), static_cast<unsigned char*>(dst),
            static_cast<std::size_t>(count));
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
