#pragma once

#include "LpSection.h"

#include "SegyFile.h"

#include <QString>
#include <QStringList>

#include <memory>

class SegyGeometry;

// One open file and the sections a user can page through: the inlines, crosslines, time
// slices and gathers of a survey on a grid, or for a 2D line and a file with no grid the
// traces in file order, a page at a time.

enum class LpView {
    Inline,
    Crossline,
    TimeSlice,
    Gather, // the traces of one bin, one per offset (pre-stack surveys)
    Traces, // the traces in file order, in pages
};

// The numbers that choose one section of a view: first, first + step, ... (count of them).
struct LpLineAxis {
    qint64 first = 0;
    qint64 step = 1;
    int count = 0;
    QString title; // "Inline", "Time (ms)", "Bin", "Page"

    qint64 At(int index) const { return first + index * step; }
};

// What the cursor points at.
struct LpReadout {
    bool valid = false; // on the section
    qint64 trace = -1; // trace in the file, from 1; -1 when the bin is empty
    qint64 inlineNumber = 0;
    qint64 crosslineNumber = 0;
    qint64 offset = 0;
    double cdpX = 0; // scalar applied
    double cdpY = 0;
    double time = 0; // of the sample; the slice's time on a time slice
    float amplitude = 0; // as read, before gain and clip
};

class LpSurvey {
public:
    // Traces per page of the file-order view.
    static constexpr int kPageTraces = 1000;

    // Opens `path` and builds its geometry: OpenFile, then BuildGeometry.
    static std::unique_ptr<LpSurvey> Open(const QString& path, QString* error,
        QStringList* warnings, const SegyProgress& scanProgress = {},
        const SegyProgress& headerProgress = {});
    // Opens `path` without reading every trace header: until BuildGeometry, the survey offers
    // the first inline only (the traces at the start of the file that share the first trace's
    // inline number), or the first page of traces. `scanProgress` follows the trace scan of a
    // variable-length file and may cancel. Returns the survey, or nullptr with the reason in
    // `*error`; notes that did not stop the open go to `*warnings`.
    static std::unique_ptr<LpSurvey> OpenFile(const QString& path, QString* error,
        QStringList* warnings, const SegyProgress& scanProgress = {});
    // Reads every trace header and indexes the traces: all views of the survey open up. Returns
    // false with the reason (a cancelled scan) and leaves the survey as it was. Notes are added
    // to `*warnings`.
    bool BuildGeometry(QString* error, QStringList* warnings, const SegyProgress& progress = {});
    bool IsBuilt() const { return built; }
    ~LpSurvey();
    LpSurvey(const LpSurvey&) = delete;
    LpSurvey& operator=(const LpSurvey&) = delete;

    const SegyFile& File() const { return *file; }
    // The grid of a survey shown by lines; null when the traces are shown in file order.
    const SegyGeometry* Geometry() const { return geometry.get(); }
    // A line of words for the console: the kind of survey and its size.
    QString Summary() const;

    bool HasView(LpView view) const;
    // The view a file opens in.
    LpView DefaultView() const;
    LpLineAxis LineAxis(LpView view) const;
    // "Inline 1012", "Time 400 ms", "Bin 1012/2040", "Traces 1-1000".
    QString LineTitle(LpView view, int index) const;

    // Samples per trace in the sections, and the time of the first sample and the interval (ms).
    int SampleCount() const { return samples; }
    double StartTime() const { return startTime; }
    double SampleIntervalMs() const { return intervalMs; }

    // Reads section `index` of `view`. On a failed read the section keeps its shape, filled
    // with NaN, and `*error` says why.
    bool Read(LpView view, int index, LpSection* section, QString* error) const;
    // What sits at (column, row) of section `index` of `view`, `section` being that section.
    LpReadout Readout(LpView view, int index, const LpSection& section, int column, int row) const;

private:
    LpSurvey() = default;
    qint64 TraceAt(LpView view, int index, int column, int row) const;
    bool ReadTraces(qint64 first, int count, float* dst, QString* error) const;
    bool ReadLeadingLine(LpSection* section, QString* error) const;

    std::unique_ptr<SegyFile> file;
    std::unique_ptr<SegyGeometry> geometry; // null for a 2D line or a file without a grid
    bool built = false;
    qint64 leadingInline = 0; // the first trace's inline number
    int leadingRun = 0; // traces of the first inline at the start, before the geometry is built
    int samples = 0;
    double startTime = 0;
    double intervalMs = 1;
};
