#pragma once

#include "SegyGeometry.h"
#include "ZarrArray.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

#include <sys/mman.h>

// What export and import share: the names of the store's arrays and attributes, and the
// dimensions of each kind of survey.

namespace SegyZarrNames {
constexpr const char* kAmplitude = "amplitude";
constexpr const char* kLive = "live";
constexpr const char* kTraceHeaders = "trace_headers";
constexpr const char* kBinaryHeader = "binary_header";
constexpr const char* kTextHeaders = "text_headers";
constexpr const char* kTrailerRecords = "trailer_records";
constexpr const char* kCdpX = "cdp_x";
constexpr const char* kCdpY = "cdp_y";
constexpr const char* kSample = "sample";
} // namespace SegyZarrNames

// The dimensions of a kind's positions (the dimensions of `amplitude` without `sample`);
// `offsets` for a 2D line of several offsets.
QStringList SegyZarrTraceDimensions(SegyGeometryKind kind, bool offsets = false);

// The kind named by `name` ("cube", ...); false for another name.
bool ParseSegyGeometryKind(const QString& name, SegyGeometryKind* kind);

// Where an array's files go.
QString ZarrArrayPath(const QString& store, const ZarrArray& array);
QString ZarrChunkPath(
    const QString& store, const ZarrArray& array, const std::vector<qint64>& index);

// "(2, 3, 4)".
QString ShapeText(const std::vector<qint64>& shape);

// Every chunk index of `array` whose first index is `row` (every chunk when row < 0); none when
// a dimension has no chunk.
std::vector<std::vector<qint64>> ChunkIndices(const ZarrArray& array, qint64 row);

// Memory for a row's samples, kept from row to row: anonymous pages asked for as huge pages, so
// that first touching a few hundred megabytes costs a few hundred page faults, not 65,000.
class RowSamples {
public:
    RowSamples() = default;
    ~RowSamples() { Release(); }
    RowSamples(const RowSamples&) = delete;
    RowSamples& operator=(const RowSamples&) = delete;

    // False when the memory cannot be had.
    bool resize(std::size_t count)
    {
        if (count <= capacity) {
            used = count;
            return true;
        }
        Release();
        const std::size_t bytes = count * sizeof(float);
        void* p
            = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        ::madvise(p, bytes, MADV_HUGEPAGE);
        values = static_cast<float*>(p);
        capacity = used = count;
        return true;
    }
    float* data() { return values; }
    const float* data() const { return values; }

private:
    void Release()
    {
        if (values)
            ::munmap(values, capacity * sizeof(float));
        values = nullptr;
        capacity = used = 0;
    }

    float* values = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;
};

// One row of chunks along the first dimension, decoded: positions [first, first + count) of
// dimension 0 and every index of the others. The samples stay in their chunks (in the order of
// ChunkIndices), each trace gathered from them as it is written; headers and the live mask are
// laid out position by position.
struct Row {
    qint64 first = 0;
    qint64 count = 0;
    RowSamples samples;
    std::vector<unsigned char> headers;
    std::vector<unsigned char> live;
    QString error;
};

// A store that export wrote, opened and checked: its arrays' metadata and the group's
// attributes. Chunks are read by ReadWhole, by the import's rows and by SegyZarrStore's reads.
class StoreReader {
public:
    explicit StoreReader(const QString& path)
        : path(path)
    {
    }

    // Reads the group's attributes and the metadata of every array, and checks them.
    bool Open(QString* error);
    // Reads the metadata of the array `name`; with `missing`, an array that is not there sets
    // it instead of failing with a message.
    bool Load(const char* name, ZarrArray* array, QString* error, bool* missing = nullptr) const;
    // Every value of `array`, C-ordered.
    bool ReadWhole(
        const ZarrArray& array, std::vector<unsigned char>* values, QString* error) const;
    void DecodeRow(qint64 row, int threads, Row* out) const;
    // The samples of position `p` of `row` (Samples() values).
    void GatherTrace(const Row& row, qint64 p, float* dst) const;

    QJsonObject root;
    SegyGeometryKind kind = SegyGeometryKind::Unstructured;
    ZarrArray amplitude;
    ZarrArray live;
    ZarrArray headers;
    ZarrArray binary;
    ZarrArray text;
    ZarrArray trailers;
    bool hasTrailers = false;

    qint64 Rows() const { return amplitude.ChunkCount(0); }
    int Samples() const { return int(amplitude.shape.back()); }
    int HeaderBytes() const { return int(headers.shape.back()); }
    // Positions per index of dimension 0.
    qint64 PositionsPerRow() const
    {
        qint64 n = 1;
        for (std::size_t d = 1; d < live.shape.size(); ++d)
            n *= live.shape[d];
        return n;
    }

    const QString& Path() const { return path; }
    // "PATH: ARRAY: chunk KEY: REASON".
    QString ChunkError(
        const ZarrArray& array, const std::vector<qint64>& index, const QString& reason) const
    {
        return Fail(array,
            QStringLiteral("chunk %1: %2").arg(QString::fromLatin1(ZarrChunkKey(index)), reason));
    }

private:
    bool Expect(const ZarrArray& array, const QByteArray& dtype, const std::vector<qint64>& shape,
        const std::vector<qint64>& chunks, QString* error) const;
    QString Fail(const ZarrArray& array, const QString& message) const
    {
        return path + QStringLiteral(": %1: %2").arg(array.name, message);
    }

    QString path;
    // Buffers of each decoding thread, kept from row to row (rows are decoded one at a time).
    struct Scratch {
        std::vector<unsigned char> chunk;
        std::vector<unsigned char> compressed;
    };
    mutable std::vector<Scratch> scratch;
};
