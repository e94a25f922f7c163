#pragma once
// Calendar arithmetic on plain numbers (the proleptic Gregorian calendar,
// days since 1970-01-01), and ISO 8601 text written straight into a buffer:
// fast enough to stamp every row of a large export, and the same whatever
// the locale.

#include <cstdint>

namespace tavelin {

constexpr std::int64_t kMsPerDay = 86400000;

struct CivilDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
};

// a / b rounded toward minus infinity (b > 0).
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b) < 0 ? 1 : 0);
}

std::int64_t daysFromCivil(const CivilDate& date);
CivilDate civilFromDays(std::int64_t days);
// 1 for Monday up to 7 for Sunday, as ISO 8601 counts.
int isoWeekday(std::int64_t days);

// The longest text the writers below produce, with room to spare.
constexpr int kIsoTextMax = 40;

// "2026-10-25T01:30:00.250Z": a UTC time with milliseconds. Returns the
// number of characters written (no terminating zero).
int writeIsoUtc(char* out, std::int64_t utcMs);
// "2026-10-25T02:00:00+01:00": the wall-clock time wallMs (milliseconds of
// the local calendar counted as if it were UTC) with its UTC offset.
int writeIsoLocal(char* out, std::int64_t wallMs, int offsetSeconds);

} // namespace tavelin
