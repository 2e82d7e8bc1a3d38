#pragma once

#include "SegyFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

/// @file
/// Writing SEG-Y files.
///
/// A file is written through a temporary file beside the target and renamed into place by
/// Finish: a failure or a writer destroyed without Finish leaves no file, and any earlier file
/// of that name untouched. Every message starts with the path and ": ".
///
/// Samples are given as floats (or doubles) and written in the chosen format:
/// - 1 (IBM) through FloatToIbm: a float read from an IBM word by IbmToFloat is written back as
///   the same word for every normalised word of single range (exponent 39 to 96, leading hex
///   digit not 0, or a zero fraction with exponent 0). Other words do not come back: an
///   unnormalised word comes back normalised, a zero with a non-zero exponent as a plain zero,
///   words below single range as subnormals re-encoded (exponent 32 or 33) or zero, and words
///   above it as the largest IBM magnitude.
/// - 5 and 6 (IEEE): exact.
/// - integer formats: rounded to nearest (ties to even), saturated to the format's range; NaN
///   gives 0.
/// Format 4 cannot be written.
///
/// Headers are written as given, but for these fields, which the writer keeps right:
/// data sample format (3225), revision (3501-3502), byte-order constant (3297, written for
/// little-endian files and revision 2), extended textual header count (3505, kept at -1 when
/// the given records end with an end stanza), samples per trace (3221, or 3269 for counts above
/// 65535, from the first trace when 0), and the trace header's sample count (115, when it fits).

/// How to write a file.
struct SegyWriteOptions {
    /// Data sample format code: 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 15 or 16.
    int format = 1;
    /// Byte order; Little also writes the revision 2 byte-order constant.
    SegyByteOrder byteOrder = SegyByteOrder::Big;
    /// Character code of the textual header given as lines.
    SegyTextEncoding textEncoding = SegyTextEncoding::Ebcdic;
    /// Major revision to mark: 1 or 2; 0 keeps the binary header's revision, or takes the
    /// lowest one that the file needs (2 for little-endian files, additional trace headers,
    /// more than 65535 samples).
    int revision = 0;
};

/// Writes one SEG-Y file: Begin, any number of WriteTrace, Finish.
class SegyWriter {
public:
    /// A writer for `path`; nothing is written before Begin.
    explicit SegyWriter(const QString& path, const SegyWriteOptions& options = {});
    /// Discards an unfinished file.
    ~SegyWriter();
    SegyWriter(const SegyWriter&) = delete;
    SegyWriter& operator=(const SegyWriter&) = delete;

    /// The textual header as 40 lines, each cut or blank-padded to 80 characters (missing lines
    /// blank), encoded as the options say.
    void SetTextHeader(const QStringList& lines);
    /// The textual header as 3200 bytes written as they are (shorter: padded with blanks in the
    /// options' character code).
    void SetRawTextHeader(const QByteArray& bytes);
    /// Extended textual headers, 3200 bytes each, written as they are.
    void SetRawExtendedTextHeaders(const QList<QByteArray>& records);
    /// The binary header; the writer then keeps the fields listed above right.
    void SetBinaryHeader(const SegyBinaryHeader& header);
    /// The binary header to fill in before Begin.
    SegyBinaryHeader& BinaryHeader();

    /// Creates the temporary file and writes the file headers. Returns false with the reason.
    bool Begin(QString* error = nullptr);
    /// Writes one trace: its header, `additional` (AdditionalTraceHeaders x 240 bytes, written as
    /// they are; zeros when empty) and `count` samples.
    bool WriteTrace(const SegyTraceHeader& header, const float* samples, int count,
        QString* error = nullptr, const QByteArray& additional = {});
    /// As the float WriteTrace, from doubles (exact for the wider formats).
    bool WriteTrace(const SegyTraceHeader& header, const double* samples, int count,
        QString* error = nullptr, const QByteArray& additional = {});
    /// Writes one trace whose samples are already encoded in the writer's format and byte order.
    bool WriteRawTrace(const SegyTraceHeader& header, const unsigned char* sampleBytes, int count,
        QString* error = nullptr, const QByteArray& additional = {});
    /// Trailer stanza records (3200 bytes each), written after the traces by Finish.
    void SetRawTrailerRecords(const QList<QByteArray>& records);
    /// Writes what is left and renames the file into place. Returns false with the reason.
    bool Finish(QString* error = nullptr);
    /// Drops the temporary file.
    void Cancel();

    /// Traces written so far.
    qint64 TracesWritten() const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};

/// Copies `in` to `outPath` with the options' format and byte order, headers carried over.
/// Samples keep every bit when the format stays (only reordered for the other byte order);
/// otherwise they go through float, or double when the source format is wider than float.
/// Progress is reported per trace; cancelling leaves no file.
bool SegyCopy(const SegyFile& in, const QString& outPath, const SegyWriteOptions& options,
    QString* error = nullptr, const SegyProgress& progress = {});

/// The textual header lines encoded as 3200 bytes (40 lines of 80 characters).
QByteArray EncodeSegyText(const QStringList& lines, SegyTextEncoding encoding);
