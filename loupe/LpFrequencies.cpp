#include "LpFrequencies.h"

#include <algorithm>
#include <cmath>

bool LpFft(std::vector<std::complex<double>>* data)
{
    const std::size_t n = data->size();
    if (n == 0 || (n & (n - 1)) != 0)
        return false;
    auto& x = *data;
    // Bit-reversed order, then butterflies of growing length.
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2 * M_PI / double(length);
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> w = std::polar(1.0, angle * double(k));
                const std::complex<double> a = x[start + k];
                const std::complex<double> b = w * x[start + k + length / 2];
                x[start + k] = a + b;
                x[start + k + length / 2] = a - b;
            }
        }
    }
    return true;
}

int LpFftSize(int count)
{
    int n = 1;
    while (n < count)
        n <<= 1;
    return n;
}

LpSpectrum LpAverageSpectrum(
    const LpSection& section, int column0, int column1, int row0, int row1, double intervalMs)
{
    LpSpectrum spectrum;
    column0 = std::max(column0, 0);
    column1 = std::min(column1, section.columns);
    row0 = std::max(row0, 0);
    row1 = std::min(row1, section.rows);
    if (!section.rowsAreSamples || !(intervalMs > 0) || column1 <= column0 || row1 <= row0)
        return spectrum;
    const int rows = row1 - row0;
    const int n = LpFftSize(rows);
    std::vector<double> sum(std::size_t(n / 2 + 1), 0.0);
    std::vector<std::complex<double>> x(static_cast<std::size_t>(n));
    for (int c = column0; c < column1; ++c) {
        bool any = false;
        std::fill(x.begin(), x.end(), std::complex<double>());
        for (int r = row0; r < row1; ++r) {
            const float v = section.At(c, r);
            any = any || !std::isnan(v);
            x[std::size_t(r - row0)] = std::isfinite(v) ? double(v) : 0.0;
        }
        if (!any)
            continue;
        LpFft(&x);
        for (std::size_t k = 0; k < sum.size(); ++k)
            sum[k] += std::abs(x[k]);
        ++spectrum.traces;
    }
    if (spectrum.traces == 0)
        return spectrum;
    const double peak = *std::max_element(sum.begin(), sum.end());
    const double seconds = intervalMs / 1000.0;
    spectrum.hz.resize(sum.size());
    spectrum.db.resize(sum.size());
    for (std::size_t k = 0; k < sum.size(); ++k) {
        spectrum.hz[k] = double(k) / (n * seconds);
        const double db
            = peak > 0 && sum[k] > 0 ? 20 * std::log10(sum[k] / peak) : kLpSpectrumFloorDb;
        spectrum.db[k] = std::max(db, kLpSpectrumFloorDb);
    }
    return spectrum;
}

LpHistogram LpAmplitudeHistogram(
    const LpScaled& scaled, int column0, int column1, int row0, int row1, double range, int bins)
{
    LpHistogram histogram;
    if (!(range > 0) || !std::isfinite(range) || bins <= 0)
        return histogram;
    histogram.low = -range;
    histogram.high = range;
    histogram.counts.assign(std::size_t(bins), 0);
    column0 = std::max(column0, 0);
    column1 = std::min(column1, scaled.columns);
    row0 = std::max(row0, 0);
    row1 = std::min(row1, scaled.rows);
    const double perBin = bins / (2 * range);
    for (int c = column0; c < column1; ++c) {
        const float* trace = scaled.values.data() + std::size_t(c) * scaled.rows;
        for (int r = row0; r < row1; ++r) {
            const double v = trace[r];
            if (!std::isfinite(v))
                continue;
            if (v < -range)
                ++histogram.below;
            else if (v >= range)
                ++histogram.above;
            else
                ++histogram.counts[std::size_t(std::min(bins - 1, int((v + range) * perBin)))];
        }
    }
    return histogram;
}
