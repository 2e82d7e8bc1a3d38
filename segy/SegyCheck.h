#pragma once

#include "SegyFile.h"

#include <QString>

#include <vector>

/// @file
/// Checking a SEG-Y file: what a careful user looks for by hand, found in one pass over the
/// file (the header fields read as columns, the samples decoded in runs of traces).
///
/// Each finding has a severity, a stable code, a message in words and the traces it concerns:
/// the first few (0-based, ascending) and how many in all. Findings about the file headers
/// alone (a textual header, a binary header field, bins without traces) concern no trace: an
/// empty list and a count of 0. The codes:
///
/// | code | severity | what |
/// |---|---|---|
/// | partial-trace | error | the file ends inside a trace (the trace listed is the partial one) |
/// | trace-count | error | the binary header's trace count (revision 2) is not the file's |
/// | sample-count | error, warning | trace headers give another sample count than the binary header: an error when the file is read by the binary header's count or every trace disagrees with it, a warning when the traces differ in length among themselves |
/// | sample-interval | warning | trace headers give another sample interval than the binary header |
/// | no-sample-interval | warning | no sample interval anywhere |
/// | coordinate-scalar-zero | note | coordinate scalar 0, read as 1 |
/// | coordinate-scalar-changes | warning | the coordinate scalar is not the first trace's |
/// | zero-coordinates | warning | source, group and CDP coordinates all zero |
/// | dead-traces | warning | every sample zero |
/// | non-finite-samples | error | NaN or infinite samples (IEEE formats) |
/// | clipped-samples | warning | two neighbouring samples at the same limit of an integer format |
/// | unreadable-samples | error | samples of the obsolete format 4, which are not checked |
/// | duplicate-bins | warning | traces at a grid position an earlier trace holds |
/// | missing-bins | note | grid positions without a trace (the message names the first) |
/// | unsorted | warning | neither inline nor crossline order (the traces listed break it) |
/// | no-geometry | note | no survey grid found in the trace headers |
/// | revision-2-fields | warning | revision 2 fields set in a revision 0 or 1 file |
/// | revision-2-missing | warning | a revision 2 file without the byte-order constant |
/// | unknown-revision | warning | a major revision other than 0, 1 or 2 |
/// | text-encoding | warning | a textual header with bytes that are not printable in its code |

/// How much a finding matters.
enum class SegySeverity {
    Error, ///< the file is wrong: data lost, or headers that make readers go astray
    Warning, ///< likely a mistake, or something many programs handle badly
    Note, ///< worth knowing, harmless
};

/// "error", "warning" or "note".
const char* SegySeverityName(SegySeverity severity);

/// One thing found in a file.
struct SegyFinding {
    SegySeverity severity = SegySeverity::Note; ///< how much it matters
    const char* code = ""; ///< stable identifier, as in the table above
    QString message; ///< what was found, in words, without the file's path
    std::vector<qint64> traces; ///< the first few traces concerned, ascending
    qint64 count = 0; ///< traces concerned in all
};

/// How to check a file.
struct SegyCheckOptions {
    /// Traces listed per finding at most.
    int listedTraces = 10;
    /// Progress counted in traces; may cancel the check.
    SegyProgress progress;
};

/// Checks `file`: reads every trace header and sample once and builds the survey geometry (on a
/// second thread meanwhile, from the default key fields of SegyGeometryOptions). Fills
/// `findings` (errors first, then warnings, then notes) and returns true; false with the reason
/// in `*error` when cancelled. `options.progress` is called on the caller's thread only.
bool CheckSegyFile(const SegyFile& file, std::vector<SegyFinding>* findings,
    QString* error = nullptr, const SegyCheckOptions& options = {});
