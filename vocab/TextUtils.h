#pragma once

#include <QString>

/// @file
/// Text helpers.
///
/// Code conversions work in place on a caller-owned buffer of `length` bytes:
/// a length of 0 or less leaves the buffer alone. They accept any byte, never
/// allocate, never report and keep no state, so they may run on any thread.
///
/// The EBCDIC code set here carries 94 printable characters (blank to '}',
/// no tilde). It follows code page 037 for letters, digits and most
/// punctuation, but puts '#' at 0x4A, '^' at 0x5F, '|' at 0x6A, '{' '}' at
/// 0x8B 0x9B and '[' ']' at 0xAD 0xBD; 0x4F and 0x7B are not printable here.

/// Every byte becomes printable ASCII: codes outside the 94 become '.'.
void EbcdicToAscii(char* buf, int length);

/// Printable ASCII becomes its EBCDIC code, '~' becomes 0x60 (the hyphen's
/// code); control characters, DEL and every byte from 0x80 up become 0x00.
void AsciiToEbcdic(char* buf, int length);

/// The value of the environment variable named exactly `name` (case-sensitive).
/// Only the first '=' of an entry ends the name, so the value keeps any later
/// '='. An absent or empty name gives an empty, non-null string.
QString EnvironmentValue(const QString& name);

/// Writes "Waiting at debug point...\n" to standard output and spins until a
/// debugger clears the local flag `waiting`. Never called by the frame itself.
void WaitAtDebugPoint();
