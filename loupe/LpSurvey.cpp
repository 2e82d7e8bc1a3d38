#include "LpSurvey.h"

#include "SegyGeometry.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The largest section the viewer reads at once, in samples (256 MB of floats): a grid that
// would make larger lines is shown in file order instead.
constexpr qint64 kMaxSectionValues = qint64(64) << 20;

double Scaled(qint64 value, qint64 scalar)
{
    if (scalar > 0)
        return double(value) * double(scalar);
    if (scalar < 0)
        return double(value) / double(-scalar);
    return double(value);
}

bool IsWhole(double v)
{
    return std::isfinite(v) && std::fabs(v - std::round(v)) < 1e-9;
}

} // namespace

LpSurvey::~LpSurvey() = default;

std::unique_ptr<LpSurvey> LpSurvey::Open(const QString& path, QString* error, QStringList* warnings,
    const SegyProgress& scanProgress, const SegyProgress& headerProgress)
{
    std::unique_ptr<LpSurvey> survey = OpenFile(path, error, warnings, scanProgress);
    if (!survey || !survey->BuildGeometry(error, warnings, headerProgress))
        return nullptr;
    return survey;
}

std::unique_ptr<LpSurvey> LpSurvey::OpenFile(
    const QString& path, QString* error, QStringList* warnings, const SegyProgress& scanProgress)
{
    SegyOpenOptions openOptions;
    openOptions.progress = scanProgress;
    std::unique_ptr<SegyFile> file = SegyFile::Open(path, error, openOptions);
    if (!file)
        return nullptr;
    *warnings = file->Warnings();
    if (file->TraceCount() <= 0) {
        *error = path + QStringLiteral(": the file holds no traces");
        return nullptr;
    }
    std::unique_ptr<LpSurvey> survey(new LpSurvey);
    survey->samples
        = file->SamplesPerTrace() > 0 ? file->SamplesPerTrace() : std::max(0, file->SampleCount(0));
    survey->samples = std::max(1, survey->samples);

    SegyTraceHeader header;
    if (file->ReadTraceHeader(0, &header)) {
        const qint64 delay = header.Value(*FindSegyTraceField(109));
        const qint64 scalar = header.Value(*FindSegyTraceField(215));
        survey->startTime = Scaled(delay, scalar);
        if (file->SampleInterval() <= 0)
            survey->intervalMs = double(header.Value(*FindSegyTraceField(117))) / 1000.0;
        survey->leadingInline = header.Value(*FindSegyTraceField(189));
    }
    if (file->SampleInterval() > 0)
        survey->intervalMs = file->SampleInterval() / 1000.0;
    if (!(survey->intervalMs > 0) || !std::isfinite(survey->intervalMs))
        survey->intervalMs = 1;

    // The traces at the start of the file that share the first trace's inline number: the
    // first line, shown before the grid is known. A file that is one line all through, or
    // has no inline numbers, shows its first page instead.
    constexpr int kChunk = 4096;
    const qint64 limit = std::min<qint64>(
        file->TraceCount(), std::min<qint64>(65536, kMaxSectionValues / survey->samples));
    std::vector<int32_t> numbers(kChunk);
    qint64 run = 0;
    bool ended = false;
    while (!ended && run < limit) {
        const qint64 n = std::min<qint64>(kChunk, limit - run);
        if (!file->ReadTraceFieldColumn(*FindSegyTraceField(189), run, n, numbers.data()))
            break;
        qint64 i = 0;
        while (i < n && numbers[std::size_t(i)] == survey->leadingInline)
            ++i;
        run += i;
        ended = i < n;
    }
    if (ended && run > 1 && survey->leadingInline != 0)
        survey->leadingRun = int(run);
    survey->file = std::move(file);
    return survey;
}

bool LpSurvey::BuildGeometry(QString* error, QStringList* warnings, const SegyProgress& progress)
{
    if (built)
        return true;
    SegyGeometryOptions geometryOptions;
    geometryOptions.progress = progress;
    std::unique_ptr<SegyGeometry> built3d = SegyGeometry::Build(*file, error, geometryOptions);
    if (!built3d)
        return false;
    *warnings += built3d->Warnings();
    const SegyGeometryKind kind = built3d->Kind();
    if (kind == SegyGeometryKind::Cube || kind == SegyGeometryKind::Prestack) {
        const qint64 il = built3d->Inlines().count;
        const qint64 xl = built3d->Crosslines().count;
        const qint64 ns = built3d->SampleCount();
        const qint64 longest = std::max({il, xl, qint64(built3d->Offsets().size())});
        if (longest * ns > kMaxSectionValues || il * xl > kMaxSectionValues) {
            warnings->append(file->FileName()
                + QStringLiteral(": a grid of %1 inlines by %2 crosslines is too large to show "
                                 "by lines; the traces are shown in file order")
                      .arg(il)
                      .arg(xl));
            built3d.reset();
        }
    } else {
        built3d.reset();
    }
    if (built3d)
        samples = std::max(1, built3d->SampleCount());
    geometry = std::move(built3d);
    built = true;
    leadingRun = 0;
    // The header scan touched every trace.
    file->ReleaseResidentPages();
    return true;
}

QString LpSurvey::Summary() const
{
    const QString name = QFileInfo(file->FileName()).fileName();
    const QString samplesText = QStringLiteral("%1 samples of %2 ms").arg(samples).arg(intervalMs);
    if (!geometry) {
        return QStringLiteral("%1: %2 traces in file order, %3")
            .arg(name)
            .arg(file->TraceCount())
            .arg(samplesText);
    }
    QString text = QStringLiteral("%1: %2 inlines (%3-%4) by %5 crosslines (%6-%7)")
                       .arg(name)
                       .arg(geometry->Inlines().count)
                       .arg(geometry->Inlines().first)
                       .arg(geometry->Inlines().last)
                       .arg(geometry->Crosslines().count)
                       .arg(geometry->Crosslines().first)
                       .arg(geometry->Crosslines().last);
    if (geometry->Kind() == SegyGeometryKind::Prestack)
        text += QStringLiteral(", %1 offsets").arg(geometry->Offsets().size());
    text += QStringLiteral(", %1, %2 traces").arg(samplesText).arg(file->TraceCount());
    if (geometry->MissingBinCount() > 0)
        text += QStringLiteral(", %1 bins empty").arg(geometry->MissingBinCount());
    return text;
}

bool LpSurvey::HasView(LpView view) const
{
    switch (view) {
    case LpView::Inline:
        return geometry != nullptr || leadingRun > 0;
    case LpView::Crossline:
    case LpView::TimeSlice:
        return geometry != nullptr;
    case LpView::Gather:
        return geometry && geometry->Kind() == SegyGeometryKind::Prestack;
    case LpView::Traces:
        return geometry == nullptr && leadingRun == 0;
    }
    return false;
}

LpView LpSurvey::DefaultView() const
{
    return HasView(LpView::Inline) ? LpView::Inline : LpView::Traces;
}

LpLineAxis LpSurvey::LineAxis(LpView view) const
{
    LpLineAxis axis;
    if (!HasView(view))
        return axis;
    if (!built) {
        axis = {view == LpView::Inline ? leadingInline : 1, 1, 1,
            view == LpView::Inline ? QStringLiteral("Inline") : QStringLiteral("Page")};
        return axis;
    }
    switch (view) {
    case LpView::Inline:
    case LpView::Crossline: {
        const SegyAxis& a = view == LpView::Inline ? geometry->Inlines() : geometry->Crosslines();
        axis = {a.first, a.step, int(a.count),
            view == LpView::Inline ? QStringLiteral("Inline") : QStringLiteral("Crossline")};
        break;
    }
    case LpView::TimeSlice:
        if (IsWhole(startTime) && IsWhole(intervalMs))
            axis = {qint64(startTime), qint64(intervalMs), samples, QStringLiteral("Time (ms)")};
        else
            axis = {1, 1, samples, QStringLiteral("Sample")};
        break;
    case LpView::Gather:
        axis = {1, 1, int(geometry->BinCount()), QStringLiteral("Bin")};
        break;
    case LpView::Traces: {
        const qint64 pages = (file->TraceCount() + kPageTraces - 1) / kPageTraces;
        axis = {1, 1, int(pages), QStringLiteral("Page")};
        break;
    }
    }
    return axis;
}

QString LpSurvey::LineTitle(LpView view, int index) const
{
    const LpLineAxis axis = LineAxis(view);
    switch (view) {
    case LpView::Inline:
        return QStringLiteral("Inline %1").arg(axis.At(index));
    case LpView::Crossline:
        return QStringLiteral("Crossline %1").arg(axis.At(index));
    case LpView::TimeSlice:
        return QStringLiteral("Time %1 ms").arg(startTime + index * intervalMs);
    case LpView::Gather: {
        const qint64 xl = geometry->Crosslines().count;
        return QStringLiteral("Bin inline %1 crossline %2")
            .arg(geometry->Inlines().At(index / xl))
            .arg(geometry->Crosslines().At(index % xl));
    }
    case LpView::Traces: {
        const qint64 first = qint64(index) * kPageTraces;
        const qint64 last = std::min(file->TraceCount(), first + kPageTraces);
        return QStringLiteral("Traces %1-%2").arg(first + 1).arg(last);
    }
    }
    return {};
}

bool LpSurvey::ReadTraces(qint64 first, int count, float* dst, QString* error) const
{
    if (file->IsFixedLength() && file->SamplesPerTrace() == samples)
        return file->ReadSamples(first, count, dst, error);
    std::vector<float> trace;
    for (int i = 0; i < count; ++i) {
        float* column = dst + std::size_t(i) * std::size_t(samples);
        const int n = file->SampleCount(first + i);
        trace.resize(std::size_t(std::max(0, n)));
        if (n < 0 || !file->ReadSamples(first + i, trace.data(), error))
            return false;
        const int kept = std::min(n, samples);
        std::copy(trace.begin(), trace.begin() + kept, column);
        std::fill(column + kept, column + samples, std::numeric_limits<float>::quiet_NaN());
    }
    return true;
}

bool LpSurvey::Read(LpView view, int index, LpSection* s, QString* error) const
{
    const LpLineAxis line = LineAxis(view);
    if (index < 0 || index >= line.count) {
        *error = file->FileName() + QStringLiteral(": no section %1 in this view").arg(index + 1);
        return false;
    }
    s->rowsAreSamples = view != LpView::TimeSlice;
    s->vertical = {startTime, intervalMs, {}, QStringLiteral("time (ms)")};
    s->rows = samples;
    s->horizontal.values.clear();
    SegySliceOptions options;
    if (geometry && geometry->Kind() == SegyGeometryKind::Prestack)
        options.offset = geometry->Offsets().front();
    bool read = false;
    if (view == LpView::Inline && !geometry) {
        read = ReadLeadingLine(s, error);
        file->ReleaseResidentPages();
        return read;
    }
    switch (view) {
    case LpView::Inline:
    case LpView::Crossline: {
        const bool isInline = view == LpView::Inline;
        const SegyAxis& across = isInline ? geometry->Crosslines() : geometry->Inlines();
        s->columns = int(across.count);
        s->horizontal = {double(across.first), double(across.step), {},
            isInline ? QStringLiteral("crossline") : QStringLiteral("inline")};
        s->values.resize(std::size_t(s->columns) * std::size_t(s->rows));
        read = isInline ? geometry->ReadInline(line.At(index), s->values.data(), error, options)
                        : geometry->ReadCrossline(line.At(index), s->values.data(), error, options);
        break;
    }
    case LpView::TimeSlice: {
        // Inline by inline, crosslines fastest: columns are inlines, rows crosslines.
        const SegyAxis& il = geometry->Inlines();
        const SegyAxis& xl = geometry->Crosslines();
        s->columns = int(il.count);
        s->rows = int(xl.count);
        s->horizontal = {double(il.first), double(il.step), {}, QStringLiteral("inline")};
        s->vertical = {double(xl.first), double(xl.step), {}, QStringLiteral("crossline")};
        s->values.resize(std::size_t(s->columns) * std::size_t(s->rows));
        options.threads = 0;
        read = geometry->ReadTimeSlice(index, s->values.data(), error, options);
        break;
    }
    case LpView::Gather: {
        const qint64 xl = geometry->Crosslines().count;
        const std::vector<qint64>& offsets = geometry->Offsets();
        s->columns = int(offsets.size());
        s->horizontal
            = {0, 1, std::vector<double>(offsets.begin(), offsets.end()), QStringLiteral("offset")};
        s->values.resize(std::size_t(s->columns) * std::size_t(s->rows));
        read = geometry->ReadGather(geometry->Inlines().At(index / xl),
            geometry->Crosslines().At(index % xl), s->values.data(), error);
        break;
    }
    case LpView::Traces: {
        const qint64 first = qint64(index) * kPageTraces;
        s->columns = int(std::min<qint64>(kPageTraces, file->TraceCount() - first));
        s->horizontal = {double(first + 1), 1, {}, QStringLiteral("trace")};
        s->values.resize(std::size_t(s->columns) * std::size_t(s->rows));
        read = ReadTraces(first, s->columns, s->values.data(), error);
        break;
    }
    }
    if (!read)
        std::fill(s->values.begin(), s->values.end(), std::numeric_limits<float>::quiet_NaN());
    // The section is a copy: the pages a line mapped (a line across the file's order maps much
    // more than its traces) go back at once. Time slices, which visit every trace, keep the file
    // mapped while they are shown: mapping it again for each slice would cost more than the slice.
    if (view != LpView::TimeSlice)
        file->ReleaseResidentPages();
    return read;
}

bool LpSurvey::ReadLeadingLine(LpSection* s, QString* error) const
{
    s->columns = leadingRun;
    s->horizontal = {0, 1, {}, QStringLiteral("crossline")};
    std::vector<int32_t> numbers(static_cast<std::size_t>(leadingRun));
    if (file->ReadTraceFieldColumn(*FindSegyTraceField(193), 0, leadingRun, numbers.data())) {
        const qint64 step = leadingRun > 1 ? qint64(numbers[1]) - numbers[0] : 1;
        bool regular = step != 0;
        for (int i = 1; regular && i < leadingRun; ++i)
            regular = qint64(numbers[std::size_t(i)]) - numbers[std::size_t(i) - 1] == step;
        if (regular)
            s->horizontal = {double(numbers[0]), double(step), {}, QStringLiteral("crossline")};
        else
            s->horizontal.values.assign(numbers.begin(), numbers.end());
    }
    s->values.resize(std::size_t(s->columns) * std::size_t(s->rows));
    const bool read = ReadTraces(0, leadingRun, s->values.data(), error);
    if (!read)
        std::fill(s->values.begin(), s->values.end(), std::numeric_limits<float>::quiet_NaN());
    return read;
}

qint64 LpSurvey::TraceAt(LpView view, int index, int column, int row) const
{
    const LpLineAxis line = LineAxis(view);
    if (!geometry)
        return view == LpView::Traces ? qint64(index) * kPageTraces + column : column;
    const qint64 offset = geometry->Kind() == SegyGeometryKind::Prestack
        ? geometry->Offsets().front()
        : std::numeric_limits<qint64>::min();
    switch (view) {
    case LpView::Inline:
        return geometry->TraceNumber(line.At(index), geometry->Crosslines().At(column), offset);
    case LpView::Crossline:
        return geometry->TraceNumber(geometry->Inlines().At(column), line.At(index), offset);
    case LpView::TimeSlice:
        return geometry->TraceNumber(
            geometry->Inlines().At(column), geometry->Crosslines().At(row), offset);
    case LpView::Gather: {
        const qint64 xl = geometry->Crosslines().count;
        return geometry->TraceNumber(geometry->Inlines().At(index / xl),
            geometry->Crosslines().At(index % xl), geometry->Offsets()[std::size_t(column)]);
    }
    case LpView::Traces:
        return qint64(index) * kPageTraces + column;
    }
    return -1;
}

LpReadout LpSurvey::Readout(
    LpView view, int index, const LpSection& section, int column, int row) const
{
    LpReadout r;
    if (column < 0 || column >= section.columns || row < 0 || row >= section.rows || index < 0
        || index >= LineAxis(view).count)
        return r;
    r.valid = true;
    r.amplitude = section.At(column, row);
    r.time
        = view == LpView::TimeSlice ? startTime + index * intervalMs : startTime + row * intervalMs;
    const qint64 trace = TraceAt(view, index, column, row);
    SegyTraceHeader header;
    if (trace < 0 || !file->ReadTraceHeader(trace, &header))
        return r;
    r.trace = trace + 1;
    r.inlineNumber = header.Value(*FindSegyTraceField(189));
    r.crosslineNumber = header.Value(*FindSegyTraceField(193));
    r.offset = header.Value(*FindSegyTraceField(37));
    const qint64 scalar = header.Value(*FindSegyTraceField(71));
    r.cdpX = Scaled(header.Value(*FindSegyTraceField(181)), scalar);
    r.cdpY = Scaled(header.Value(*FindSegyTraceField(185)), scalar);
    return r;
}
