#pragma once

#include "SegyLayout.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// @file
/// Reading SEG-Y files.
///
/// Conventions every read follows:
/// - SegyFile::Open gives an open file or says why not; the library throws nothing. Every
///   message (errors and warnings) starts with the file's path and ": ".
/// - After a successful open every read is `const`, touches only the read-only mapping of the
///   file and may run on several threads at once.
/// - Traces are counted from 0. Reads take caller-owned arrays, sized as each function says;
///   a bad index or range is reported (false and a message) before anything is read or written.
/// - Header values are returned as numbers whatever the file's byte order; raw headers
///   (SegyBinaryHeader, SegyTraceHeader) hold their bytes big-endian.

/// Byte order of a file.
enum class SegyByteOrder {
    Auto, ///< detect (only as an open option)
    Big, ///< most significant byte first, the standard order
    Little, ///< least significant byte first (marked by the revision 2 byte-order constant)
};

/// Character code of the textual headers.
enum class SegyTextEncoding { Ebcdic, Ascii };

/// Progress of long work, counted in traces: `done` of `total`. Returns false to cancel; the
/// work then stops and reports "cancelled".
using SegyProgress = std::function<bool(qint64 done, qint64 total)>;

/// The 400 bytes of a binary file header, big-endian whatever the file's order.
class SegyBinaryHeader {
public:
    SegyBinaryHeader();

    /// The value of `field` (a binary header field); 8-byte unsigned values above 2^63 - 1 and
    /// Float64 fields are not represented (use UnsignedValue, DoubleValue).
    qint64 Value(const SegyField& field) const;
    /// The value of an unsigned 8-byte field (or any integer field, converted).
    quint64 UnsignedValue(const SegyField& field) const;
    /// The value of a Float64 field.
    double DoubleValue(const SegyField& field) const;
    /// The value of the field named `name`; 0 when there is none.
    qint64 Value(const char* name) const;

    /// Sets an integer field (the value is cut to the field's width).
    void SetValue(const SegyField& field, qint64 value);
    /// Sets a Float64 field.
    void SetDoubleValue(const SegyField& field, double value);
    /// Sets the field named `name`; returns false when there is none.
    bool SetValue(const char* name, qint64 value);

    /// The 400 bytes, big-endian.
    const unsigned char* Bytes() const { return bytes; }
    /// The 400 bytes, big-endian, writable.
    unsigned char* Bytes() { return bytes; }

private:
    unsigned char bytes[400];
};

/// The 240 bytes of a trace header, big-endian whatever the file's order (bytes 233-240 are
/// kept as they are in the file).
class SegyTraceHeader {
public:
    SegyTraceHeader();

    /// The value of `field` (a trace header field).
    qint64 Value(const SegyField& field) const;
    /// The value of the field named `name`; 0 when there is none.
    qint64 Value(const char* name) const;
    /// Sets `field` (the value is cut to the field's width).
    void SetValue(const SegyField& field, qint64 value);
    /// Sets the field named `name`; returns false when there is none.
    bool SetValue(const char* name, qint64 value);

    /// The 240 bytes, big-endian.
    const unsigned char* Bytes() const { return bytes; }
    /// The 240 bytes, big-endian, writable.
    unsigned char* Bytes() { return bytes; }

private:
    unsigned char bytes[240];
};

/// How to open a file.
struct SegyOpenOptions {
    /// Byte order of headers and samples; Auto detects it.
    SegyByteOrder byteOrder = SegyByteOrder::Auto;
    /// Scan every trace header for its sample count even when the file looks fixed-length.
    bool scanTraces = false;
    /// Progress of the trace scan of a variable-length file; may cancel the open.
    SegyProgress progress;
};

/// One open SEG-Y file.
class SegyFile {
public:
    /// Opens and maps `path`. Returns the open file, or nullptr with the reason in `*error`.
    static std::unique_ptr<SegyFile> Open(
        const QString& path, QString* error, const SegyOpenOptions& options = {});
    ~SegyFile();
    SegyFile(const SegyFile&) = delete;
    SegyFile& operator=(const SegyFile&) = delete;

    /// The path the file was opened with.
    QString FileName() const;
    /// Size of the file in bytes.
    qint64 FileSize() const;
    /// Notes about the file that did not stop the open (a partial last trace, a trace count
    /// that disagrees with the size, ...), each starting with the path.
    QStringList Warnings() const;

    /// Byte order of the file (Big or Little).
    SegyByteOrder ByteOrder() const;
    /// Character code of the textual file header.
    SegyTextEncoding TextEncoding() const;
    /// The 40 lines of 80 characters of the textual file header, decoded.
    QStringList TextHeader() const;
    /// The 3200 bytes of the textual file header, as in the file.
    QByteArray RawTextHeader() const;

    /// Number of extended textual file headers.
    int ExtendedTextHeaderCount() const;
    /// The 40 lines of extended textual header `index`, decoded in its own character code;
    /// empty for a bad index.
    QStringList ExtendedTextHeader(int index) const;
    /// The 3200 bytes of extended textual header `index`; empty for a bad index.
    QByteArray RawExtendedTextHeader(int index) const;

    /// The binary file header.
    const SegyBinaryHeader& BinaryHeader() const;
    /// Major revision (0, 1 or 2) and minor revision.
    int Revision() const;
    /// Minor revision.
    int MinorRevision() const;
    /// The fixed-length trace flag of the binary header.
    bool FixedLengthFlag() const;
    /// True when every trace has SamplesPerTrace() samples, so that any trace is found by
    /// arithmetic; false when a scan built a trace index.
    bool IsFixedLength() const;
    /// Data sample format.
    const SegyFormat& Format() const;
    /// Samples per trace of the binary header (the extended count when given).
    int SamplesPerTrace() const;
    /// Sample interval of the binary header (the extended interval when given).
    double SampleInterval() const;
    /// Additional 240-byte trace headers after each standard one (revision 2).
    int AdditionalTraceHeaders() const;
    /// Byte offset of the first trace.
    qint64 FirstTraceOffset() const;
    /// Number of trailer stanza records after the traces (revision 2).
    int TrailerRecordCount() const;

    /// Number of whole traces.
    qint64 TraceCount() const;
    /// Number of samples of `trace`; -1 for a bad index.
    int SampleCount(qint64 trace) const;
    /// Total samples of traces [first, first + count); -1 for a bad range.
    qint64 SampleCount(qint64 first, qint64 count) const;
    /// Byte offset of `trace` in the file; -1 for a bad index.
    qint64 TraceOffset(qint64 trace) const;

    /// The standard header of `trace`.
    bool ReadTraceHeader(qint64 trace, SegyTraceHeader* header, QString* error = nullptr) const;
    /// The value of `field` in the standard header of `trace`.
    bool ReadTraceField(
        qint64 trace, const SegyField& field, qint64* value, QString* error = nullptr) const;
    /// Values of `field` of traces [first, first + count) into `dst` (count elements, cut to 32
    /// bits for 8-byte fields), without touching the samples.
    bool ReadTraceFieldColumn(const SegyField& field, qint64 first, qint64 count, int32_t* dst,
        QString* error = nullptr) const;
    /// As the int32_t column, in 64 bits.
    bool ReadTraceFieldColumn(const SegyField& field, qint64 first, qint64 count, qint64* dst,
        QString* error = nullptr) const;
    /// Values of `fieldCount` fields of traces [first, first + count), field k into dst[k]
    /// (count elements each), every header visited once: cheaper than a column per field.
    bool ReadTraceFieldColumns(const SegyField* fields, int fieldCount, qint64 first, qint64 count,
        qint64* const* dst, QString* error = nullptr) const;
    /// The additional trace headers of `trace` (AdditionalTraceHeaders() x 240 bytes), as in the
    /// file.
    QByteArray RawAdditionalTraceHeaders(qint64 trace) const;
    /// The raw bytes of `trace`'s samples, as in the file (SampleCount x bytes per sample).
    const unsigned char* RawSamples(qint64 trace) const;

    /// The samples of `trace` into `dst` (SampleCount(trace) elements).
    bool ReadSamples(qint64 trace, float* dst, QString* error = nullptr) const;
    /// The samples of `trace` into `dst` as doubles.
    bool ReadSamples(qint64 trace, double* dst, QString* error = nullptr) const;
    /// The samples of traces [first, first + count), one after the other, into `dst`
    /// (SampleCount(first, count) elements).
    bool ReadSamples(qint64 first, qint64 count, float* dst, QString* error = nullptr,
        const SegyProgress& progress = {}) const;
    /// As the float range, in doubles.
    bool ReadSamples(qint64 first, qint64 count, double* dst, QString* error = nullptr,
        const SegyProgress& progress = {}) const;

    /// Trailer stanza record `index` (3200 bytes); empty for a bad index.
    QByteArray RawTrailerRecord(int index) const;

    /// Gives back to the system the pages of the file's mapping that reads have touched, so that
    /// they no longer count in the process's resident memory. The bytes stay in the system's
    /// page cache; later reads (on any thread, also during the call) map them again and read the
    /// same values. Pointers from RawSamples stay valid.
    void ReleaseResidentPages() const;

private:
    struct Data;
    explicit SegyFile(std::unique_ptr<Data> d);
    std::unique_ptr<Data> d;
};
