#include "SegyZarrStore.h"

#include <QFileInfo>

#include <algorithm>

using namespace SegyZarrNames;

namespace {

constexpr int kTraceHeaderBytes = 240;
constexpr int kRecordBytes = 3200;

} // namespace

QStringList SegyZarrTraceDimensions(SegyGeometryKind kind, bool offsets)
{
    switch (kind) {
    case SegyGeometryKind::Cube:
        return {QStringLiteral("inline"), QStringLiteral("crossline")};
    case SegyGeometryKind::Prestack:
        return {QStringLiteral("inline"), QStringLiteral("crossline"), QStringLiteral("offset")};
    case SegyGeometryKind::Line:
        if (offsets)
            return {QStringLiteral("cdp"), QStringLiteral("offset")};
        return {QStringLiteral("cdp")};
    case SegyGeometryKind::Unstructured:
        return {QStringLiteral("trace")};
    }
    return {};
}

bool ParseSegyGeometryKind(const QString& name, SegyGeometryKind* kind)
{
    for (const SegyGeometryKind k : {SegyGeometryKind::Cube, SegyGeometryKind::Prestack,
             SegyGeometryKind::Line, SegyGeometryKind::Unstructured}) {
        if (name == QLatin1String(SegyGeometryKindName(k))) {
            *kind = k;
            return true;
        }
    }
    return false;
}

QString ZarrArrayPath(const QString& store, const ZarrArray& array)
{
    return store + QLatin1Char('/') + array.name;
}

QString ZarrChunkPath(
    const QString& store, const ZarrArray& array, const std::vector<qint64>& index)
{
    return ZarrArrayPath(store, array) + QLatin1Char('/')
        + QString::fromLatin1(ZarrChunkKey(index));
}

QString ShapeText(const std::vector<qint64>& shape)
{
    QStringList parts;
    for (const qint64 n : shape)
        parts << QString::number(n);
    return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

std::vector<std::vector<qint64>> ChunkIndices(const ZarrArray& array, qint64 row)
{
    const int n = int(array.shape.size());
    std::vector<std::vector<qint64>> indices;
    for (int d = 0; d < n; ++d) {
        if (array.ChunkCount(d) == 0)
            return indices;
    }
    std::vector<qint64> at(std::size_t(n), 0);
    if (row >= 0)
        at[0] = row;
    for (;;) {
        indices.push_back(at);
        int d = n - 1;
        while (d >= (row >= 0 ? 1 : 0) && ++at[std::size_t(d)] == array.ChunkCount(d))
            at[std::size_t(d--)] = 0;
        if (d < (row >= 0 ? 1 : 0))
            break;
    }
    return indices;
}

bool StoreReader::Load(const char* name, ZarrArray* array, QString* error, bool* missing) const
{
    array->name = QString::fromLatin1(name);
    const QString folder = ZarrArrayPath(path, *array);
    QJsonObject metadata;
    QJsonObject attributes;
    QString reason;
    if (!QFileInfo::exists(folder + QStringLiteral("/.zarray"))) {
        if (missing) {
            *missing = true;
            return false;
        }
        *error = Fail(*array, QStringLiteral("missing (no .zarray)"));
        return false;
    }
    if (!ReadJsonFile(folder + QStringLiteral("/.zarray"), &metadata, &reason)
        || !ReadJsonFile(folder + QStringLiteral("/.zattrs"), &attributes, &reason)
        || !ParseZarrArray(metadata, attributes, array, &reason)) {
        *error = Fail(*array, reason);
        return false;
    }
    array->name = QString::fromLatin1(name);
    return true;
}

bool StoreReader::Expect(const ZarrArray& array, const QByteArray& dtype,
    const std::vector<qint64>& shape, const std::vector<qint64>& chunks, QString* error) const
{
    if (array.dtype != dtype) {
        *error = Fail(array,
            QStringLiteral("type %1 where %2 is expected")
                .arg(QString::fromLatin1(array.dtype), QString::fromLatin1(dtype)));
        return false;
    }
    if (array.shape != shape) {
        *error = Fail(array,
            QStringLiteral("shape %1 where %2 is expected")
                .arg(ShapeText(array.shape), ShapeText(shape)));
        return false;
    }
    if (!chunks.empty() && array.chunks != chunks) {
        *error = Fail(array,
            QStringLiteral("chunks %1 where %2 is expected")
                .arg(ShapeText(array.chunks), ShapeText(chunks)));
        return false;
    }
    return true;
}

bool StoreReader::Open(QString* error)
{
    QString reason;
    QJsonObject group;
    if (!ReadJsonFile(path + QStringLiteral("/.zgroup"), &group, &reason)) {
        *error = path + QStringLiteral(": not a Zarr group: .zgroup: ") + reason;
        return false;
    }
    if (!ReadJsonFile(path + QStringLiteral("/.zattrs"), &root, &reason)
        || !ParseSegyGeometryKind(root.value(QStringLiteral("kind")).toString(), &kind)) {
        *error = path + QStringLiteral(": .zattrs: no survey kind (not a store of the frame)");
        return false;
    }
    if (!Load(kAmplitude, &amplitude, error) || !Load(kLive, &live, error)
        || !Load(kTraceHeaders, &headers, error) || !Load(kBinaryHeader, &binary, error)
        || !Load(kTextHeaders, &text, error))
        return false;
    bool trailersMissing = false;
    hasTrailers = Load(kTrailerRecords, &trailers, error, &trailersMissing);
    if (!hasTrailers && !trailersMissing)
        return false;

    const bool offsets = kind == SegyGeometryKind::Line && amplitude.dimensions.size() == 3;
    const QStringList dimensions = SegyZarrTraceDimensions(kind, offsets) + QStringList{kSample};
    if (amplitude.dimensions != dimensions) {
        *error = Fail(amplitude,
            QStringLiteral("dimensions (%1) where a %2 has (%3)")
                .arg(amplitude.dimensions.join(QStringLiteral(", ")),
                    QString::fromLatin1(SegyGeometryKindName(kind)),
                    dimensions.join(QStringLiteral(", "))));
        return false;
    }
    if (!Expect(amplitude, "<f4", amplitude.shape, {}, error))
        return false;
    const std::vector<qint64> traceShape(amplitude.shape.begin(), amplitude.shape.end() - 1);
    const std::vector<qint64> traceChunks(amplitude.chunks.begin(), amplitude.chunks.end() - 1);
    if (!Expect(live, "|u1", traceShape, traceChunks, error))
        return false;
    const qint64 headerBytes = headers.shape.empty() ? 0 : headers.shape.back();
    if (headerBytes < kTraceHeaderBytes || headerBytes % kTraceHeaderBytes != 0) {
        *error = Fail(headers,
            QStringLiteral("%1 bytes per trace, not a whole number of 240-byte headers")
                .arg(headerBytes));
        return false;
    }
    std::vector<qint64> headerShape = traceShape;
    headerShape.push_back(headerBytes);
    std::vector<qint64> headerChunks = traceChunks;
    headerChunks.push_back(headerBytes);
    if (!Expect(headers, "|u1", headerShape, headerChunks, error)
        || !Expect(binary, "|u1", {400}, {}, error))
        return false;
    const qint64 records = text.shape.size() == 2 ? text.shape[0] : 0;
    if (!Expect(text, "|u1", {std::max<qint64>(1, records), kRecordBytes}, {}, error))
        return false;
    if (hasTrailers) {
        const qint64 n = trailers.shape.size() == 2 ? trailers.shape[0] : 0;
        if (!Expect(trailers, "|u1", {n, kRecordBytes}, {}, error))
            return false;
    }
    return true;
}

bool StoreReader::ReadWhole(
    const ZarrArray& array, std::vector<unsigned char>* values, QString* error) const
{
    qint64 elements = 1;
    for (const qint64 n : array.shape)
        elements *= n;
    values->assign(std::size_t(elements) * std::size_t(array.ItemSize()), 0);
    if (elements == 0)
        return true;
    std::vector<unsigned char> chunk(array.ChunkBytes());
    std::vector<unsigned char> work;
    QString reason;
    for (const std::vector<qint64>& index : ChunkIndices(array, -1)) {
        if (!ReadZarrChunk(
                array, ZarrChunkPath(path, array, index), chunk.data(), &work, &reason)) {
            *error = Fail(array,
                QStringLiteral("chunk %1: %2")
                    .arg(QString::fromLatin1(ZarrChunkKey(index)), reason));
            return false;
        }
        CopyZarrChunkToRows(array, index, chunk.data(), 0, values->data());
    }
    return true;
}
