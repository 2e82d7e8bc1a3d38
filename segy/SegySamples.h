#pragma once

#include <cstdint>

// Sample decoding and encoding between file bytes and host numbers, one trace at a time.
// `little` selects the file's byte order; src and dst may have any alignment. The caller has
// checked that the format is known and readable (not 4).

void DecodeSegySamples(const unsigned char* src, int format, bool little, float* dst, int count);
void DecodeSegySamples(const unsigned char* src, int format, bool little, double* dst, int count);

void EncodeSegySamples(const float* src, int format, bool little, unsigned char* dst, int count);
void EncodeSegySamples(const double* src, int format, bool little, unsigned char* dst, int count);

// Reverses the byte order of count values of `width` bytes (1, 2, 3, 4 or 8), src to dst.
void SwapSegyValues(const unsigned char* src, unsigned char* dst, int width, int count);
