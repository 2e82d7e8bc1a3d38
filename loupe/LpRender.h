#pragma once

#include "LpSection.h"

#include <QImage>
#include <QRect>
#include <QSize>

// Drawing a section into an image, with or without a window: the same calls make the window's
// picture, an exported image and a picture made with no display at all (they need a
// QGuiApplication for the fonts of the axes, the offscreen platform will do).
//
// Coordinates: column c of a section covers [c, c + 1) horizontally and row r covers
// [r, r + 1) vertically; a viewport is the part of that plane the plot area shows. A pixel
// shows the column and row under its centre (nearest neighbour, at the image's resolution).

struct LpViewport {
    double column0 = 0;
    double column1 = 1;
    double row0 = 0;
    double row1 = 1;

    bool IsValid() const { return column1 > column0 && row1 > row0; }
};

// The whole section.
LpViewport LpFitViewport(const LpSection& section);

struct LpRenderStyle {
    bool axes = true; // ticks, numbers and the colour bar around the plot
    double scale = 1; // device pixels per logical pixel (margins and fonts)
};

// The plot area of an image of `size` device pixels.
QRect LpPlotRect(const QSize& size, const LpRenderStyle& style);

// Draws the samples of `scaled` seen through `viewport` into `rect` of `image` (Format_RGB32):
// variable density through `table`, wiggles with their positive lobes filled, or both, as
// `mode` says. Wiggles are drawn for every k-th column only, k chosen so that they stand at
// least a few pixels apart.
void LpRenderData(QImage* image, const QRect& rect, const LpScaled& scaled, LpDisplayMode mode,
    const LpColorTable& table, const LpViewport& viewport, double scale = 1);

// A finished picture of `size` device pixels: the data, and with style.axes the axes of
// `section` and the colour bar.
QImage LpRenderImage(const QSize& size, const LpSection& section, const LpScaled& scaled,
    LpDisplayMode mode, const LpColorTable& table, const LpViewport& viewport,
    const LpRenderStyle& style);

// Columns drawn as wiggles: every k-th, with k the smallest that keeps them `minSpacing`
// pixels apart at `pixelsPerColumn`.
int LpWiggleStep(double pixelsPerColumn, double minSpacing);
