#include "SegySamples.h"

#include "SampleFormats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

// Conversions that need an aligned host-order array go through this many values at a time in a
// buffer on the stack, which stays in the first-level cache.
constexpr int kChunk = 1024;

template <typename T> T Load(const unsigned char* p, bool little)
{
    unsigned char b[sizeof(T)];
    if (little) {
        std::memcpy(b, p, sizeof(T));
    } else {
        for (std::size_t i = 0; i < sizeof(T); ++i)
            b[i] = p[sizeof(T) - 1 - i];
    }
    T v;
    std::memcpy(&v, b, sizeof(T));
    return v;
}

template <typename T> void Store(T v, unsigned char* p, bool little)
{
    unsigned char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    if (little) {
        std::memcpy(p, b, sizeof(T));
    } else {
        for (std::size_t i = 0; i < sizeof(T); ++i)
            p[i] = b[sizeof(T) - 1 - i];
    }
}

int32_t Load24(const unsigned char* p, bool little, bool isSigned)
{
    return isSigned ? Int24ToInt32(p, little ? 1 : 0) : UInt24ToInt32(p, little ? 1 : 0);
}

// Host-order words of a little-endian file, through an aligned buffer when src is not aligned.
template <typename Word, typename Out, typename Convert>
void ConvertHostOrder(const unsigned char* src, Out* dst, int count, Convert convert)
{
    if (reinterpret_cast<std::uintptr_t>(src) % alignof(Word) == 0) {
        convert(reinterpret_cast<const Word*>(src), dst, count);
        return;
    }
    Word buffer[kChunk];
    for (int done = 0; done < count; done += kChunk) {
        const int n = std::min(kChunk, count - done);
        std::memcpy(buffer, src + std::size_t(done) * sizeof(Word), std::size_t(n) * sizeof(Word));
        convert(buffer, dst + done, n);
    }
}

// Values read one by one: the narrow and rare formats.
template <typename Out, typename Read>
void ConvertEach(const unsigned char* src, int width, Out* dst, int count, Read read)
{
    for (int i = 0; i < count; ++i)
        dst[i] = static_cast<Out>(read(src + std::size_t(i) * width));
}

template <typename Out>
void DecodeCommon(const unsigned char* src, int format, bool little, Out* dst, int count)
{
    switch (format) {
    case 3:
        ConvertEach(src, 2, dst, count,
            [little](const unsigned char* p) { return Load<int16_t>(p, little); });
        break;
    case 7:
        ConvertEach(src, 3, dst, count,
            [little](const unsigned char* p) { return Load24(p, little, true); });
        break;
    case 8:
        ConvertEach(
            src, 1, dst, count, [](const unsigned char* p) { return static_cast<int8_t>(*p); });
        break;
    case 9:
        ConvertEach(src, 8, dst, count,
            [little](const unsigned char* p) { return Load<int64_t>(p, little); });
        break;
    case 10:
        ConvertEach(src, 4, dst, count,
            [little](const unsigned char* p) { return Load<uint32_t>(p, little); });
        break;
    case 11:
        ConvertEach(src, 2, dst, count,
            [little](const unsigned char* p) { return Load<uint16_t>(p, little); });
        break;
    case 12:
        ConvertEach(src, 8, dst, count,
            [little](const unsigned char* p) { return Load<uint64_t>(p, little); });
        break;
    case 15:
        ConvertEach(src, 3, dst, count,
            [little](const unsigned char* p) { return Load24(p, little, false); });
        break;
    case 16:
        ConvertEach(src, 1, dst, count, [](const unsigned char* p) { return *p; });
        break;
    default:
        break;
    }
}

// Nearest integer of the type, ties to even, saturated; NaN gives 0.
template <typename I> I RoundToInteger(double v)
{
    if (std::isnan(v))
        return 0;
    // 2^(digits) is exact in double for every integer type here.
    const double top = std::ldexp(1.0, std::numeric_limits<I>::digits);
    const double bottom = std::is_signed<I>::value ? -top : 0.0;
    if (v <= bottom)
        return std::numeric_limits<I>::min();
    if (v >= top)
        return std::numeric_limits<I>::max();
    return static_cast<I>(std::nearbyint(v));
}

template <typename In>
void EncodeCommon(const In* src, int format, bool little, unsigned char* dst, int count)
{
    for (int i = 0; i < count; ++i) {
        const double v = static_cast<double>(src[i]);
        switch (format) {
        case 2:
            Store(RoundToInteger<int32_t>(v), dst + std::size_t(i) * 4, little);
            break;
        case 3:
            Store(RoundToInteger<int16_t>(v), dst + std::size_t(i) * 2, little);
            break;
        case 6:
            Store(v, dst + std::size_t(i) * 8, little);
            break;
        case 7:
        case 15: {
            const int32_t x = format == 7
                ? std::clamp<int32_t>(RoundToInteger<int32_t>(v), -8388608, 8388607)
                : std::clamp<int32_t>(RoundToInteger<int32_t>(v), 0, 16777215);
            unsigned char* q = dst + std::size_t(i) * 3;
            const unsigned char b[3] = {static_cast<unsigned char>(x >> 16),
                static_cast<unsigned char>(x >> 8), static_cast<unsigned char>(x)};
            q[0] = little ? b[2] : b[0];
            q[1] = b[1];
            q[2] = little ? b[0] : b[2];
            break;
        }
        case 8:
            dst[i] = static_cast<unsigned char>(RoundToInteger<int8_t>(v));
            break;
        case 9:
            Store(RoundToInteger<int64_t>(v), dst + std::size_t(i) * 8, little);
            break;
        case 10:
            Store(RoundToInteger<uint32_t>(v), dst + std::size_t(i) * 4, little);
            break;
        case 11:
            Store(RoundToInteger<uint16_t>(v), dst + std::size_t(i) * 2, little);
            break;
        case 12:
            Store(RoundToInteger<uint64_t>(v), dst + std::size_t(i) * 8, little);
            break;
        case 16:
            dst[i] = RoundToInteger<uint8_t>(v);
            break;
        default:
            break;
        }
    }
}

} // namespace

void DecodeSegySamples(const unsigned char* src, int format, bool little, float* dst, int count)
{
    if (count <= 0)
        return;
    switch (format) {
    case 1:
        if (little)
            ConvertHostOrder<uint32_t>(src, dst, count, IbmToFloat);
        else
            IbmBigEndianToFloat(src, dst, count);
        break;
    case 2:
        if (little)
            ConvertHostOrder<int32_t>(src, dst, count, Int32ToFloat);
        else
            Int32BigEndianToFloat(src, dst, count);
        break;
    case 3:
        if (little)
            ConvertHostOrder<int16_t>(src, dst, count, Int16ToFloat);
        else
            Int16BigEndianToFloat(src, dst, count);
        break;
    case 5:
        if (little)
            std::memcpy(dst, src, std::size_t(count) * 4);
        else
            SwapArray32(src, dst, count);
        break;
    case 6: {
        // Narrowed to the nearest float, as DoubleToIbm narrows.
        double buffer[kChunk];
        for (int done = 0; done < count; done += kChunk) {
            const int n = std::min(kChunk, count - done);
            DecodeSegySamples(src + std::size_t(done) * 8, 6, little, buffer, n);
            for (int i = 0; i < n; ++i)
                dst[done + i] = static_cast<float>(buffer[i]);
        }
        break;
    }
    default:
        DecodeCommon(src, format, little, dst, count);
        break;
    }
}

void DecodeSegySamples(const unsigned char* src, int format, bool little, double* dst, int count)
{
    if (count <= 0)
        return;
    switch (format) {
    case 1:
        if (little)
            ConvertHostOrder<uint32_t>(src, dst, count, IbmToDouble);
        else
            IbmBigEndianToDouble(src, dst, count);
        break;
    case 2:
        ConvertEach(src, 4, dst, count,
            [little](const unsigned char* p) { return Load<int32_t>(p, little); });
        break;
    case 5:
        ConvertEach(src, 4, dst, count,
            [little](const unsigned char* p) { return Load<float>(p, little); });
        break;
    case 6:
        if (little)
            std::memcpy(dst, src, std::size_t(count) * 8);
        else
            SwapArray64(src, dst, count);
        break;
    default:
        DecodeCommon(src, format, little, dst, count);
        break;
    }
}

void EncodeSegySamples(const float* src, int format, bool little, unsigned char* dst, int count)
{
    if (count <= 0)
        return;
    switch (format) {
    case 1:
        if (little) {
            uint32_t buffer[kChunk];
            for (int done = 0; done < count; done += kChunk) {
                const int n = std::min(kChunk, count - done);
                FloatToIbm(src + done, buffer, n);
                std::memcpy(dst + std::size_t(done) * 4, buffer, std::size_t(n) * 4);
            }
        } else {
            FloatToIbmBigEndian(src, dst, count);
        }
        break;
    case 5:
        if (little)
            std::memcpy(dst, src, std::size_t(count) * 4);
        else
            SwapArray32(src, dst, count);
        break;
    default:
        EncodeCommon(src, format, little, dst, count);
        break;
    }
}

void EncodeSegySamples(const double* src, int format, bool little, unsigned char* dst, int count)
{
    if (count <= 0)
        return;
    switch (format) {
    case 1: {
        uint32_t buffer[kChunk];
        for (int done = 0; done < count; done += kChunk) {
            const int n = std::min(kChunk, count - done);
            DoubleToIbm(src + done, buffer, n);
            if (little)
                std::memcpy(dst + std::size_t(done) * 4, buffer, std::size_t(n) * 4);
            else
                SwapArray32(buffer, dst + std::size_t(done) * 4, n);
        }
        break;
    }
    case 5:
        for (int i = 0; i < count; ++i)
            Store(static_cast<float>(src[i]), dst + std::size_t(i) * 4, little);
        break;
    case 6:
        if (little)
            std::memcpy(dst, src, std::size_t(count) * 8);
        else
            SwapArray64(src, dst, count);
        break;
    default:
        EncodeCommon(src, format, little, dst, count);
        break;
    }
}

void SwapSegyValues(const unsigned char* src, unsigned char* dst, int width, int count)
{
    if (count <= 0)
        return;
    switch (width) {
    case 2:
        SwapArray16(src, dst, count);
        break;
    case 4:
        SwapArray32(src, dst, count);
        break;
    case 8:
        SwapArray64(src, dst, count);
        break;
    case 3:
        for (int i = 0; i < count; ++i) {
            const unsigned char* s = src + std::size_t(i) * 3;
            unsigned char* d = dst + std::size_t(i) * 3;
            const unsigned char first = s[0];
            d[1] = s[1];
            d[0] = s[2];
            d[2] = first;
        }
        break;
    default:
        if (src != dst)
            std::memcpy(dst, src, std::size_t(count) * std::size_t(width));
        break;
    }
}
