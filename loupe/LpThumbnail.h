#pragma once

#include <QImage>
#include <QString>

// Thumbnails for file managers: the first line of a file (the first inline of a survey on a
// grid, or the first traces in file order) in grey variable density, clipped at the viewer's
// percentile of the line's own amplitudes, drawn with no window and no display.

// The picture of the file at `path`, at most `size` pixels wide and high (the longer side
// `size`; the sides keep the section's proportions, between 1:2 and 2:1), in grey (8 bits).
// Returns a null image with the reason in `*error` when the file cannot be read.
QImage LpMakeThumbnail(const QString& path, int size, QString* error);

// Writes the thumbnail of `input` to `output` as a PNG. On failure nothing is written (an
// earlier file at `output` stays as it was) and `*error` says why.
bool LpWriteThumbnail(const QString& input, const QString& output, int size, QString* error);

// orv-loupe --thumbnail INPUT OUTPUT SIZE. Returns the exit status: 0 written, 1 the file could
// not be read or the picture not written, 2 a bad command line.
int LpThumbnailMain(int argc, char* argv[]);
