#pragma once

#include <QString>

#include <cstdint>

/// @file
/// The SEG-Y layout as data: the fields of the binary file header and of the trace header, and
/// the data sample formats. The reader, the writer, the command-line tool and the tests all
/// take byte positions, widths and names from these tables.
///
/// Byte positions are 1-based, as the format counts them: binary header fields at file bytes
/// 3201 to 3600, trace header fields at bytes 1 to 240 of the trace header. Field names are
/// stable lower-case identifiers (`inline`, `crossline`, `samples_per_trace`, ...).

/// How the bytes of a field are read.
enum class SegyFieldType {
    Int8, ///< 1 byte, two's complement
    UInt8, ///< 1 byte, unsigned
    Int16, ///< 2 bytes, two's complement
    UInt16, ///< 2 bytes, unsigned
    Int32, ///< 4 bytes, two's complement
    UInt32, ///< 4 bytes, unsigned
    Int64, ///< 8 bytes, two's complement
    UInt64, ///< 8 bytes, unsigned
    Float64, ///< 8 bytes, IEEE double
};

/// One header field.
struct SegyField {
    int byte; ///< first byte, 1-based (3201-3600 binary header, 1-240 trace header)
    int width; ///< bytes: 1, 2, 4 or 8
    SegyFieldType type; ///< how the bytes read
    const char* name; ///< stable identifier
    const char* title; ///< what the field holds, in words
};

/// The binary file header fields, in byte order.
const SegyField* SegyBinaryFields(int* count);

/// The trace header fields, in byte order (bytes 233-240, unassigned, are not a field).
const SegyField* SegyTraceFields(int* count);

/// The binary header field starting at file byte `byte`, or nullptr.
const SegyField* FindSegyBinaryField(int byte);

/// The binary header field named `name`, or nullptr.
const SegyField* FindSegyBinaryField(const QString& name);

/// The trace header field starting at trace header byte `byte`, or nullptr.
const SegyField* FindSegyTraceField(int byte);

/// The trace header field named `name`, or nullptr.
const SegyField* FindSegyTraceField(const QString& name);

/// The trace header field named by `spec`: a field name, or a byte position (`189`) that starts
/// a field of the table, or `BYTE:WIDTH` with WIDTH 1, 2, 4 or 8 for any other two's complement
/// field inside the 240 bytes (`BYTE:WIDTHu` for unsigned). Returns false and leaves `field`
/// alone when `spec` names no field; a made-up field's name and title point to static storage
/// ("custom").
bool ParseSegyTraceField(const QString& spec, SegyField* field);

/// One data sample format.
struct SegyFormat {
    int code; ///< data sample format code (binary header bytes 3225-3226)
    int bytesPerSample; ///< 1, 2, 3, 4 or 8
    const char* name; ///< short stable name ("ibm32", "ieee32", "int16", ...)
    const char* title; ///< what a sample is, in words
    bool readable; ///< false for format 4, whose samples are refused
    bool widerThanFloat; ///< float loses information that double keeps (6, 9, 12, 2, 10)
};

/// The format with `code`, or nullptr for a code the format does not define.
const SegyFormat* FindSegyFormat(int code);

/// The format named `name` (as in SegyFormat::name) or given as its decimal code, or nullptr.
const SegyFormat* FindSegyFormat(const QString& nameOrCode);

/// All formats, in code order.
const SegyFormat* SegyFormats(int* count);
