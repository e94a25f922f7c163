#include "history/local_periods.h"

#include "history/civil_time.h"
#include "history/quarter_hour.h"

#include <QDateTime>
#include <QStringList>

namespace tavelin {

namespace {

constexpr std::int64_t kHourMs = 3600000;
// Wider than any change of a UTC offset (two hours, in Antarctica/Troll).
constexpr std::int64_t kChangeWindowMs = 3 * kHourMs;

const char* const kKindNames[] = {"quarter-hours", "hours", "days", "weeks", "months", "years"};

// The local wall-clock time of the instant, in milliseconds counted as if it were UTC.
std::int64_t wallOf(std::int64_t utcMs)
{
    return utcMs + std::int64_t(localOffsetSeconds(utcMs)) * 1000;
}

// The wall-clock start of the day, week, month or year holding the wall time.
std::int64_t wallStart(PeriodKind kind, std::int64_t wallMs)
{
    const std::int64_t days = floorDiv(wallMs, kMsPerDay);
    CivilDate date = civilFromDays(days);
    switch (kind) {
    case PeriodKind::Week:
        return (days - (isoWeekday(days) - 1)) * kMsPerDay;
    case PeriodKind::Month:
        date.day = 1;
        return daysFromCivil(date) * kMsPerDay;
    case PeriodKind::Year:
        date.day = 1;
        date.month = 1;
        return daysFromCivil(date) * kMsPerDay;
    default:
        return days * kMsPerDay;
    }
}

std::int64_t nextWallStart(PeriodKind kind, std::int64_t wallStartMs)
{
    CivilDate date = civilFromDays(floorDiv(wallStartMs, kMsPerDay));
    switch (kind) {
    case PeriodKind::Week:
        return wallStartMs + 7 * kMsPerDay;
    case PeriodKind::Month:
        date.year += date.month == 12 ? 1 : 0;
        date.month = date.month % 12 + 1;
        return daysFromCivil(date) * kMsPerDay;
    case PeriodKind::Year:
        date.year += 1;
        return daysFromCivil(date) * kMsPerDay;
    default:
        return wallStartMs + kMsPerDay;
    }
}

// The first quarter hour at which the local clock reads wallMs or later.
std::int64_t firstReaching(std::int64_t wallMs)
{
    // The offset at the guess is the one in force there, unless a change of
    // offset lies between the guess and the instant sought.
    const std::int64_t rough = wallMs - std::int64_t(localOffsetSeconds(wallMs)) * 1000;
    const std::int64_t guess = quarterHourFloor(wallMs - std::int64_t(localOffsetSeconds(rough)) * 1000);
    if (localOffsetSeconds(guess - kChangeWindowMs) == localOffsetSeconds(guess) && wallOf(guess) >= wallMs
        && wallOf(guess - kQuarterHourMs) < wallMs)
        return guess;
    // A change nearby: the clock may skip the time, or read it twice.
    for (std::int64_t q = guess - kChangeWindowMs; q <= guess + kChangeWindowMs; q += kQuarterHourMs) {
        if (wallOf(q) >= wallMs)
            return q;
    }
    return guess;
}

Period hourContaining(std::int64_t quarter)
{
    const int offset = localOffsetSeconds(quarter);
    const std::int64_t wall = quarter + std::int64_t(offset) * 1000;
    Period hour;
    hour.startUtcMs = floorDiv(wall, kHourMs) * kHourMs - std::int64_t(offset) * 1000;
    hour.endUtcMs = hour.startUtcMs + kHourMs;
    // Cut where the offset changes: each part of the hour keeps its own.
    std::int64_t start = quarter;
    while (start > hour.startUtcMs && localOffsetSeconds(start - kQuarterHourMs) == offset)
        start -= kQuarterHourMs;
    std::int64_t end = quarter + kQuarterHourMs;
    while (end < hour.endUtcMs && localOffsetSeconds(end) == offset)
        end += kQuarterHourMs;
    return {start, end};
}

Period calendarPeriodContaining(PeriodKind kind, std::int64_t quarter)
{
    std::int64_t wall = wallStart(kind, wallOf(quarter));
    Period period{firstReaching(wall), firstReaching(nextWallStart(kind, wall))};
    if (period.endUtcMs <= quarter) {
        // The clock went back across the boundary: the time it reads twice
        // belongs to the period it reached first.
        wall = nextWallStart(kind, wall);
        period = {period.endUtcMs, firstReaching(nextWallStart(kind, wall))};
    }
    return period;
}

} // namespace

int localOffsetSeconds(std::int64_t utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
}

Period periodContaining(PeriodKind kind, std::int64_t utcMs)
{
    const std::int64_t quarter = quarterHourFloor(utcMs);
    switch (kind) {
    case PeriodKind::QuarterHour:
        return {quarter, quarter + kQuarterHourMs};
    case PeriodKind::Hour:
        return hourContaining(quarter);
    default:
        return calendarPeriodContaining(kind, quarter);
    }
}

Period periodAfter(PeriodKind kind, const Period& period)
{
    return periodContaining(kind, period.endUtcMs);
}

Period periodBefore(PeriodKind kind, const Period& period)
{
    return periodContaining(kind, period.startUtcMs - 1);
}

std::int64_t localDayStart(const CivilDate& date)
{
    return firstReaching(daysFromCivil(date) * kMsPerDay);
}

std::int64_t utcOfLocalWall(std::int64_t wallMs)
{
    const std::int64_t near = wallMs - std::int64_t(localOffsetSeconds(wallMs)) * 1000;
    std::optional<std::int64_t> first;
    for (std::int64_t probe : {near - kChangeWindowMs, near, near + kChangeWindowMs}) {
        const std::int64_t utcMs = wallMs - std::int64_t(localOffsetSeconds(probe)) * 1000;
        if (wallOf(utcMs) == wallMs && (!first || utcMs < *first))
            first = utcMs;
    }
    return first ? *first : firstReaching(wallMs);
}

int writeLocalIso(char* out, std::int64_t utcMs)
{
    const int offset = localOffsetSeconds(utcMs);
    return writeIsoLocal(out, utcMs + std::int64_t(offset) * 1000, offset);
}

QString localIsoText(std::int64_t utcMs)
{
    char text[kIsoTextMax];
    return QString::fromLatin1(text, writeLocalIso(text, utcMs));
}

QString periodKindName(PeriodKind kind)
{
    return QString::fromLatin1(kKindNames[int(kind)]);
}

std::optional<PeriodKind> periodKindNamed(const QString& name)
{
    for (int kind = 0; kind <= int(PeriodKind::Year); ++kind) {
        if (name == QLatin1String(kKindNames[kind]))
            return PeriodKind(kind);
    }
    return std::nullopt;
}

} // namespace tavelin
