// orv-segy geometry and orv-segy slice: the survey grid of a file, and its slices.

#include "SegyGeometry.h"
#include "ToolCommands.h"
#include "ToolOutput.h"

#include <QCommandLineParser>

#include <cmath>
#include <memory>
#include <vector>

namespace {

QList<QCommandLineOption> KeyOptions()
{
    return {{QStringLiteral("inline-field"),
                QStringLiteral("Trace header field of the inline number (default 189): a name, a "
                               "byte position or BYTE:WIDTH[u]."),
                QStringLiteral("F")},
        {QStringLiteral("crossline-field"),
            QStringLiteral("Trace header field of the crossline number (default 193)."),
            QStringLiteral("F")},
        {QStringLiteral("offset-field"),
            QStringLiteral("Trace header field of the offset (default 37)."), QStringLiteral("F")}};
}

// The file and its geometry, or nullptr after reporting why not.
struct Survey {
    std::unique_ptr<SegyFile> file;
    std::unique_ptr<SegyGeometry> geometry;
};

bool OpenSurvey(
    const QCommandLineParser& parser, const QString& path, bool reportWarnings, Survey* survey)
{
    QString error;
    survey->file = SegyFile::Open(path, &error);
    if (!survey->file) {
        ReportError(error);
        return false;
    }
    SegyGeometryOptions options;
    if (parser.isSet(QStringLiteral("inline-field")))
        options.inlineField = parser.value(QStringLiteral("inline-field"));
    if (parser.isSet(QStringLiteral("crossline-field")))
        options.crosslineField = parser.value(QStringLiteral("crossline-field"));
    if (parser.isSet(QStringLiteral("offset-field")))
        options.offsetField = parser.value(QStringLiteral("offset-field"));
    survey->geometry = SegyGeometry::Build(*survey->file, &error, options);
    if (!survey->geometry) {
        ReportError(error);
        return false;
    }
    if (reportWarnings) {
        ReportWarnings(*survey->file);
        for (const QString& warning : survey->geometry->Warnings())
            ReportError(path + QStringLiteral(": warning: ") + WithoutPath(warning, path));
    }
    return true;
}

} // namespace

QList<QCommandLineOption> GeometryOptions()
{
    return QList<QCommandLineOption>{
               {QStringLiteral("json"), QStringLiteral("One JSON object per file.")}}
    + KeyOptions();
}

namespace {

QByteArray AxisText(const SegyAxis& axis)
{
    return QByteArray::number(axis.first) + " to " + QByteArray::number(axis.last) + " step "
        + QByteArray::number(axis.step) + " (" + QByteArray::number(axis.count) + ')';
}

QByteArray AxisJson(const SegyAxis& axis)
{
    if (axis.count == 0)
        return "null";
    return "{\"first\": " + QByteArray::number(axis.first) + ", \"last\": "
        + QByteArray::number(axis.last) + ", \"step\": " + QByteArray::number(axis.step)
        + ", \"count\": " + QByteArray::number(axis.count) + '}';
}

QStringList AllWarnings(const Survey& s)
{
    QStringList warnings;
    const QString path = s.file->FileName();
    for (const QString& w : s.file->Warnings() + s.geometry->Warnings())
        warnings << WithoutPath(w, path);
    return warnings;
}

void PutLine(const char* label, const QByteArray& value)
{
    Out().PutPadded(label, 16, false);
    Out().Put(value);
    Out().Put('\n');
}

QByteArray MapText(const SegyGridMap& m)
{
    return "x = " + DoubleText(m.x0) + " + " + DoubleText(m.xi) + " il + " + DoubleText(m.xc)
        + " xl, y = " + DoubleText(m.y0) + " + " + DoubleText(m.yi) + " il + " + DoubleText(m.yc)
        + " xl (largest residual " + DoubleText(m.maxResidual) + ')';
}

void PutGeometryText(const Survey& s)
{
    const SegyGeometry& g = *s.geometry;
    PutLine("file", s.file->FileName().toUtf8());
    PutLine("kind", SegyGeometryKindName(g.Kind()));
    PutLine("sorting", SegyTraceSortingName(g.Sorting()));
    if (g.Kind() == SegyGeometryKind::Line) {
        PutLine("cdp", AxisText(g.Cdps()));
    } else if (g.Kind() != SegyGeometryKind::Unstructured) {
        PutLine("inline", AxisText(g.Inlines()));
        PutLine("crossline", AxisText(g.Crosslines()));
    }
    if (!g.Offsets().empty()) {
        QByteArray offsets;
        for (qint64 o : g.Offsets())
            offsets += (offsets.isEmpty() ? "" : " ") + QByteArray::number(o);
        PutLine("offsets", offsets);
        PutLine("offset order", g.OffsetsInnermost() ? "innermost" : "outermost");
    }
    PutLine("traces", QByteArray::number(g.TraceCount()));
    PutLine("samples", QByteArray::number(g.SampleCount()));
    PutLine("bins", QByteArray::number(g.BinCount()));
    PutLine("missing", QByteArray::number(g.MissingBinCount()));
    if (g.MissingTraceCount() != g.MissingBinCount())
        PutLine("missing traces", QByteArray::number(g.MissingTraceCount()));
    PutLine("duplicates", QByteArray::number(g.DuplicateCount()));
    if (g.GridMap().valid)
        PutLine("grid map", MapText(g.GridMap()));
    for (const QString& warning : AllWarnings(s))
        PutLine("warning", warning.toUtf8());
}

void PutGeometryJson(const Survey& s, const QByteArray& indent)
{
    const SegyGeometry& g = *s.geometry;
    const QByteArray in = indent + "  ";
    QByteArray json = indent + "{\n";
    json += in + "\"file\": " + JsonString(s.file->FileName()) + ",\n";
    json += in + "\"kind\": \"" + SegyGeometryKindName(g.Kind()) + "\",\n";
    json += in + "\"sorting\": \"" + SegyTraceSortingName(g.Sorting()) + "\",\n";
    json += in + "\"inline\": " + AxisJson(g.Inlines()) + ",\n";
    json += in + "\"crossline\": " + AxisJson(g.Crosslines()) + ",\n";
    json += in + "\"cdp\": " + AxisJson(g.Cdps()) + ",\n";
    QByteArray offsets;
    for (qint64 o : g.Offsets())
        offsets += (offsets.isEmpty() ? "" : ", ") + QByteArray::number(o);
    json += in + "\"offsets\": [" + offsets + "],\n";
    if (!g.Offsets().empty()) {
        json += in + "\"offsetOrder\": \"" + (g.OffsetsInnermost() ? "innermost" : "outermost")
            + "\",\n";
    }
    json += in + "\"traces\": " + QByteArray::number(g.TraceCount()) + ",\n";
    json += in + "\"samples\": " + QByteArray::number(g.SampleCount()) + ",\n";
    json += in + "\"bins\": " + QByteArray::number(g.BinCount()) + ",\n";
    json += in + "\"missing\": " + QByteArray::number(g.MissingBinCount()) + ",\n";
    json += in + "\"missingTraces\": " + QByteArray::number(g.MissingTraceCount()) + ",\n";
    json += in + "\"duplicates\": " + QByteArray::number(g.DuplicateCount()) + ",\n";
    const SegyGridMap& m = g.GridMap();
    if (m.valid) {
        json += in + "\"gridMap\": {\"x0\": " + DoubleText(m.x0)
            + ", \"xInline\": " + DoubleText(m.xi) + ", \"xCrossline\": " + DoubleText(m.xc)
            + ", \"y0\": " + DoubleText(m.y0) + ", \"yInline\": " + DoubleText(m.yi)
            + ", \"yCrossline\": " + DoubleText(m.yc)
            + ", \"maxResidual\": " + DoubleText(m.maxResidual) + "},\n";
    } else {
        json += in + "\"gridMap\": null,\n";
    }
    QByteArray warnings;
    for (const QString& warning : AllWarnings(s))
        warnings += (warnings.isEmpty() ? "\n" : ",\n") + in + "  " + JsonString(warning);
    if (!warnings.isEmpty())
        warnings += '\n' + in;
    json += in + "\"warnings\": [" + warnings + "]\n";
    json += indent + '}';
    Out().Put(json);
}

} // namespace

int RunGeometry(const QCommandLineParser& parser, const QStringList& files)
{
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool array = json && files.size() > 1;
    int status = kExitOk;
    int shown = 0;
    if (array)
        Out().Put("[\n");
    for (const QString& path : files) {
        Survey survey;
        if (!OpenSurvey(parser, path, false, &survey)) {
            status = kExitFailed;
            continue;
        }
        if (json) {
            if (shown > 0 && array)
                Out().Put(",\n");
            PutGeometryJson(survey, array ? "  " : "");
            if (!array)
                Out().Put('\n');
        } else {
            if (shown > 0)
                Out().Put('\n');
            PutGeometryText(survey);
        }
        ++shown;
        if (!Out().Ok())
            break;
    }
    if (array)
        Out().Put(shown > 0 ? "\n]\n" : "]\n");
    return status;
}

QList<QCommandLineOption> SliceOptions()
{
    return QList<QCommandLineOption>{
               {QStringLiteral("inline"), QStringLiteral("The inline numbered N."),
                   QStringLiteral("N")},
               {QStringLiteral("crossline"), QStringLiteral("The crossline numbered N."),
                   QStringLiteral("N")},
               {QStringLiteral("sample"),
                   QStringLiteral("The time slice at sample K, counted from 0."),
                   QStringLiteral("K")},
               {QStringLiteral("time"),
                   QStringLiteral("The time slice at T milliseconds from the first sample."),
                   QStringLiteral("T")},
               {QStringLiteral("gather"),
                   QStringLiteral("The gather of the bin at inline IL, crossline XL (pre-stack)."),
                   QStringLiteral("IL,XL")},
               {QStringLiteral("offset"),
                   QStringLiteral("The offset of a pre-stack slice (default: the first)."),
                   QStringLiteral("O")},
               {QStringLiteral("csv"),
                   QStringLiteral("Comma-separated values after a header row.")}}
    + KeyOptions();
}

namespace {

bool ParseNumber(const QString& text, qint64* value)
{
    bool ok = false;
    *value = text.trimmed().toLongLong(&ok);
    return ok;
}

// Rows of `width` values, each after its label.
void PutRows(const std::vector<qint64>& labels, const float* values, qint64 width, bool csv)
{
    const char separator = csv ? ',' : ' ';
    for (std::size_t r = 0; r < labels.size() && Out().Ok(); ++r) {
        Out().PutInteger(labels[r]);
        for (qint64 i = 0; i < width; ++i) {
            Out().Put(separator);
            Out().PutFloat(values[qint64(r) * width + i]);
        }
        Out().Put('\n');
    }
}

std::vector<qint64> AxisNumbers(const SegyAxis& axis)
{
    std::vector<qint64> numbers(std::size_t(axis.count));
    for (qint64 i = 0; i < axis.count; ++i)
        numbers[std::size_t(i)] = axis.At(i);
    return numbers;
}

void PutSampleHeader(const char* first, const SegyFile& file, int samples)
{
    Out().Put(first);
    for (int s = 0; s < samples; ++s) {
        Out().Put(',');
        Out().PutDouble(s * file.SampleInterval() / 1000);
    }
    Out().Put('\n');
}

} // namespace

int RunSlice(const QCommandLineParser& parser, const QStringList& files)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("slice"));
    const QStringList kinds = {QStringLiteral("inline"), QStringLiteral("crossline"),
        QStringLiteral("sample"), QStringLiteral("time"), QStringLiteral("gather")};
    QString kind;
    for (const QString& k : kinds) {
        if (!parser.isSet(k))
            continue;
        if (!kind.isEmpty())
            return ReportUsageError(
                command, QStringLiteral("--%1 and --%2 exclude each other").arg(kind, k));
        kind = k;
    }
    if (kind.isEmpty()) {
        return ReportUsageError(
            command, QStringLiteral("one of --inline, --crossline, --sample, --time, --gather"));
    }
    qint64 a = 0, b = 0;
    double time = 0;
    SegySliceOptions options;
    options.threads = 0;
    bool ok = true;
    const QString value = parser.value(kind);
    if (kind == QLatin1String("gather")) {
        const QStringList parts = value.split(QLatin1Char(','));
        ok = parts.size() == 2 && ParseNumber(parts[0], &a) && ParseNumber(parts[1], &b);
    } else if (kind == QLatin1String("time")) {
        time = value.toDouble(&ok);
        ok = ok && std::isfinite(time);
    } else {
        ok = ParseNumber(value, &a);
    }
    if (!ok)
        return ReportUsageError(command, QStringLiteral("bad value '%1' of --%2").arg(value, kind));
    if (parser.isSet(QStringLiteral("offset"))
        && !ParseNumber(parser.value(QStringLiteral("offset")), &options.offset)) {
        return ReportUsageError(
            command, QStringLiteral("bad offset '%1'").arg(parser.value(QStringLiteral("offset"))));
    }

    Survey survey;
    if (!OpenSurvey(parser, files[0], true, &survey))
        return kExitFailed;
    const SegyGeometry& g = *survey.geometry;
    const SegyFile& file = *survey.file;
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const int ns = g.SampleCount();
    QString error;
    std::vector<float> values;
    bool read = false;
    if (kind == QLatin1String("inline")) {
        values.resize(std::size_t(g.Crosslines().count) * std::size_t(ns));
        read = g.ReadInline(a, values.data(), &error, options);
        if (read && csv)
            PutSampleHeader("crossline", file, ns);
        if (read)
            PutRows(AxisNumbers(g.Crosslines()), values.data(), ns, csv);
    } else if (kind == QLatin1String("crossline")) {
        values.resize(std::size_t(g.Inlines().count) * std::size_t(ns));
        read = g.ReadCrossline(a, values.data(), &error, options);
        if (read && csv)
            PutSampleHeader("inline", file, ns);
        if (read)
            PutRows(AxisNumbers(g.Inlines()), values.data(), ns, csv);
    } else if (kind == QLatin1String("gather")) {
        values.resize(g.Offsets().size() * std::size_t(ns));
        read = g.ReadGather(a, b, values.data(), &error, options);
        if (read && csv)
            PutSampleHeader("offset", file, ns);
        if (read)
            PutRows(g.Offsets(), values.data(), ns, csv);
    } else {
        qint64 sample = a;
        if (kind == QLatin1String("time")) {
            const double interval = file.SampleInterval() / 1000;
            if (!(interval > 0)) {
                ReportError(
                    files[0] + QStringLiteral(": no sample interval to find time %1 ms").arg(time));
                return kExitFailed;
            }
            const double at = std::round(time / interval);
            sample = at >= 0 && at <= ns ? qint64(at) : -1;
            if (sample < 0 || sample >= ns) {
                ReportError(files[0]
                    + QStringLiteral(": no time %1 ms: traces hold 0 to %2 ms")
                          .arg(time)
                          .arg((ns - 1) * interval));
                return kExitFailed;
            }
        } else if (sample < 0 || sample > std::numeric_limits<int>::max()) {
            sample = -1;
        }
        values.resize(std::size_t(g.Inlines().count * g.Crosslines().count));
        read = g.ReadTimeSlice(int(sample), values.data(), &error, options);
        if (read && csv) {
            Out().Put("inline");
            for (qint64 xl : AxisNumbers(g.Crosslines())) {
                Out().Put(',');
                Out().PutInteger(xl);
            }
            Out().Put('\n');
        }
        if (read)
            PutRows(AxisNumbers(g.Inlines()), values.data(), g.Crosslines().count, csv);
    }
    if (!read) {
        ReportError(error);
        return kExitFailed;
    }
    return kExitOk;
}
