#include "LpSection.h"

#include "SegyFile.h"

#include <algorithm>
#include <cmath>

double LpAxis::At(double index) const
{
    if (!values.empty()) {
        const auto i = std::size_t(std::clamp(std::lround(index), 0L, long(values.size()) - 1));
        return values[i];
    }
    return first + index * step;
}

uint16_t LpColorIndex(float value, float clip)
{
    if (std::isnan(value))
        return kLpNoData;
    if (std::isinf(value))
        return value > 0 ? 255 : 0;
    if (!(clip > 0) || std::isinf(clip))
        return 128;
    const double index = std::round(127.5 * (double(value) / clip + 1.0));
    return uint16_t(std::clamp(index, 0.0, 255.0));
}

// Running sums of squares over the window, in double so that the sums do not drift.
void LpApplyAgc(const float* src, float* dst, int count, int window)
{
    if (count <= 0)
        return;
    if (window < 2) {
        if (dst != src)
            std::copy(src, src + count, dst);
        return;
    }
    std::vector<double> energy(std::size_t(count) + 1, 0.0);
    for (int i = 0; i < count; ++i) {
        const double v = std::isfinite(src[i]) ? double(src[i]) : 0.0;
        energy[std::size_t(i) + 1] = energy[std::size_t(i)] + v * v;
    }
    const int before = (window - 1) / 2;
    const int after = window - 1 - before;
    for (int i = 0; i < count; ++i) {
        const int lo = std::max(0, i - before);
        const int hi = std::min(count - 1, i + after);
        const double mean = (energy[std::size_t(hi) + 1] - energy[std::size_t(lo)]) / (hi - lo + 1);
        if (!std::isfinite(src[i]))
            dst[i] = src[i];
        else
            dst[i] = mean > 0 ? float(src[i] / std::sqrt(mean)) : 0.0f;
    }
}

void LpScale(
    const LpSection& section, const LpDisplay& display, float clip, int agcWindow, LpScaled* scaled)
{
    const int columns = section.columns;
    const int rows = section.rows;
    scaled->columns = columns;
    scaled->rows = rows;
    scaled->clip = clip;
    const std::size_t n = std::size_t(columns) * std::size_t(rows);
    scaled->values.resize(n);
    scaled->indices.resize(n);
    const float factor = float(display.reversePolarity ? -display.gain : display.gain);
    const bool agc = display.agc && section.rowsAreSamples && agcWindow >= 2;
    for (int c = 0; c < columns; ++c) {
        const float* src = section.values.data() + std::size_t(c) * rows;
        float* dst = scaled->values.data() + std::size_t(c) * rows;
        if (agc)
            LpApplyAgc(src, dst, rows, agcWindow);
        else
            std::copy(src, src + rows, dst);
        for (int r = 0; r < rows; ++r)
            dst[r] *= factor;
    }
    // Row by row for the raster: the density image is drawn a row at a time.
    for (int c = 0; c < columns; ++c) {
        const float* src = scaled->values.data() + std::size_t(c) * rows;
        uint16_t* dst = scaled->indices.data() + c;
        for (int r = 0; r < rows; ++r)
            dst[std::size_t(r) * columns] = LpColorIndex(src[r], clip);
    }
}

namespace {

// Traces of the clip estimate read between two releases of the file's resident pages.
constexpr qint64 kClipReleaseTraces = 16;

} // namespace

float LpEstimateClip(const SegyFile& file, double percentile, int agcWindow, qint64 maxValues)
{
    const qint64 traces = file.TraceCount();
    if (traces <= 0)
        return 0;
    const qint64 perTrace = std::max(1, file.SamplesPerTrace());
    const qint64 wanted = std::clamp<qint64>(maxValues / perTrace, 1, traces);
    std::vector<float> all;
    all.reserve(std::size_t(wanted * perTrace));
    std::vector<float> trace;
    for (qint64 i = 0; i < wanted; ++i) {
        // Evenly spread: the first and the last trace are always among them.
        const qint64 t = wanted == 1 ? 0 : i * (traces - 1) / (wanted - 1);
        // Each trace read from the mapping can make a whole block of the file around it
        // resident (large page-cache folios): a thousand of them spread over a large file would
        // hold most of it. They are given back as the sample goes.
        if (i % kClipReleaseTraces == kClipReleaseTraces - 1)
            file.ReleaseResidentPages();
        const int count = file.SampleCount(t);
        if (count <= 0)
            continue;
        trace.resize(std::size_t(count));
        if (!file.ReadSamples(t, trace.data()))
            continue;
        if (agcWindow >= 2)
            LpApplyAgc(trace.data(), trace.data(), count, agcWindow);
        for (float v : trace) {
            if (std::isfinite(v))
                all.push_back(std::fabs(v));
        }
    }
    file.ReleaseResidentPages();
    if (all.empty())
        return 0;
    const double p = std::clamp(percentile, 0.0, 100.0) / 100.0;
    const auto k = std::size_t(std::floor(p * double(all.size() - 1)));
    std::nth_element(all.begin(), all.begin() + std::ptrdiff_t(k), all.end());
    return all[k];
}
