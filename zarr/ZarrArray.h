#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

/// @file
/// Arrays of a Zarr version 2 directory store: the `.zarray` metadata, chunk keys ("i.j.k"),
/// and chunk files compressed with Blosc or stored plain.
///
/// Arrays are C-ordered, little-endian, without filters, with a null fill value: every chunk is
/// written, and xarray, finding no fill value, masks nothing. Chunk files may be read and
/// written on several threads at once. Failures return false with the reason (without a path:
/// the caller names the store, the array and the chunk).

/// How chunks are compressed: Blosc with byte shuffle, or not at all.
enum class ZarrCompression {
    None, ///< plain bytes
    Lz4, ///< Blosc, lz4
    Zstd, ///< Blosc, zstd
};

/// "none", "lz4" or "zstd".
const char* ZarrCompressionName(ZarrCompression compression);
/// The compression named `name`; false for a name that is none of those.
bool ParseZarrCompression(const QString& name, ZarrCompression* compression);

/// One array: its metadata and where it lives in the store.
struct ZarrArray {
    QString name; ///< folder of the array inside the store
    QByteArray dtype; ///< "<f4", "<f8", "<i8" or "|u1"
    std::vector<qint64> shape; ///< length of each dimension
    std::vector<qint64> chunks; ///< chunk size along each dimension
    QStringList dimensions; ///< the `_ARRAY_DIMENSIONS` attribute xarray reads
    ZarrCompression compression = ZarrCompression::Lz4; ///< how chunks are stored
    int level = 5; ///< Blosc compression level, 1 to 9
    int blocksize = 0; ///< bytes per Blosc block; 0: Blosc's choice
    QJsonObject attributes; ///< attributes besides `_ARRAY_DIMENSIONS`

    /// Bytes per value.
    int ItemSize() const;
    /// Chunks along dimension `d`; the last ones run past the shape and are padded.
    qint64 ChunkCount(int d) const { return (shape[d] + chunks[d] - 1) / chunks[d]; }
    /// Values per chunk.
    qint64 ChunkElements() const;
    /// Bytes per chunk, uncompressed.
    std::size_t ChunkBytes() const { return std::size_t(ChunkElements()) * ItemSize(); }

    /// The `.zarray` object.
    QJsonObject Metadata() const;
    /// The `.zattrs` object.
    QJsonObject AttributeObject() const;
};

/// Fills `array` (all but its name) from `.zarray` and `.zattrs`; false with the reason when the
/// metadata is not what the frame writes (another order, filters, an unknown codec or type).
bool ParseZarrArray(
    const QJsonObject& metadata, const QJsonObject& attributes, ZarrArray* array, QString* reason);

/// The key of the chunk at `index`: "i.j.k".
QByteArray ZarrChunkKey(const std::vector<qint64>& index);

/// Writes a chunk of `array` (ChunkBytes() bytes at `data`) as the file `path`; `work` is a
/// buffer the compression may grow and reuse.
bool WriteZarrChunk(const ZarrArray& array, const QString& path, const void* data,
    std::vector<unsigned char>* work, QString* reason);

/// Reads the chunk file `path` of `array` into `data` (ChunkBytes() bytes); `work` holds the
/// file's bytes. Fails for a missing or truncated file and for data that does not decompress or
/// decompresses to another size.
bool ReadZarrChunk(const ZarrArray& array, const QString& path, void* data,
    std::vector<unsigned char>* work, QString* reason);

/// Copies the part of chunk `index` that lies inside the array's shape from `chunk` (a whole
/// chunk, C order) into `rows`: the C-ordered values of indices [firstRow, ...) of dimension 0
/// and every index of the other dimensions. The chunk's rows must lie in that block.
void CopyZarrChunkToRows(const ZarrArray& array, const std::vector<qint64>& index,
    const void* chunk, qint64 firstRow, void* rows);

/// Writes `object` as the JSON file `path`.
bool WriteJsonFile(const QString& path, const QJsonObject& object, QString* reason);
/// Reads the JSON object of the file `path`.
bool ReadJsonFile(const QString& path, QJsonObject* object, QString* reason);
