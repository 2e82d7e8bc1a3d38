#pragma once

#include <QStringList>

/// @file
/// Display names of trace header fields, in a fixed order: an entry's index
/// is its position in the list. The two lists are independent of each other;
/// the same index does not name the same field in both.
///
/// Each list is built once, on first use, and every call returns a copy
/// (implicitly shared), so both functions may be called from any thread.

/// 80 names, starting with "Byte position"; some carry their units.
QStringList TraceHeaderLongNames();

/// 76 names used as choices, starting with "None".
QStringList TraceHeaderShortNames();
