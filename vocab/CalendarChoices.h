#pragma once

#include <QString>

/// @file
/// Display texts for a month and a year stored as small numbers. Entry 0 of
/// each array is "not set", so a stored 0 shows as a missing value. The arrays
/// are built before main() and never change, so any thread may read them.

/// Indexed by month number, 1 = "January" ... 12 = "December".
extern const QString MonthChoices[13];

/// Indexed by the year's offset from 2000, 1 = "2001" ... 20 = "2020".
extern const QString YearChoices[21];

/// The entry for a stored month number; numbers outside 0..12 read "not set".
const QString& MonthChoice(int month);

/// The entry for a stored year offset from 2000 (never the full year);
/// offsets outside 0..20 read "not set".
const QString& YearChoice(int yearOffset);
