#include "LpSectionModel.h"

#include <cmath>

namespace {

// Samples read for the percentile estimate: enough for a steady figure, few enough to
// read in a blink from anywhere in the file.
constexpr qint64 kClipSampleValues = 1 << 20;

} // namespace

void LpSectionModel::SetSurvey(const LpSurvey* newSurvey)
{
    survey = newSurvey;
    hasSection = false;
    clips.clear();
    section = LpSection();
    scaled = LpScaled();
}

bool LpSectionModel::Show(LpView newView, int newIndex, QString* error)
{
    if (!survey)
        return false;
    view = newView;
    index = newIndex;
    const bool read = survey->Read(view, index, &section, error);
    hasSection = true;
    Rescale();
    return read;
}

void LpSectionModel::SetDisplay(const LpDisplay& newDisplay)
{
    const bool newTable = newDisplay.colorMap != display.colorMap;
    display = newDisplay;
    if (newTable)
        table = LpMakeColorTable(display.colorMap);
    if (hasSection)
        Rescale();
}

int LpSectionModel::AgcWindow() const
{
    // A time slice holds one sample of each trace: AGC has no window there, and its clip is that
    // of the plain amplitudes.
    if (!survey || !display.agc || (hasSection && !section.rowsAreSamples))
        return 0;
    return std::max(2, int(std::lround(display.agcWindowMs / survey->SampleIntervalMs())));
}

float LpSectionModel::Clip()
{
    if (display.clipMode == LpClipMode::Value)
        return float(display.clipValue);
    if (!survey)
        return 0;
    const auto key = std::make_pair(display.clipPercentile, AgcWindow());
    const auto found = clips.find(key);
    if (found != clips.end())
        return found->second;
    const float clip = LpEstimateClip(survey->File(), key.first, key.second, kClipSampleValues);
    clips.emplace(key, clip);
    return clip;
}

void LpSectionModel::Rescale()
{
    LpScale(section, display, Clip(), AgcWindow(), &scaled);
}
