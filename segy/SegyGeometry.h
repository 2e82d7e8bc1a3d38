#pragma once

#include "SegyFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

/// @file
/// Survey geometry: which trace sits at which inline, crossline (and offset) of a survey.
///
/// SegyGeometry::Build reads the key fields of every trace header once and indexes the traces
/// on a grid, whatever their order in the file. Conventions:
/// - Line numbers, crossline numbers, offsets and CDP numbers are the header values as they
///   stand (qint64). An axis runs from its smallest number to its largest in steps of the
///   greatest common step of the numbers present, so `count` includes lines with no trace.
/// - A grid position (a bin, and for pre-stack data a bin and an offset) that no trace fills is
///   missing: reads fill it with SegySliceOptions::fill. A position filled twice keeps the first
///   trace in file order; the others are counted as duplicates.
/// - Reads take caller-owned float arrays laid out row by row, the last dimension (samples, or
///   crosslines for a time slice) fastest, sized as each function says. A number that is not on
///   the grid, a sample outside the trace or a read the kind does not have is reported (false
///   and a message starting with the file's path) before anything is written.
/// - The geometry keeps a reference to the file, which must outlive it. Reads are `const` and
///   may run on several threads at once.
/// - Every trace has SampleCount() samples in the reads: a trace of a variable-length file that
///   is shorter is filled, a longer one is cut.

/// What kind of survey a file holds.
enum class SegyGeometryKind {
    Cube, ///< post-stack 3D: one trace per (inline, crossline)
    Prestack, ///< pre-stack 3D: one trace per (inline, crossline, offset)
    Line, ///< 2D: inline and crossline constant, traces along the CDP number
    Unstructured, ///< no grid found; traces by number only (the reason is a warning)
};

/// Order of the traces in the file.
enum class SegyTraceSorting {
    Inline, ///< inline by inline (crosslines run within each inline)
    Crossline, ///< crossline by crossline
    None, ///< neither
};

/// One axis of the grid: the numbers first, first + step, ..., last.
struct SegyAxis {
    qint64 first = 0; ///< the smallest number
    qint64 last = 0; ///< the largest number
    qint64 step = 1; ///< positive
    qint64 count = 0; ///< (last - first) / step + 1, lines with no trace included; 0 when empty

    /// Index of `number` on the axis, or -1 when it is not one of the axis' numbers.
    qint64 IndexOf(qint64 number) const
    {
        if (count <= 0 || number < first || number > last)
            return -1;
        // In unsigned arithmetic: the distance may exceed the largest signed number.
        const quint64 distance = quint64(number) - quint64(first);
        if (distance % quint64(step) != 0)
            return -1;
        return qint64(distance / quint64(step));
    }
    /// The number at `index`.
    qint64 At(qint64 index) const { return first + index * step; }
};

/// Where a trace sits.
struct SegyBinPosition {
    qint64 inlineNumber = 0; ///< the inline key
    qint64 crosslineNumber = 0; ///< the crossline key
    qint64 offset = 0; ///< the offset key
    qint64 cdp = 0; ///< the CDP key
};

/// How to build a geometry. Each key is a trace header field as ParseSegyTraceField takes it:
/// a name, a byte position or `BYTE:WIDTH[u]`.
struct SegyGeometryOptions {
    QString inlineField = QStringLiteral("189"); ///< inline number
    QString crosslineField = QStringLiteral("193"); ///< crossline number
    QString offsetField = QStringLiteral("37"); ///< source-to-receiver offset
    QString cdpField = QStringLiteral("21"); ///< CDP (ensemble) number, the axis of a 2D line
    QString cdpXField = QStringLiteral("181"); ///< CDP X coordinate
    QString cdpYField = QStringLiteral("185"); ///< CDP Y coordinate
    QString coordinateScalarField = QStringLiteral("71"); ///< scalar of the coordinates
    /// Progress of the header scan, counted in traces; may cancel the build.
    SegyProgress progress;
};

/// How a read fills and splits its work.
struct SegySliceOptions {
    /// Value of the samples of missing positions.
    float fill = std::numeric_limits<float>::quiet_NaN();
    /// Offset of a pre-stack read; ignored for other kinds. Unset: the first offset.
    qint64 offset = std::numeric_limits<qint64>::min();
    /// Threads for time slices and sub-volumes (1: the caller's thread only; 0: one per core).
    /// The result does not depend on it.
    int threads = 1;
};

/// The affine map from (inline, crossline) to (x, y), fitted by least squares to the CDP
/// coordinates of every trace (scalar applied): x = x0 + xi * inline + xc * crossline, and the
/// same for y.
struct SegyGridMap {
    bool valid = false; ///< false when the file holds no coordinates (all zero) or no grid
    double x0 = 0; ///< x at inline 0, crossline 0
    double xi = 0; ///< x per inline number
    double xc = 0; ///< x per crossline number
    double y0 = 0; ///< y at inline 0, crossline 0
    double yi = 0; ///< y per inline number
    double yc = 0; ///< y per crossline number
    double maxResidual = 0; ///< largest distance between a trace's coordinates and the map's
};

/// The geometry of one open file.
class SegyGeometry {
public:
    /// Scans the key fields of every trace of `file` and indexes them. Returns the geometry or
    /// nullptr with the reason in `*error` (a key field that does not exist, a cancelled scan).
    static std::unique_ptr<SegyGeometry> Build(
        const SegyFile& file, QString* error, const SegyGeometryOptions& options = {});
    ~SegyGeometry();
    SegyGeometry(const SegyGeometry&) = delete;
    SegyGeometry& operator=(const SegyGeometry&) = delete;

    /// The file the geometry indexes.
    const SegyFile& File() const;
    /// What kind of survey the file holds.
    SegyGeometryKind Kind() const;
    /// Order of the traces in the file.
    SegyTraceSorting Sorting() const;
    /// For pre-stack data: true when offsets run innermost (all offsets of a bin together),
    /// false when the file is a series of common-offset cubes.
    bool OffsetsInnermost() const;
    /// Notes about the geometry (duplicates, why it is unstructured, ...), each starting with the
    /// file's path.
    QStringList Warnings() const;

    /// Inline axis of a cube or pre-stack survey (empty otherwise).
    const SegyAxis& Inlines() const;
    /// Crossline axis of a cube or pre-stack survey (empty otherwise).
    const SegyAxis& Crosslines() const;
    /// The distinct offsets of a pre-stack survey (or of a 2D line with more than one offset),
    /// ascending; empty when every trace has the same offset.
    const std::vector<qint64>& Offsets() const;
    /// The CDP axis of a 2D line (empty otherwise).
    const SegyAxis& Cdps() const;

    /// Number of traces in the file.
    qint64 TraceCount() const;
    /// Grid positions: inlines x crosslines (cube, pre-stack), CDPs (line); 0 when unstructured.
    qint64 BinCount() const;
    /// Bins with no trace at all.
    qint64 MissingBinCount() const;
    /// Positions with no trace: as MissingBinCount, but for pre-stack data every (bin, offset).
    qint64 MissingTraceCount() const;
    /// Traces at a position an earlier trace already holds.
    qint64 DuplicateCount() const;
    /// Samples of every trace in the reads.
    int SampleCount() const;
    /// The map from grid to coordinates.
    const SegyGridMap& GridMap() const;

    /// The trace at a position, or -1 when the position is missing or not on the grid. For a
    /// 2D line `inlineNumber` is the CDP number and `crosslineNumber` is not used.
    qint64 TraceNumber(qint64 inlineNumber, qint64 crosslineNumber,
        qint64 offset = std::numeric_limits<qint64>::min()) const;
    /// The position of `trace` from its header; false for a bad index.
    bool Position(qint64 trace, SegyBinPosition* position, QString* error = nullptr) const;
    /// The bin nearest to (x, y) by the grid map; false when there is no map or the point lies
    /// more than half a step outside the grid.
    bool NearestBin(double x, double y, qint64* inlineNumber, qint64* crosslineNumber) const;

    /// Inline `number`: Crosslines().count x SampleCount() values.
    bool ReadInline(qint64 number, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;
    /// Crossline `number`: Inlines().count x SampleCount() values.
    bool ReadCrossline(qint64 number, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;
    /// Sample `sample` (0-based) of every bin: Inlines().count x Crosslines().count values.
    bool ReadTimeSlice(int sample, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;
    /// Inlines [il0, il1], crosslines [xl0, xl1] (numbers, both ends included, on the grid) and
    /// samples [s0, s1): (il1 - il0) / step + 1 x (xl1 - xl0) / step + 1 x (s1 - s0) values.
    bool ReadSubVolume(qint64 il0, qint64 il1, qint64 xl0, qint64 xl1, int s0, int s1, float* dst,
        QString* error = nullptr, const SegySliceOptions& options = {}) const;
    /// The gather of a pre-stack bin: Offsets().size() x SampleCount() values.
    bool ReadGather(qint64 inlineNumber, qint64 crosslineNumber, float* dst,
        QString* error = nullptr, const SegySliceOptions& options = {}) const;
    /// A 2D line in CDP order: Cdps().count x SampleCount() values.
    bool ReadLine(float* dst, QString* error = nullptr, const SegySliceOptions& options = {}) const;

private:
    struct Data;
    explicit SegyGeometry(std::unique_ptr<Data> d);
    std::unique_ptr<Data> d;
};

/// "cube", "prestack", "line" or "unstructured".
const char* SegyGeometryKindName(SegyGeometryKind kind);
/// "inline", "crossline" or "none".
const char* SegyTraceSortingName(SegyTraceSorting sorting);
