#pragma once

#include "SegyGeometry.h"
#include "ZarrArray.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

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
};
