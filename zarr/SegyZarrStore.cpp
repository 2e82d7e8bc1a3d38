#include "SegyZarrStore.h"

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
