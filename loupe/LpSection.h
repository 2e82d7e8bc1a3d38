#pragma once

#include "LpColorMap.h"

#include <QString>

#include <cstdint>
#include <vector>

class SegyFile;

// The section model: what one view of a file shows (a line, a time slice, a gather, a page of
// traces) and how its amplitudes become colours and wiggles. Plain data and functions, no
// widgets; the renderer draws from it.
//
// A section is a grid of columns (traces, or the inlines of a time slice) by rows (samples, or
// crosslines), stored column by column. Missing traces hold NaN.

// The numbers along one side of a section: index i stands for first + i * step, or for
// values[i] when values is given (offsets of a gather).
struct LpAxis {
    double first = 0;
    double step = 1;
    std::vector<double> values;
    QString title; // "crossline", "time (ms)", ...

    double At(double index) const;
};

struct LpSection {
    int columns = 0;
    int rows = 0;
    std::vector<float> values; // columns x rows, column by column
    LpAxis horizontal; // one number per column
    LpAxis vertical; // one number per row: time of each sample, or crossline numbers
    bool rowsAreSamples = true; // rows run down a trace (AGC works along them)

    float At(int column, int row) const { return values[std::size_t(column) * rows + row]; }
};

enum class LpDisplayMode { Density, Wiggle, Both };
enum class LpClipMode { Percentile, Value };

// The user's display choices.
struct LpDisplay {
    LpDisplayMode mode = LpDisplayMode::Density;
    LpColorMapKind colorMap = LpColorMapKind::Grey;
    LpClipMode clipMode = LpClipMode::Percentile;
    double clipPercentile = 99; // of the absolute amplitudes of the file
    double clipValue = 1; // absolute amplitude shown at the ends of the colour map
    double gain = 1; // multiplies every amplitude before the clip
    bool agc = false;
    double agcWindowMs = 500;
    bool reversePolarity = false;
};

// Colour index reserved for samples with no value (missing traces, NaN samples).
constexpr uint16_t kLpNoData = 256;

// The colour index of `value` for `clip`: -clip and below give 0, +clip and above 255, zero
// 128 (round(127.5 * (value / clip + 1))). A clip that is zero, negative or not finite shows
// every finite value as zero; infinities go to the ends; NaN gives kLpNoData.
uint16_t LpColorIndex(float value, float clip);

// Automatic gain control: each sample divided by the root mean square of the `window` samples
// centred on it (fewer at the ends of the trace). NaN and infinite samples count as zero in the
// mean and stay as they are; a window of zero energy gives zero. `window` < 2 copies.
// `src` and `dst` may be the same array.
void LpApplyAgc(const float* src, float* dst, int count, int window);

// A section made ready for drawing: amplitudes after polarity, gain and AGC, and their colour
// indices, row by row for the density raster.
struct LpScaled {
    int columns = 0;
    int rows = 0;
    float clip = 0;
    std::vector<float> values; // columns x rows, column by column, as the section
    std::vector<uint16_t> indices; // rows x columns, row by row
};

// Applies polarity, gain and (for rows that are samples) AGC over `agcWindow` samples, then
// the clip. Reuses `scaled`'s buffers.
void LpScale(const LpSection& section, const LpDisplay& display, float clip, int agcWindow,
    LpScaled* scaled);

// The `percentile` (0-100) of the absolute amplitudes of a sample of `file`'s traces spread
// evenly over the whole file: at most `maxValues` samples (whole traces) are read. With
// `agcWindow` >= 2 each trace first goes through AGC. NaN and infinite samples are left out;
// the result is 0 when nothing is left. The percentile of n sorted values is the one at index
// floor(p / 100 * (n - 1)).
float LpEstimateClip(const SegyFile& file, double percentile, int agcWindow, qint64 maxValues);
