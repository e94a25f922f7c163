#pragma once
// Periods of the machine's local time (the TZ environment variable, else the
// system's zone): quarter hours, hours, days, ISO weeks from Monday, months
// and years, as UTC instants, always on whole quarter hours.
//
// A day, week, month or year starts at the first instant at which the local
// calendar has reached it: local midnight, or the end of a gap when the
// clocks skip midnight. Its length is real time, so a day across a change to
// or from summer time lasts 23 or 25 hours. An hour starts at a local :00 and
// keeps one UTC offset: the repeated hour of a change back to standard time
// is two hours, each with its own offset, and a change by half an hour cuts
// an hour short or long. Consecutive periods of a kind tile the time line:
// periodAfter(k, p).startUtcMs == p.endUtcMs.

#include <QString>

#include <cstdint>
#include <optional>

namespace tavelin {

struct CivilDate;

enum class PeriodKind { QuarterHour, Hour, Day, Week, Month, Year };

struct Period {
    std::int64_t startUtcMs = 0;
    std::int64_t endUtcMs = 0; // the next period's start

    std::int64_t seconds() const { return (endUtcMs - startUtcMs) / 1000; }
    bool operator==(const Period& other) const
    {
        return startUtcMs == other.startUtcMs && endUtcMs == other.endUtcMs;
    }
};

// The local time's offset from UTC at that instant, in seconds.
int localOffsetSeconds(std::int64_t utcMs);

Period periodContaining(PeriodKind kind, std::int64_t utcMs);
Period periodAfter(PeriodKind kind, const Period& period);
Period periodBefore(PeriodKind kind, const Period& period);

// The instant the local calendar reaches the date: the start of its day.
std::int64_t localDayStart(const CivilDate& date);
// The first instant at which the local clock reads the wall-clock time
// (milliseconds of the local calendar counted as if it were UTC): of a time
// read twice, the first; of a time the clock skips, the end of the gap.
std::int64_t utcOfLocalWall(std::int64_t wallMs);

// "2026-10-25T02:00:00+01:00": the local time of the instant with its offset.
QString localIsoText(std::int64_t utcMs);
// Writes the same into out (kIsoTextMax bytes) and returns its length.
int writeLocalIso(char* out, std::int64_t utcMs);

// "quarter-hours", "hours", "days", "weeks", "months", "years".
QString periodKindName(PeriodKind kind);
std::optional<PeriodKind> periodKindNamed(const QString& name);

} // namespace tavelin
