#include "history/civil_time.h"

namespace tavelin {

namespace {

// Writes value with at least width digits (value >= 0).
char* writeNumber(char* out, std::int64_t value, int width)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int pad = count; pad < width; ++pad)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// "2026-10-25T01:30:00" for the wall milliseconds; returns the end.
char* writeDateTime(char* out, std::int64_t wallMs)
{
    const std::int64_t days = floorDiv(wallMs, kMsPerDay);
    const std::int64_t secondOfDay = (wallMs - days * kMsPerDay) / 1000;
    const CivilDate date = civilFromDays(days);
    if (date.year < 0)
        *out++ = '-';
    out = writeNumber(out, date.year < 0 ? -std::int64_t(date.year) : date.year, 4);
    *out++ = '-';
    out = writeNumber(out, date.month, 2);
    *out++ = '-';
    out = writeNumber(out, date.day, 2);
    *out++ = 'T';
    out = writeNumber(out, secondOfDay / 3600, 2);
    *out++ = ':';
    out = writeNumber(out, secondOfDay / 60 % 60, 2);
    *out++ = ':';
    return writeNumber(out, secondOfDay % 60, 2);
}

} // namespace

// After Howard Hinnant's days_from_civil and civil_from_days: eras of 400
// years, each starting on 1 March so that the leap day ends the year.
std::int64_t daysFromCivil(const CivilDate& date)
{
    const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = floorDiv(days, 146097);
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153; // 0 = March
    CivilDate date;
    date.day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = int(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

int isoWeekday(std::int64_t days)
{
    // 1970-01-01 was a Thursday.
    return int((days % 7 + 7 + 3) % 7) + 1;
}

int writeIsoUtc(char* out, std::int64_t utcMs)
{
    char* end = writeDateTime(out, utcMs);
    *end++ = '.';
    end = writeNumber(end, utcMs - floorDiv(utcMs, 1000) * 1000, 3);
    *end++ = 'Z';
    return int(end - out);
}

int writeIsoLocal(char* out, std::int64_t wallMs, int offsetSeconds)
{
    char* end = writeDateTime(out, wallMs);
    *end++ = offsetSeconds < 0 ? '-' : '+';
    const int magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    end = writeNumber(end, magnitude / 3600, 2);
    *end++ = ':';
    end = writeNumber(end, magnitude / 60 % 60, 2);
    return int(end - out);
}

} // namespace tavelin
