#pragma once

#include "SegyFile.h"
#include "SegyLayout.h"

#include <QString>

#include <cstdint>

// Field access shared by the reader and the writer.

// The raw bits of a field of `width` bytes at p, in the given byte order.
uint64_t LoadField(const unsigned char* p, int width, bool little);

// The field's value as an integer, with its width and sign.
qint64 FieldValue(const unsigned char* p, int width, SegyFieldType type, bool little);

// The type a trace header field reads as in a file of `revision` (the sample count is unsigned
// from revision 2 on).
SegyFieldType TraceFieldType(const SegyField& field, int revision);

// False, with a message naming `path`, for a field that does not lie inside a trace header.
bool CheckTraceField(const SegyField& field, const QString& path, QString* error);

// Reverses the byte order of every field of the table in a 400-byte binary header or a
// 240-byte trace header; bytes outside the fields stay.
void SwapBinaryHeader(unsigned char* header);
void SwapTraceHeader(unsigned char* header);

// True for an EBCDIC byte that stands for a printable character.
bool IsEbcdicPrintable(unsigned char byte);

// EBCDIC or ASCII, from the bytes of a textual header.
SegyTextEncoding DetectEncoding(const unsigned char* text, int length);

// 3200 bytes as 40 lines of 80 characters.
QStringList DecodeText(const unsigned char* text, SegyTextEncoding encoding);

// True when the 3200-byte record starts with the end stanza "((SEG: EndText))", in either
// character code, ignoring case and blanks.
bool IsEndStanza(const unsigned char* record);
