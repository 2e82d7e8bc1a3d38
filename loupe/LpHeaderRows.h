#pragma once

#include "LpSurvey.h"

#include <QString>

#include <vector>

// What the header docks, the header plot and the report show, as plain data: the fields of the
// binary and trace headers with their values, the bytes of a header in hexadecimal, a trace
// header field along a section, and where in the survey a trace is shown.

struct LpHeaderRow {
    int byte = 0; // first byte: file byte for the binary header, 1-240 for a trace header
    QString name;
    QString title;
    QString value;
    bool zero = true;
};

// Every named binary header field, the non-zero ones first, each group in byte order.
std::vector<LpHeaderRow> LpBinaryHeaderRows(const SegyBinaryHeader& header);
// Every named trace header field, in byte order.
std::vector<LpHeaderRow> LpTraceHeaderRows(const SegyTraceHeader& header);

// Lines of 16 bytes in hexadecimal, each led by the 1-based position of its first byte.
QString LpHexDump(const unsigned char* bytes, int count);

// The values of trace header `field` for the columns of section `index` of `view`, one per
// column; NaN for a column with no trace. Empty for a view whose columns are not traces (a
// time slice) or a failed read.
std::vector<double> LpHeaderAlongSection(
    const LpSurvey& survey, LpView view, int index, int columns, const SegyField& field);

// Where `trace` (0-based) is shown: the view, line and column. Prefers `preferred` when it
// shows traces (an inline or crossline); a pre-stack trace away from the first offset is
// shown in its gather. False when the survey's headers are not indexed or the trace is not on
// its grid.
struct LpTracePlace {
    LpView view = LpView::Inline;
    int index = 0;
    int column = 0;
};
bool LpLocateTrace(const LpSurvey& survey, qint64 trace, LpView preferred, LpTracePlace* place);
