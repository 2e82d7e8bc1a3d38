#pragma once

#include "SegyGeometry.h"
#include "ZarrArray.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

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
