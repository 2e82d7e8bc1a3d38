#pragma once

#include <QRgb>
#include <QString>

#include <array>

// Colour maps of the section display, each a table of 256 colours: index 0 shows -clip, 255
// shows +clip, and the middle (127.5) zero.

enum class LpColorMapKind {
    Grey, // black (negative) to white (positive)
    RedWhiteBlue, // red (negative), white (zero), blue (positive)
    Viridis, // perceptually uniform, dark violet to yellow
};

using LpColorTable = std::array<QRgb, 256>;

LpColorTable LpMakeColorTable(LpColorMapKind kind);

// "grey", "red-white-blue", "viridis": the names the settings store.
QString LpColorMapName(LpColorMapKind kind);
// The map named `name`; false and `*kind` untouched for an unknown name.
bool LpColorMapFromName(const QString& name, LpColorMapKind* kind);
