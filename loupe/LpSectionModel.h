#pragma once

#include "LpSection.h"
#include "LpSurvey.h"

#include <map>
#include <utility>

// Which section of an open survey is shown and how: the view and line, the samples as read,
// the display choices, the clip they give, the colour table and the samples made ready for
// drawing. No widgets: a window, an export or a picture without a display draw from it.
class LpSectionModel {
public:
    // The survey to show (not owned; null for none). Forgets the section and the clips.
    void SetSurvey(const LpSurvey* survey);
    const LpSurvey* Survey() const { return survey; }

    // Reads section `index` of `view` and makes it ready. On a failed read the section is
    // shown empty and `*error` says why.
    bool Show(LpView view, int index, QString* error);
    bool HasSection() const { return hasSection; }
    LpView View() const { return view; }
    int Index() const { return index; }

    const LpDisplay& Display() const { return display; }
    // New display choices; the section is made ready again.
    void SetDisplay(const LpDisplay& display);

    const LpSection& Section() const { return section; }
    const LpScaled& Scaled() const { return scaled; }
    const LpColorTable& Table() const { return table; }
    // The clip in use: the chosen value, or the percentile of the whole file's amplitudes
    // (after AGC when it is on), estimated once per percentile and AGC window.
    float Clip();
    // AGC window in samples.
    int AgcWindow() const;

private:
    void Rescale();

    const LpSurvey* survey = nullptr;
    LpView view = LpView::Inline;
    int index = 0;
    bool hasSection = false;
    LpDisplay display;
    LpSection section;
    LpScaled scaled;
    LpColorTable table = LpMakeColorTable(LpColorMapKind::Grey);
    std::map<std::pair<double, int>, float> clips; // (percentile, AGC window) -> clip
};
