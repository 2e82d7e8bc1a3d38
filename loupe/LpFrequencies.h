#pragma once

#include "LpSection.h"

#include <complex>
#include <vector>

// The frequencies and amplitudes of the traces in view: a small FFT, the average amplitude
// spectrum of a part of a section, and a histogram of its amplitudes. Plain C++, no widgets.

// The discrete Fourier transform of `data` in place, X[k] = sum x[n] exp(-2 pi i k n / N).
// The size must be a power of two (1 included); other sizes leave `data` alone and give false.
bool LpFft(std::vector<std::complex<double>>* data);

// The smallest power of two >= `count` (1 for count <= 1).
int LpFftSize(int count);

// An average amplitude spectrum: hz[k] = k / (N dt) for k = 0 .. N/2, N the trace length padded
// with zeros to a power of two; db[k] is 20 log10 of the mean |X[k]| over the traces relative to
// the largest mean (0 dB), no lower than kLpSpectrumFloorDb.
struct LpSpectrum {
    std::vector<double> hz;
    std::vector<double> db;
    int traces = 0; // traces averaged
};

constexpr double kLpSpectrumFloorDb = -120;

// The spectrum of columns [column0, column1) over rows [row0, row1) of `section`, whose rows
// are samples `intervalMs` apart; the range is cut to the section. Columns that are all NaN
// (missing traces) are left out; other non-finite samples count as zero. Empty when no trace
// is left, the section's rows are not samples or the interval is not positive.
LpSpectrum LpAverageSpectrum(
    const LpSection& section, int column0, int column1, int row0, int row1, double intervalMs);

// Counts of amplitudes in `bins` equal bins over [low, high); `below` and `above` count the
// finite values outside (high itself is above). Non-finite values are not counted.
struct LpHistogram {
    double low = 0;
    double high = 0;
    std::vector<qint64> counts;
    qint64 below = 0;
    qint64 above = 0;

    double BinWidth() const { return counts.empty() ? 0 : (high - low) / double(counts.size()); }
};

// The histogram of the scaled amplitudes of columns [column0, column1) and rows [row0, row1)
// of `scaled` (the range cut to it) over [-range, range).
LpHistogram LpAmplitudeHistogram(
    const LpScaled& scaled, int column0, int column1, int row0, int row1, double range, int bins);
