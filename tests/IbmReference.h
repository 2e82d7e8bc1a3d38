#pragma once

#include <cstdint>
#include <cstring>

// The bit pattern of a float or double, and back.
inline uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline uint64_t Bits(double d)
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

// IBM single-precision words to and from IEEE single patterns, one bit step at a time, straight
// from the two layouts. Slow and plain on purpose: the yardstick for the fast conversions.
namespace IbmReference {

// IBM (sign, 7-bit excess-64 base-16 exponent E, 24-bit fraction F) to IEEE single.
inline uint32_t IbmToIeee(uint32_t ibm)
{
    const uint32_t sign = ibm & 0x80000000u;
    const int exponent16 = static_cast<int>((ibm >> 24) & 0x7F);
    uint32_t m = ibm & 0x00FFFFFFu;
    if (m == 0)
        return sign;
    // F / 2^24 x 16^(E - 64) = 1.m x 2^(e - 127) once m is normalised to bit 23
    int e = 4 * exponent16 - 130;
    while ((m & 0x00800000u) == 0) {
        m <<= 1;
        --e;
    }
    if (e <= 0) {
        // Below the normal range: shift right (1 - e) times, dropping bits, to exponent 0.
        for (;;) {
            m >>= 1;
            if (m == 0) {
                e = 0;
                break;
            }
            if (e == 0)
                break;
            ++e;
        }
    }
    if (e >= 255)
        return sign | 0x7F800000u; // too large for single precision: infinity
    return sign | (static_cast<uint32_t>(e) << 23) | (m & 0x007FFFFFu);
}

// IEEE single to IBM: the binary exponent is raised to a multiple of 4, shifting the fraction
// right and dropping bits.
inline uint32_t IeeeToIbm(uint32_t ieee)
{
    const uint32_t sign = ieee & 0x80000000u;
    const uint32_t e = (ieee >> 23) & 0xFF;
    const uint32_t f = ieee & 0x007FFFFFu;
    if (e == 255)
        return sign | (127u << 24) | 0x00FFFFFFu; // infinity, NaN: the largest IBM magnitude
    if (e == 0) {
        if (f == 0)
            return sign;
        if ((f & (7u << 21)) != 0)
            return sign | (33u << 24) | (f >> 1);
        return sign | (32u << 24) | (f << 3);
    }
    uint32_t x = e + 130;
    uint32_t m = f | 0x00800000u;
    while (x % 4 != 0) {
        ++x;
        m >>= 1;
    }
    return sign | ((x / 4) << 24) | m;
}

} // namespace IbmReference
