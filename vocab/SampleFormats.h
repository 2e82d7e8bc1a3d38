#pragma once

#include <cstdint>

/// @file
/// Sample and header encodings of seismic tapes and files, to and from host numbers.
///
/// Array routines take (source, destination, count). The caller owns every array and sizes it
/// for `count` elements of the stated width; a count of 0 or less converts nothing. No routine
/// allocates, reports, checks its pointers or keeps state, so all may run on any thread.
///
/// Arrays must not overlap, except that IbmToFloat, FloatToIbm and the SwapArray routines may
/// convert in place: their source and destination may be the very same array (not a shifted part
/// of it).
///
/// Routines named BigEndian read or write file-order (big-endian) bytes at any alignment, in one
/// pass: each gives the same result as its host-order relative applied to the byte-swapped words.
///
/// An IBM single-precision word, held in host order as a 32-bit unsigned integer, is
///   bit 31 sign | bits 24-30 exponent E, excess 64 | bits 0-23 fraction F
/// and stands for (-1)^sign x (F / 2^24) x 16^(E - 64). Conversions between IBM and IEEE
/// single never round: fraction bits shifted out to the right are dropped.
///
/// The IBM and packed-exponent conversions, the integer conversions and Decode20Bit give the
/// same bits under any rounding mode and with flush-to-zero or denormals-are-zero switched on,
/// and they leave the floating-point environment (modes and exception flags) as they found it. ApplyScalar and RemoveScalar are plain single-precision
/// arithmetic and follow the environment.

/// dst[i] = src[i] as float (always exact).
void Int16ToFloat(const int16_t* src, float* dst, int count);

/// dst[i] = the float nearest to src[i], ties to even.
void Int32ToFloat(const int32_t* src, float* dst, int count);

/// IBM words to IEEE single. A zero fraction gives a zero with the word's sign; unnormalised
/// words give the same result as their normalised form; magnitudes below the smallest normal
/// single become subnormals, truncated (or a signed zero); magnitudes too large for single
/// precision become infinity with the word's sign.
void IbmToFloat(const uint32_t* src, float* dst, int count);

/// As IbmToFloat, then each single widened to double.
void IbmToDouble(const uint32_t* src, double* dst, int count);

/// IEEE single to IBM words. Normal numbers keep their value but for the 0 to 3 low fraction
/// bits shifted out to reach a multiple-of-4 exponent. Subnormals become unnormalised IBM words
/// of exponent 32 or 33. Infinity and NaN become the largest IBM magnitude with their sign
/// (0x7FFFFFFF, 0xFFFFFFFF).
void FloatToIbm(const float* src, uint32_t* dst, int count);

/// Each double narrowed to float (nearest, ties to even; too large gives infinity), then as
/// FloatToIbm.
void DoubleToIbm(const double* src, uint32_t* dst, int count);

/// IBM words in file order (4 bytes each, any alignment) to IEEE single: exactly IbmToFloat's
/// result for each byte-swapped word.
void IbmBigEndianToFloat(const unsigned char* src, float* dst, int count);

/// IBM words in file order to double: IbmToDouble's result for each byte-swapped word.
void IbmBigEndianToDouble(const unsigned char* src, double* dst, int count);

/// IEEE single to IBM words in file order, 4 * count bytes out at any alignment: FloatToIbm's
/// words, byte-swapped.
void FloatToIbmBigEndian(const float* src, unsigned char* dst, int count);

/// Big-endian 16-bit two's-complement integers (2 bytes each, any alignment) to float, exactly.
void Int16BigEndianToFloat(const unsigned char* src, float* dst, int count);

/// Big-endian 32-bit two's-complement integers (4 bytes each, any alignment) to the nearest
/// float, ties to even, as Int32ToFloat.
void Int32BigEndianToFloat(const unsigned char* src, float* dst, int count);

/// The packed-decimal field of `digitCount` digits starting at byte `offset` of `buf`, high
/// nibble first, or at the low nibble of that byte when `skipFirstNibble` is set. Nibbles are
/// not validated: 10 to 15 count as such digits. The value accumulates modulo 2^32 and is
/// returned as int; a digitCount of 0 or less gives 0. Reads only the bytes holding the digits.
int BcdToInt(const unsigned char* buf, int offset, bool skipFirstNibble, int digitCount);

/// count big-endian signed 24-bit values (3 bytes each) to 32-bit integers.
void Int24ArrayToInt32(const unsigned char* src, int32_t* dst, int count);

/// One signed 24-bit value, sign-extended. littleEndian 0: src[0] is the most significant byte;
/// any other value: src[0] is the least significant.
int32_t Int24ToInt32(const unsigned char* src, int littleEndian);

/// One unsigned 24-bit value, zero-extended; byte order as Int24ToInt32.
int32_t UInt24ToInt32(const unsigned char* src, int littleEndian);

/// 20-bit samples in groups of four, 10 bytes a group: a big-endian word of four 4-bit exponents
/// (the first sample's in bits 12-15, the fourth's in bits 0-3), then the four samples'
/// big-endian 16-bit two's-complement mantissas. Sample = mantissa x 2^exponent. Only whole
/// groups are decoded: 4 x (count / 4) integers go to `work` and the same values as floats to
/// `dst`; the entries past them are left alone.
void Decode20Bit(const unsigned char* src, int32_t* work, float* dst, int count);

/// One byte a sample: bit 7 sign, bits 4-6 exponent q, bits 0-3 fraction f. Writes the IEEE
/// single bit pattern of (f / 16) x 4^q for positive bytes (f = 0 gives 0) and of
/// -((15 - f) / 16) x 4^q for negative ones, whose fraction is one's complement (f = 15 gives
/// -0.0, 0x80000000).
void Decode8BitQuaternary(const unsigned char* src, uint32_t* dst, int count);

/// Two bytes a sample, high byte first: bit 7 of the high byte sign, bits 4-6 exponent q, then a
/// 12-bit mantissa M (the high byte's low nibble above the low byte). Positive: M; negative:
/// -(4095 - M). The sample is that integer / 4096 x 4^q.
void Decode16BitQuaternary(const unsigned char* src, float* dst, int count);

/// One byte a sample: bit 7 sign, bits 5-6 exponent q, bits 0-4 fraction f.
/// Sample = (-1)^sign x (f / 16) x 16^q; f = 0 gives +0.0.
void Decode8BitHex(const unsigned char* src, float* dst, int count);

/// One host-order 16-bit word a sample: bit 15 sign, bits 13-14 exponent q, bits 0-12
/// fraction f. Sample = (-1)^sign x (f / 4096) x 16^q; f = 0 gives +0.0.
void Decode16BitHex(const uint16_t* src, float* dst, int count);

/// Reverses the byte order of one value of 2, 4 or 8 bytes in place; other sizes leave it alone.
void SwapBytes(void* p, int size);

/// SwapBytes(p, 2).
void Swap16(void* p);

/// Copies count elements of 2 bytes from src to dst, reversing the byte order of each. Any
/// alignment; src and dst may be the very same array (in place).
void SwapArray16(const void* src, void* dst, int count);

/// As SwapArray16, for elements of 4 bytes.
void SwapArray32(const void* src, void* dst, int count);

/// As SwapArray16, for elements of 8 bytes.
void SwapArray64(const void* src, void* dst, int count);

/// A header scale factor: a positive scalar multiplies, a negative one divides by its magnitude,
/// zero leaves the value unchanged.
float ApplyScalar(float value, float scalar);

/// Undoes ApplyScalar: a positive scalar divides, a negative one multiplies by its magnitude,
/// zero leaves the value unchanged.
float RemoveScalar(float value, float scalar);
