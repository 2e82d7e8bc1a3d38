#pragma once

#include "SegyGeometry.h"
#include "ZarrArray.h"

#include <QString>

#include <vector>

/// @file
/// SEG-Y files as chunked Zarr (version 2) stores that xarray opens and Dask processes.
///
/// The store of a file is a group of arrays, each with the `_ARRAY_DIMENSIONS` attribute xarray
/// reads:
/// - `amplitude`: float32 samples over the survey's dimensions: (`inline`, `crossline`,
///   `sample`) for a cube, (`inline`, `crossline`, `offset`, `sample`) for pre-stack data,
///   (`cdp`, `sample`) for a 2D line ((`cdp`, `offset`, `sample`) when it has several offsets),
///   (`trace`, `sample`) for an unstructured file. Missing positions hold zeros;
/// - `live`: uint8, 1 where a trace fills the position, over the dimensions without `sample`;
/// - the coordinates of every dimension (int64 `inline`, `crossline`, `offset`, `cdp`, `trace`
///   numbers; float64 `sample` times in milliseconds), and float64 `cdp_x`, `cdp_y` per position
///   (scalar applied; NaN where no trace is);
/// - `trace_headers`: uint8, the 240 bytes of each trace header (big-endian, as the standard
///   orders them, whatever the file's order) followed by its additional trace headers, over the
///   dimensions without `sample` plus `header_byte`;
/// - `binary_header` (400 bytes), `text_headers` (the textual header and the extended ones, 3200
///   bytes each, as in the file) and, when the file has any, `trailer_records`.
/// The group's attributes hold the file's format, byte order, revision, the decoded textual
/// headers, the geometry and the warnings of the file and of its geometry.
///
/// No array has a fill value and every chunk is written, so xarray masks nothing: every value
/// reads back as written, zeros included. Chunk keys are "i.j.k"; chunks are compressed with
/// Blosc (lz4 or zstd, byte shuffle) or stored plain. The group also holds consolidated metadata
/// (`.zmetadata`).
///
/// A store is written under a hidden name beside the target and renamed into place at the end:
/// a failure or a cancel leaves no store, and an earlier store of that name as it was. An
/// existing store of that name is replaced; any other file or folder there is refused. Memory
/// stays at a few chunks per thread.
///
/// An import writes the traces back in the store's order (inline by inline, crosslines within,
/// offsets innermost; CDPs of a line; traces of an unstructured file), skips missing positions,
/// and writes headers as they were. Every message starts with the path of the file or store
/// concerned and ": ".

/// How to export a file.
struct SegyZarrExportOptions {
    /// The header fields of the geometry; its progress is not used (see `progress`).
    SegyGeometryOptions geometry;
    /// Chunk size along each dimension of `amplitude`; empty: 64 x 64 x 256 for a cube,
    /// 16 x 16 x 16 x 256 for pre-stack data, 4096 x 256 for a line (256 x 16 x 256 with
    /// offsets) or an unstructured file. Sizes above a dimension's length are cut to it.
    std::vector<qint64> chunks;
    /// How chunks are compressed: Blosc lz4 (the default) or zstd with byte shuffle, or none.
    ZarrCompression compression = ZarrCompression::Lz4;
    /// Blosc compression level, 1 to 9.
    int level = 5;
    /// Threads that read and compress chunks; 0: one per core.
    int threads = 0;
    /// Counted in traces: the header scan of the geometry, then the traces written (total:
    /// twice the trace count). Returning false cancels.
    SegyProgress progress;
};

/// Writes `file` as the Zarr store `storePath`. Returns false with the reason.
bool ExportSegyZarr(const SegyFile& file, const QString& storePath, QString* error,
    const SegyZarrExportOptions& options = {});

/// How to import a store.
struct SegyZarrImportOptions {
    /// Data sample format code of the file; 0: the exported file's.
    int format = 0;
    /// Byte order; Auto: the exported file's.
    SegyByteOrder byteOrder = SegyByteOrder::Auto;
    /// Threads that read and decompress chunks; 0: one per core.
    int threads = 0;
    /// Counted in traces written; returning false cancels.
    SegyProgress progress;
};

/// Writes the SEG-Y file `outPath` from the store `storePath` through SegyWriter. A store that
/// is not one the frame writes (a missing array, a wrong shape or type, a chunk that is missing,
/// truncated or does not decompress) is refused with a message naming the array and the chunk;
/// nothing is then written under `outPath`. Returns false with the reason.
bool ImportSegyZarr(const QString& storePath, const QString& outPath, QString* error,
    const SegyZarrImportOptions& options = {});

/// An exported store opened for reading, so that a product reads a store's lines and time
/// slices as SegyGeometry reads them from the file: the same layouts, the same fill of missing
/// positions (from the store's `live` mask), the same checks. Only the chunks a read touches
/// are read and decompressed. Reads are `const` and may run on several threads at once.
class SegyZarrStore {
public:
    /// Opens the store at `path` and checks it as ImportSegyZarr does (the chunks are checked as
    /// reads meet them). Returns the store, or nullptr with the reason in `*error`.
    static std::unique_ptr<SegyZarrStore> Open(const QString& path, QString* error);
    ~SegyZarrStore();
    SegyZarrStore(const SegyZarrStore&) = delete;
    SegyZarrStore& operator=(const SegyZarrStore&) = delete;

    /// What kind of survey the store holds.
    SegyGeometryKind Kind() const;
    /// Inline axis of a cube or pre-stack survey (empty otherwise).
    const SegyAxis& Inlines() const;
    /// Crossline axis of a cube or pre-stack survey (empty otherwise).
    const SegyAxis& Crosslines() const;
    /// The offsets of a pre-stack survey or of a 2D line of several offsets (empty otherwise).
    const std::vector<qint64>& Offsets() const;
    /// The CDP axis of a 2D line (empty otherwise).
    const SegyAxis& Cdps() const;
    /// Samples of every trace.
    int SampleCount() const;

    /// Inline `number`: Crosslines().count x SampleCount() values.
    bool ReadInline(qint64 number, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;
    /// Crossline `number`: Inlines().count x SampleCount() values.
    bool ReadCrossline(qint64 number, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;
    /// Sample `sample` (0-based) of every bin: Inlines().count x Crosslines().count values.
    bool ReadTimeSlice(int sample, float* dst, QString* error = nullptr,
        const SegySliceOptions& options = {}) const;

private:
    struct Data;
    explicit SegyZarrStore(std::unique_ptr<Data> d);
    std::unique_ptr<Data> d;
};
