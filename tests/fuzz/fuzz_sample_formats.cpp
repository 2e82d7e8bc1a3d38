// libFuzzer target for the sample format conversions. Each input picks a routine, a count
// (also zero or negative), an element offset into the arrays and, for packed decimal, the
// field's offset, nibble and digit count. Every array is allocated to exactly the size the call
// may touch, so the address sanitizer sees any access past it; the elements before the offset
// must stay as they were, and every result is compared with a plain reference.

#include "IbmReference.h"
#include "SampleFormats.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Fail(
    const char* routine, std::size_t index, uint64_t input, uint64_t got, uint64_t expected)
{
    std::fprintf(stderr, "%s: element %zu, input 0x%llx: got 0x%llx, expected 0x%llx\n", routine,
        index, static_cast<unsigned long long>(input), static_cast<unsigned long long>(got),
        static_cast<unsigned long long>(expected));
    std::abort();
}

void Check(bool ok, const char* routine, std::size_t index, uint64_t input, uint64_t got,
    uint64_t expected)
{
    if (!ok)
        Fail(routine, index, input, got, expected);
}

// Source bytes: the input's own, then a generator seeded from it.
std::vector<unsigned char> SourceBytes(FuzzedDataProvider& fdp, std::size_t n)
{
    std::vector<unsigned char> bytes = fdp.ConsumeBytes<unsigned char>(n);
    uint64_t state = 0x9E3779B97F4A7C15u ^ bytes.size();
    for (unsigned char b : bytes)
        state = state * 0x100000001B3u ^ b;
    while (bytes.size() < n) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        bytes.push_back(static_cast<unsigned char>(state >> 24));
    }
    return bytes;
}

template <typename T>
std::vector<T> Elements(const std::vector<unsigned char>& bytes, std::size_t n)
{
    std::vector<T> v(n);
    if (n != 0)
        std::memcpy(v.data(), bytes.data(), n * sizeof(T));
    return v;
}

// Shapes the 32-bit inputs so that the conversions' paths for usual data get used too. Shape 0
// leaves them; shape 1 moves every IBM exponent into 39..96 or makes every float normal, and
// every 8th element a signed zero; shape 2 does the same but leaves every 16th element alone.
void Shape(std::vector<uint32_t>& v, int shape, bool ibm)
{
    if (shape == 0)
        return;
    for (std::size_t i = 0; i < v.size(); ++i) {
        uint32_t& w = v[i];
        if (shape == 2 && i % 16 == 15)
            continue;
        if (i % 8 == 3)
            w &= 0x80000000u;
        else if (ibm)
            w = (w & 0x80FFFFFFu) | ((39u + (w >> 24) % 58u) << 24);
        else
            w = (w & 0x807FFFFFu) | ((1u + (w >> 23) % 254u) << 23);
    }
}

double Quaternary8Value(uint32_t b)
{
    const int q = (b >> 4) & 7;
    const int f = b & 15;
    return (b & 0x80) != 0 ? -std::ldexp(15 - f, 2 * q - 4) : std::ldexp(f, 2 * q - 4);
}

double Quaternary16Value(uint32_t hi, uint32_t lo)
{
    const int m = static_cast<int>(((hi & 15) << 8) | lo);
    return std::ldexp((hi & 0x80) != 0 ? -(4095 - m) : m, 2 * static_cast<int>((hi >> 4) & 7) - 12);
}

double HexValue(uint32_t sign, uint32_t q, uint32_t f, int fractionBits)
{
    const double v = std::ldexp(f, 4 * static_cast<int>(q) - (fractionBits - 1));
    return f == 0 ? 0.0 : (sign != 0 ? -v : v);
}

int32_t Int24Value(uint32_t msb, uint32_t mid, uint32_t lsb)
{
    const int32_t v = static_cast<int32_t>((msb << 16) | (mid << 8) | lsb);
    return v >= 0x800000 ? v - 0x1000000 : v;
}

// Element offset, count and array sizes of one call: the arrays hold offset + max(count, 0)
// elements (at least one, so that a pointer can be formed).
struct Layout {
    std::size_t offset;
    int count;
    std::size_t n; // elements converted
    std::size_t size;
};

Layout PickLayout(FuzzedDataProvider& fdp)
{
    Layout l;
    l.offset = fdp.ConsumeIntegralInRange<std::size_t>(0, 9);
    l.count = fdp.ConsumeIntegralInRange<int>(-9, 700);
    l.n = l.count > 0 ? static_cast<std::size_t>(l.count) : 0;
    l.size = l.offset + l.n == 0 ? 1 : l.offset + l.n;
    return l;
}

// The elements before the call's offset hold the 7 they were filled with.
template <typename T>
void CheckUntouched(const std::vector<T>& v, std::size_t offset, const char* routine)
{
    for (std::size_t i = 0; i < offset; ++i)
        Check(v[i] == T(7), routine, i, 0, 0, 7);
}

void FuzzIbmToFloat(FuzzedDataProvider& fdp, const Layout& l, bool inPlace)
{
    const int shape = fdp.ConsumeIntegralInRange(0, 2);
    std::vector<uint32_t> src = Elements<uint32_t>(SourceBytes(fdp, 4 * l.size), l.size);
    Shape(src, shape, true);
    const std::vector<uint32_t> words = src;
    std::vector<float> dst(l.size, 7.0f);
    std::vector<double> wide(l.size, 7.0);
    if (inPlace) {
        IbmToFloat(src.data() + l.offset, reinterpret_cast<float*>(src.data() + l.offset), l.count);
    } else {
        IbmToFloat(src.data() + l.offset, dst.data() + l.offset, l.count);
        IbmToDouble(src.data() + l.offset, wide.data() + l.offset, l.count);
        CheckUntouched(dst, l.offset, "IbmToFloat");
        CheckUntouched(wide, l.offset, "IbmToDouble");
    }
    for (std::size_t i = 0; i < l.offset; ++i)
        Check(src[i] == words[i], "IbmToFloat source", i, words[i], src[i], words[i]);
    for (std::size_t i = l.offset; i < l.offset + l.n; ++i) {
        const uint32_t expected = IbmReference::IbmToIeee(words[i]);
        if (inPlace) {
            Check(src[i] == expected, "IbmToFloat in place", i, words[i], src[i], expected);
        } else {
            Check(Bits(dst[i]) == expected, "IbmToFloat", i, words[i], Bits(dst[i]), expected);
            const uint64_t wideExpected = Bits(static_cast<double>(FloatOf(expected)));
            Check(Bits(wide[i]) == wideExpected, "IbmToDouble", i, words[i], Bits(wide[i]),
                wideExpected);
        }
    }
}

void FuzzFloatToIbm(FuzzedDataProvider& fdp, const Layout& l, bool inPlace)
{
    const int shape = fdp.ConsumeIntegralInRange(0, 2);
    std::vector<uint32_t> bits = Elements<uint32_t>(SourceBytes(fdp, 4 * l.size), l.size);
    Shape(bits, shape, false);
    const std::vector<uint32_t> patterns = bits;
    std::vector<float> src(l.size);
    for (std::size_t i = 0; i < l.size; ++i)
        src[i] = FloatOf(bits[i]);
    std::vector<uint32_t> dst(l.size, 7u);
    if (inPlace)
        FloatToIbm(reinterpret_cast<const float*>(bits.data() + l.offset), bits.data() + l.offset,
            l.count);
    else
        FloatToIbm(src.data() + l.offset, dst.data() + l.offset, l.count);
    const std::vector<uint32_t>& out = inPlace ? bits : dst;
    for (std::size_t i = 0; i < l.offset + l.n; ++i) {
        const uint32_t expected
            = i < l.offset ? (inPlace ? patterns[i] : 7u) : IbmReference::IeeeToIbm(patterns[i]);
        Check(out[i] == expected, inPlace ? "FloatToIbm in place" : "FloatToIbm", i, patterns[i],
            out[i], expected);
    }
}

void FuzzDoubleToIbm(FuzzedDataProvider& fdp, const Layout& l)
{
    std::vector<uint64_t> bits = Elements<uint64_t>(SourceBytes(fdp, 8 * l.size), l.size);
    // Bring most exponents near the single-precision range, where the rounding happens.
    if (fdp.ConsumeBool()) {
        for (uint64_t& b : bits)
            b = (b & 0x800FFFFFFFFFFFFFu) | (uint64_t{850 + ((b >> 52) & 0x7FF) % 340} << 52);
    }
    std::vector<double> src(l.size);
    for (std::size_t i = 0; i < l.size; ++i)
        src[i] = DoubleOf(bits[i]);
    std::vector<uint32_t> dst(l.size, 7u);
    DoubleToIbm(src.data() + l.offset, dst.data() + l.offset, l.count);
    for (std::size_t i = 0; i < l.offset + l.n; ++i) {
        // The narrowing of the default environment is the IEEE one, nearest with ties to even.
        const uint32_t expected
            = i < l.offset ? 7u : IbmReference::IeeeToIbm(Bits(static_cast<float>(src[i])));
        Check(dst[i] == expected, "DoubleToIbm", i, bits[i], dst[i], expected);
    }
}

void FuzzIntegers(FuzzedDataProvider& fdp, const Layout& l)
{
    const std::vector<unsigned char> bytes = SourceBytes(fdp, 4 * l.size);
    const std::vector<int32_t> ints = Elements<int32_t>(bytes, l.size);
    const std::vector<int16_t> shorts = Elements<int16_t>(bytes, l.size);
    std::vector<float> fromInts(l.size, 7.0f);
    std::vector<float> fromShorts(l.size, 7.0f);
    Int32ToFloat(ints.data() + l.offset, fromInts.data() + l.offset, l.count);
    Int16ToFloat(shorts.data() + l.offset, fromShorts.data() + l.offset, l.count);
    CheckUntouched(fromInts, l.offset, "Int32ToFloat");
    CheckUntouched(fromShorts, l.offset, "Int16ToFloat");
    for (std::size_t i = l.offset; i < l.offset + l.n; ++i) {
        const uint32_t expected = Bits(static_cast<float>(ints[i]));
        Check(Bits(fromInts[i]) == expected, "Int32ToFloat", i, uint32_t(ints[i]),
            Bits(fromInts[i]), expected);
        Check(fromShorts[i] == static_cast<float>(shorts[i]), "Int16ToFloat", i,
            uint16_t(shorts[i]), Bits(fromShorts[i]), Bits(static_cast<float>(shorts[i])));
    }
}

void FuzzInt24(FuzzedDataProvider& fdp, const Layout& l)
{
    const std::vector<unsigned char> src = SourceBytes(fdp, 3 * l.size);
    std::vector<int32_t> dst(l.size, 7);
    Int24ArrayToInt32(src.data() + 3 * l.offset, dst.data() + l.offset, l.count);
    CheckUntouched(dst, l.offset, "Int24ArrayToInt32");
    for (std::size_t i = l.offset; i < l.offset + l.n; ++i) {
        const unsigned char* p = &src[3 * i];
        const int32_t expected = Int24Value(p[0], p[1], p[2]);
        Check(dst[i] == expected, "Int24ArrayToInt32", i, 0, uint32_t(dst[i]), uint32_t(expected));
    }
    // The single-value forms on a buffer of exactly 3 bytes.
    const std::vector<unsigned char> three(src.begin(), src.begin() + 3);
    const int littleEndian = fdp.ConsumeIntegralInRange(-2, 2);
    const uint32_t msb = littleEndian != 0 ? three[2] : three[0];
    const uint32_t lsb = littleEndian != 0 ? three[0] : three[2];
    Check(Int24ToInt32(three.data(), littleEndian) == Int24Value(msb, three[1], lsb),
        "Int24ToInt32", 0, 0, 0, 0);
    Check(UInt24ToInt32(three.data(), littleEndian)
            == static_cast<int32_t>((msb << 16) | (uint32_t{three[1]} << 8) | lsb),
        "UInt24ToInt32", 0, 0, 0, 0);
}

// Offsets and whole-group counts in groups of 4 samples; the arrays end with the last group
// the call may decode, so a sample written past it is caught.
void FuzzDecode20Bit(FuzzedDataProvider& fdp, const Layout& l)
{
    const std::size_t first = l.offset % 3;
    const std::size_t done = l.count >= 4 ? static_cast<std::size_t>(l.count) / 4 : 0;
    const std::size_t groups = first + done == 0 ? 1 : first + done;
    const std::vector<unsigned char> src = SourceBytes(fdp, 10 * groups);
    std::vector<int32_t> work(4 * groups, 7);
    std::vector<float> dst(4 * groups, 7.0f);
    Decode20Bit(src.data() + 10 * first, work.data() + 4 * first, dst.data() + 4 * first, l.count);
    for (std::size_t i = 0; i < 4 * groups; ++i) {
        const std::size_t g = i / 4;
        int32_t expected = 7;
        if (g >= first && g < first + done) {
            const unsigned char* p = &src[10 * g];
            const int k = static_cast<int>(i % 4);
            const int e = (((p[0] << 8) | p[1]) >> (12 - 4 * k)) & 15;
            const int16_t m = static_cast<int16_t>((p[2 + 2 * k] << 8) | p[3 + 2 * k]);
            expected = static_cast<int32_t>(m * (int64_t{1} << e));
        }
        Check(work[i] == expected, "Decode20Bit work", i, 0, uint32_t(work[i]), uint32_t(expected));
        Check(dst[i] == static_cast<float>(expected), "Decode20Bit", i, 0, Bits(dst[i]),
            Bits(static_cast<float>(expected)));
    }
}

void FuzzExponentFormats(FuzzedDataProvider& fdp, const Layout& l)
{
    const std::vector<unsigned char> src = SourceBytes(fdp, 2 * l.size);
    const std::vector<uint16_t> words = Elements<uint16_t>(src, l.size);
    const std::vector<unsigned char> bytes(src.begin(), src.begin() + static_cast<long>(l.size));
    std::vector<uint32_t> q8(l.size, 7u);
    std::vector<float> q16(l.size, 7.0f);
    std::vector<float> h8(l.size, 7.0f);
    std::vector<float> h16(l.size, 7.0f);
    Decode8BitQuaternary(bytes.data() + l.offset, q8.data() + l.offset, l.count);
    Decode16BitQuaternary(src.data() + 2 * l.offset, q16.data() + l.offset, l.count);
    Decode8BitHex(bytes.data() + l.offset, h8.data() + l.offset, l.count);
    Decode16BitHex(words.data() + l.offset, h16.data() + l.offset, l.count);
    CheckUntouched(q8, l.offset, "Decode8BitQuaternary");
    CheckUntouched(q16, l.offset, "Decode16BitQuaternary");
    CheckUntouched(h8, l.offset, "Decode8BitHex");
    CheckUntouched(h16, l.offset, "Decode16BitHex");
    for (std::size_t i = l.offset; i < l.offset + l.n; ++i) {
        const uint32_t b = bytes[i];
        const uint32_t w = words[i];
        const uint32_t eq8 = Bits(static_cast<float>(Quaternary8Value(b)));
        const uint32_t eq16
            = Bits(static_cast<float>(Quaternary16Value(src[2 * i], src[2 * i + 1])));
        const uint32_t eh8 = Bits(static_cast<float>(HexValue(b >> 7, (b >> 5) & 3, b & 31, 5)));
        const uint32_t eh16
            = Bits(static_cast<float>(HexValue(w >> 15, (w >> 13) & 3, w & 0x1FFF, 13)));
        Check(q8[i] == eq8, "Decode8BitQuaternary", i, b, q8[i], eq8);
        Check(Bits(q16[i]) == eq16, "Decode16BitQuaternary", i, w, Bits(q16[i]), eq16);
        Check(Bits(h8[i]) == eh8, "Decode8BitHex", i, b, Bits(h8[i]), eh8);
        Check(Bits(h16[i]) == eh16, "Decode16BitHex", i, w, Bits(h16[i]), eh16);
    }
}

void FuzzBcd(FuzzedDataProvider& fdp)
{
    const int offset = fdp.ConsumeIntegralInRange(0, 16);
    const bool skip = fdp.ConsumeBool();
    const int digitCount = fdp.ConsumeIntegralInRange(-4, 140);
    const std::size_t nibbles
        = (skip ? 1u : 0u) + static_cast<std::size_t>(digitCount > 0 ? digitCount : 0);
    const std::size_t used
        = static_cast<std::size_t>(offset) + (digitCount > 0 ? (nibbles + 1) / 2 : 0);
    std::vector<unsigned char> buf = SourceBytes(fdp, used == 0 ? 1 : used);
    uint32_t expected = 0;
    for (std::size_t k = skip ? 1 : 0; k < nibbles; ++k) {
        const unsigned char byte = buf[static_cast<std::size_t>(offset) + k / 2];
        expected = expected * 10u + (k % 2 == 0 ? byte >> 4 : byte & 15u);
    }
    const int got = BcdToInt(buf.data(), offset, skip, digitCount);
    Check(static_cast<uint32_t>(got) == expected, "BcdToInt", 0, uint32_t(digitCount),
        uint32_t(got), expected);
}

void FuzzSwapAndScalars(FuzzedDataProvider& fdp)
{
    const int size = fdp.ConsumeIntegralInRange(-3, 12);
    std::vector<unsigned char> bytes = SourceBytes(fdp, size > 0 ? std::size_t(size) : 1);
    const std::vector<unsigned char> before = bytes;
    SwapBytes(bytes.data(), size);
    const bool swaps = size == 2 || size == 4 || size == 8;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char expected = swaps ? before[bytes.size() - 1 - i] : before[i];
        Check(bytes[i] == expected, "SwapBytes", i, uint32_t(size), bytes[i], expected);
    }
    if (bytes.size() >= 2) {
        std::vector<unsigned char> two(bytes.begin(), bytes.begin() + 2);
        Swap16(two.data());
        Check(two[0] == bytes[1] && two[1] == bytes[0], "Swap16", 0, 0, 0, 0);
    }
    const float value = FloatOf(fdp.ConsumeIntegral<uint32_t>());
    const float scalar = FloatOf(fdp.ConsumeIntegral<uint32_t>());
    const float applied = ApplyScalar(value, scalar);
    const float removed = RemoveScalar(value, scalar);
    if (!(scalar > 0) && !(scalar < 0)) {
        // A zero scalar (or a NaN, which is neither) leaves the value as it is.
        Check(Bits(applied) == Bits(value) && Bits(removed) == Bits(value), "ApplyScalar", 0,
            Bits(scalar), Bits(applied), Bits(value));
    }
}

// The byte-reversed copy of `bytes`, element by element.
std::vector<unsigned char> Reversed(std::vector<unsigned char> bytes, std::size_t width)
{
    for (std::size_t i = 0; i + width <= bytes.size(); i += width) {
        for (std::size_t a = i, b = i + width - 1; a < b; ++a, --b) {
            const unsigned char t = bytes[a];
            bytes[a] = bytes[b];
            bytes[b] = t;
        }
    }
    return bytes;
}

// The file-order routines, their byte side at offset 0 to 3 and their host side 0 to 3 elements
// on, against the host-order routines on the swapped words. The arrays end where the call
// must stop; the bytes before the destination must stay as they were.
void FuzzBigEndian(FuzzedDataProvider& fdp, const Layout& l)
{
    const int which = fdp.ConsumeIntegralInRange(0, 4);
    const std::size_t a = fdp.ConsumeIntegralInRange<std::size_t>(0, 3);
    const std::size_t b = fdp.ConsumeIntegralInRange<std::size_t>(0, 3);
    const int shape = fdp.ConsumeIntegralInRange(0, 2);
    const std::size_t inWidth = which == 3 ? 2 : 4;
    const std::size_t outWidth = which == 1 ? 8 : 4;
    // File-order bytes at any offset; host numbers whole elements from an aligned start.
    const std::size_t srcOffset = which == 2 ? 4 * a : a;
    const std::size_t dstOffset = which == 2 ? b : outWidth * b;
    std::vector<uint32_t> words = Elements<uint32_t>(SourceBytes(fdp, 4 * l.size), l.size);
    Shape(words, shape, which != 2);
    std::vector<unsigned char> hostOrder(inWidth * l.n);
    for (std::size_t i = 0; i < l.n; ++i)
        std::memcpy(&hostOrder[inWidth * i], &words[i], inWidth);
    // The source as the routine sees it: file order, except for FloatToIbmBigEndian.
    const std::vector<unsigned char> given = which == 2 ? hostOrder : Reversed(hostOrder, inWidth);
    std::vector<unsigned char> src(srcOffset + given.size());
    std::copy(given.begin(), given.end(), src.begin() + static_cast<long>(srcOffset));
    std::vector<unsigned char> dst(dstOffset + outWidth * l.n + (l.n == 0 ? 1 : 0), 7);
    std::vector<unsigned char> expected(outWidth * l.n + 1);
    const unsigned char* in = src.data() + srcOffset;
    unsigned char* out = dst.data() + dstOffset;
    const int count = l.count;
    const char* routine = "";
    switch (which) {
    case 0:
        routine = "IbmBigEndianToFloat";
        IbmBigEndianToFloat(in, reinterpret_cast<float*>(out), count);
        IbmToFloat(reinterpret_cast<const uint32_t*>(hostOrder.data()),
            reinterpret_cast<float*>(expected.data()), count);
        break;
    case 1:
        routine = "IbmBigEndianToDouble";
        IbmBigEndianToDouble(in, reinterpret_cast<double*>(out), count);
        IbmToDouble(reinterpret_cast<const uint32_t*>(hostOrder.data()),
            reinterpret_cast<double*>(expected.data()), count);
        break;
    case 2:
        routine = "FloatToIbmBigEndian";
        FloatToIbmBigEndian(reinterpret_cast<const float*>(in), out, count);
        FloatToIbm(reinterpret_cast<const float*>(hostOrder.data()),
            reinterpret_cast<uint32_t*>(expected.data()), count);
        expected = Reversed(expected, 4);
        break;
    case 3:
        routine = "Int16BigEndianToFloat";
        Int16BigEndianToFloat(in, reinterpret_cast<float*>(out), count);
        Int16ToFloat(reinterpret_cast<const int16_t*>(hostOrder.data()),
            reinterpret_cast<float*>(expected.data()), count);
        break;
    default:
        routine = "Int32BigEndianToFloat";
        Int32BigEndianToFloat(in, reinterpret_cast<float*>(out), count);
        Int32ToFloat(reinterpret_cast<const int32_t*>(hostOrder.data()),
            reinterpret_cast<float*>(expected.data()), count);
        break;
    }
    for (std::size_t i = 0; i < dstOffset; ++i)
        Check(dst[i] == 7, routine, i, 0, dst[i], 7);
    for (std::size_t i = 0; i < outWidth * l.n; ++i)
        Check(
            out[i] == expected[i], routine, i / outWidth, words[i / outWidth], out[i], expected[i]);
}

// SwapArray16/32/64 at byte offsets 0 to 3, in place or not, against a byte-by-byte reversal.
void FuzzSwapArrays(FuzzedDataProvider& fdp, const Layout& l)
{
    const std::size_t width = std::size_t{2} << fdp.ConsumeIntegralInRange(0, 2);
    const std::size_t offset = fdp.ConsumeIntegralInRange<std::size_t>(0, 3);
    const bool inPlace = fdp.ConsumeBool();
    const std::vector<unsigned char> bytes = SourceBytes(fdp, width * l.n);
    std::vector<unsigned char> src(offset + bytes.size() + (l.n == 0 ? 1 : 0));
    std::copy(bytes.begin(), bytes.end(), src.begin() + static_cast<long>(offset));
    std::vector<unsigned char> dst(src.size(), 7);
    unsigned char* out = inPlace ? src.data() + offset : dst.data() + offset;
    void (*swap)(const void*, void*, int)
        = width == 2 ? SwapArray16 : (width == 4 ? SwapArray32 : SwapArray64);
    swap(src.data() + offset, out, l.count);
    const std::vector<unsigned char> expected = Reversed(bytes, width);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Check(out[i] == expected[i], "SwapArray", i, width, out[i], expected[i]);
    if (!inPlace) {
        for (std::size_t i = 0; i < offset; ++i)
            Check(dst[i] == 7, "SwapArray before", i, width, dst[i], 7);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            Check(src[offset + i] == bytes[i], "SwapArray source", i, width, src[offset + i],
                bytes[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const int routine = fdp.ConsumeIntegralInRange(0, 12);
    if (routine == 9) {
        FuzzBcd(fdp);
        return 0;
    }
    if (routine == 10) {
        FuzzSwapAndScalars(fdp);
        return 0;
    }
    const Layout l = PickLayout(fdp);
    switch (routine) {
    case 0:
        FuzzIbmToFloat(fdp, l, false);
        break;
    case 1:
        FuzzIbmToFloat(fdp, l, true);
        break;
    case 2:
        FuzzFloatToIbm(fdp, l, false);
        break;
    case 3:
        FuzzFloatToIbm(fdp, l, true);
        break;
    case 4:
        FuzzDoubleToIbm(fdp, l);
        break;
    case 5:
        FuzzIntegers(fdp, l);
        break;
    case 6:
        FuzzInt24(fdp, l);
        break;
    case 7:
        FuzzDecode20Bit(fdp, l);
        break;
    case 11:
        FuzzBigEndian(fdp, l);
        break;
    case 12:
        FuzzSwapArrays(fdp, l);
        break;
    default:
        FuzzExponentFormats(fdp, l);
        break;
    }
    return 0;
}
