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
/// A file is written as an unnamed file in the target's folder (or under a hidden temporary
/// name where the file system has no unnamed files) and renamed into place by Finish: a
/// failure, a crash or a writer destroyed without Finish leaves no file, and any earlier file of
/// that name untouched. Finish does not wait for the disk (no fsync). Written bytes go to the
/// file from a thread of the writer's own. Every message starts with the path and ": ".
///
/// Samples are given as floats (or doubles) and written in the chosen format:
/// - 1 (IBM) through FloatToIbm. A float read from an IBM word by IbmToFloat is written back as
///   the same word exactly for these words (2,017,460,226 of the 2^32): exponent 33 to 96 with
///   a leading hex digit of the fraction other than 0 (every normalised word whose value a
///   single holds); exponent 32 with a fraction that is a non-zero multiple of 8; the zeros
///   0x00000000 and 0x80000000; and the largest magnitudes 0x7FFFFFFF and 0xFFFFFFFF. Every
///   other word changes: unnormalised words come back normalised (or in the subnormal form
///   just named), a zero fraction with a non-zero exponent as a plain signed zero, words of
///   exponent 0 to 32 otherwise as the subnormal form or zero, words of exponent 97 and up as
///   the largest magnitude. SegyCopy keeps every word when the format stays.
/// - 5 and 6 (IEEE): exact.
/// - integer formats: rounded to nearest (ties to even), saturated to the format's range; NaN
///   gives 0.
/// Format 4 cannot be written.
///
/// Headers are written as given, but for these fields, which the writer keeps right:
/// data sample format (3225), revision (3501-3502), byte-order constant (3297: always written
/// for little-endian files, and for revision 2 files that leave it 0), extended textual header
/// count (3505, kept at -1 when the given records end with an end stanza), trailer record count
/// (3529, revision 2), samples per trace (3221, or 3269 for counts above 65535; from the first
/// trace when 0, unless the revision is kept as given), and a trace header's sample count (115,
/// set to the trace's count when it fits; a copy, which keeps the revision as given, keeps a 0
/// there that stands for the binary header's count). A trace of no samples can only be written
/// when the binary header's count is 0.
///
/// Header fields of little-endian files are byte-swapped by the layout tables; additional trace
/// headers and bytes 233-240 are written as given. A little-endian file read and written back
/// little-endian gains the byte-order constant (and revision 2) if it lacked them.

/// How to write a file.
struct SegyWriteOptions {
    /// Data sample format code: 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 15 or 16.
    int format = 1;
    /// Byte order; Little also writes the revision 2 byte-order constant.
    SegyByteOrder byteOrder = SegyByteOrder::Big;
    /// Character code of the textual header given as lines.
    SegyTextEncoding textEncoding = SegyTextEncoding::Ebcdic;
    /// Major revision to mark: 1 or 2; 0 keeps the binary header's revision when it is 1 or
    /// more and marks 1 otherwise; -1 keeps the header's revision bytes as they are (SegyCopy
    /// does so when given 0). Little-endian files, additional trace headers and more than 32767
    /// samples per trace raise it to 2.
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
