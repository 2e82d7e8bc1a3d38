#include "LpHeaderRows.h"

#include "SegyGeometry.h"

#include <cmath>
#include <limits>

namespace {

LpHeaderRow Row(const SegyField& field, const QString& value, bool zero)
{
    return {field.byte, QLatin1String(field.name), QLatin1String(field.title), value, zero};
}

} // namespace

std::vector<LpHeaderRow> LpBinaryHeaderRows(const SegyBinaryHeader& header)
{
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    std::vector<LpHeaderRow> set;
    std::vector<LpHeaderRow> zero;
    for (int i = 0; i < count; ++i) {
        const SegyField& f = fields[i];
        QString value;
        bool isZero = false;
        if (f.type == SegyFieldType::Float64) {
            const double v = header.DoubleValue(f);
            value = QString::number(v, 'g', 17);
            isZero = v == 0;
        } else if (f.type == SegyFieldType::UInt64) {
            const quint64 v = header.UnsignedValue(f);
            value = QString::number(v);
            isZero = v == 0;
        } else {
            const qint64 v = header.Value(f);
            value = QString::number(v);
            isZero = v == 0;
        }
        (isZero ? zero : set).push_back(Row(f, value, isZero));
    }
    set.insert(set.end(), zero.begin(), zero.end());
    return set;
}

std::vector<LpHeaderRow> LpTraceHeaderRows(const SegyTraceHeader& header)
{
    int count = 0;
    const SegyField* fields = SegyTraceFields(&count);
    std::vector<LpHeaderRow> rows;
    rows.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const qint64 v = header.Value(fields[i]);
        rows.push_back(Row(fields[i], QString::number(v), v == 0));
    }
    return rows;
}

QString LpHexDump(const unsigned char* bytes, int count)
{
    QString text;
    for (int i = 0; i < count; i += 16) {
        text += QStringLiteral("%1 ").arg(i + 1, 3, 10, QLatin1Char(' '));
        for (int j = i; j < std::min(count, i + 16); ++j)
            text += QStringLiteral(" %1").arg(bytes[j], 2, 16, QLatin1Char('0'));
        text += QLatin1Char('\n');
    }
    return text;
}

std::vector<double> LpHeaderAlongSection(
    const LpSurvey& survey, LpView view, int index, int columns, const SegyField& field)
{
    if (view == LpView::TimeSlice || columns <= 0)
        return {};
    std::vector<double> values(std::size_t(columns), std::numeric_limits<double>::quiet_NaN());
    for (int c = 0; c < columns; ++c) {
        const qint64 trace = survey.TraceAt(view, index, c, 0);
        qint64 value = 0;
        if (trace >= 0 && trace < survey.File().TraceCount()
            && survey.File().ReadTraceField(trace, field, &value))
            values[std::size_t(c)] = double(value);
    }
    return values;
}

bool LpLocateTrace(const LpSurvey& survey, qint64 trace, LpView preferred, LpTracePlace* place)
{
    if (!survey.IsBuilt() || trace < 0 || trace >= survey.File().TraceCount())
        return false;
    const SegyGeometry* geometry = survey.Geometry();
    LpTracePlace p;
    if (!geometry) {
        p.view = LpView::Traces;
        p.index = int(trace / LpSurvey::kPageTraces);
        p.column = int(trace % LpSurvey::kPageTraces);
    } else {
        SegyBinPosition at;
        if (!geometry->Position(trace, &at))
            return false;
        const qint64 il = geometry->Inlines().IndexOf(at.inlineNumber);
        const qint64 xl = geometry->Crosslines().IndexOf(at.crosslineNumber);
        if (il < 0 || xl < 0)
            return false;
        const std::vector<qint64>& offsets = geometry->Offsets();
        if (geometry->Kind() == SegyGeometryKind::Prestack && !offsets.empty()
            && at.offset != offsets.front()) {
            p.view = LpView::Gather;
            p.index = int(il * geometry->Crosslines().count + xl);
            p.column = int(
                std::lower_bound(offsets.begin(), offsets.end(), at.offset) - offsets.begin());
        } else if (preferred == LpView::Crossline) {
            p = {LpView::Crossline, int(xl), int(il)};
        } else {
            p = {LpView::Inline, int(il), int(xl)};
        }
    }
    // The place holds the trace itself, not a duplicate of its bin.
    if (survey.TraceAt(p.view, p.index, p.column, 0) != trace)
        return false;
    *place = p;
    return true;
}
