#include "TraceRange.h"

#include <QStringList>

namespace {

bool ParseIndex(const QString& text, qint64* value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok;
}

// A slice bound as Python adjusts it: counted from the end when negative, then held inside
// [0, count] (or [-1, count - 1] when stepping backwards).
qint64 AdjustBound(qint64 bound, qint64 count, qint64 step)
{
    if (bound < 0) {
        bound += count;
        if (bound < 0)
            bound = step < 0 ? -1 : 0;
    } else if (bound >= count) {
        bound = step < 0 ? count - 1 : count;
    }
    return bound;
}

} // namespace

bool ParseTraceSelection(const QString& text, TraceSelection* selection, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    TraceSelection parsed;
    bool ok = parts.size() <= 3;
    if (ok && parts.size() == 1) {
        parsed.single = true;
        ok = ParseIndex(parts[0], &parsed.start);
    } else if (ok) {
        parsed.hasStart = !parts[0].isEmpty();
        parsed.hasStop = !parts[1].isEmpty();
        ok = (!parsed.hasStart || ParseIndex(parts[0], &parsed.start))
            && (!parsed.hasStop || ParseIndex(parts[1], &parsed.stop));
        if (ok && parts.size() == 3 && !parts[2].isEmpty())
            ok = ParseIndex(parts[2], &parsed.step) && parsed.step != 0;
    }
    if (!ok) {
        *error = QStringLiteral("invalid trace range '%1' (expected N, A:B or A:B:STEP)").arg(text);
        return false;
    }
    *selection = parsed;
    return true;
}

bool ResolveTraceSelection(
    const TraceSelection& selection, qint64 traceCount, TraceRange* range, QString* error)
{
    if (selection.single) {
        const qint64 index = selection.start < 0 ? selection.start + traceCount : selection.start;
        if (index < 0 || index >= traceCount) {
            *error = QStringLiteral("trace %1 out of range (%2 traces)")
                         .arg(selection.start)
                         .arg(traceCount);
            return false;
        }
        *range = {index, 1, 1};
        return true;
    }
    const qint64 step = selection.step;
    const qint64 start = selection.hasStart ? AdjustBound(selection.start, traceCount, step)
                                            : (step < 0 ? traceCount - 1 : 0);
    const qint64 stop = selection.hasStop ? AdjustBound(selection.stop, traceCount, step)
                                          : (step < 0 ? -1 : traceCount);
    qint64 count = 0;
    if (step > 0 && start < stop)
        count = (stop - start - 1) / step + 1;
    else if (step < 0 && stop < start)
        count = (start - stop - 1) / -step + 1;
    *range = {start, step, count};
    return true;
}
