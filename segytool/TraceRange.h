#pragma once

#include <QString>

/// A selection of traces as given on the command line: `N`, `A:B` or `A:B:STEP`, counted from 0,
/// B excluded, negative values counted from the end, any part of a slice left out taking its
/// default, as Python's indexing and slicing do.
struct TraceSelection {
    bool single = false; ///< `N`: one trace, which must exist
    bool hasStart = false;
    bool hasStop = false;
    qint64 start = 0;
    qint64 stop = 0;
    qint64 step = 1; ///< never 0
};

/// The traces a selection picks from a file: start, start + step, ... (count of them).
struct TraceRange {
    qint64 start = 0;
    qint64 step = 1;
    qint64 count = 0;

    qint64 At(qint64 index) const { return start + index * step; }
};

/// Parses `text`; returns false with the reason in `*error`.
bool ParseTraceSelection(const QString& text, TraceSelection* selection, QString* error);

/// The traces `selection` picks from `traceCount` traces. Slices are cut to the traces there
/// are; a single index outside them returns false with the reason in `*error`.
bool ResolveTraceSelection(
    const TraceSelection& selection, qint64 traceCount, TraceRange* range, QString* error);
