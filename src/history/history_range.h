#pragma once
// What the History window shows at once: the hours of a day, the days of a
// month, the months of a year, or ten years, each holding a given instant;
// and the range before or after it.

#include "history/local_periods.h"

namespace tavelin {

enum class HistoryScale { HoursOfDay, DaysOfMonth, MonthsOfYear, Years };

// Ten years at once: as long as intervals are kept by default.
constexpr int kYearsShown = 10;

struct HistoryRange {
    Period range;    // whole periods of kind
    PeriodKind kind; // of the bars and rows
};

// The range holding anchorMs; of years, the ten up to anchorMs's year.
HistoryRange historyRange(HistoryScale scale, std::int64_t anchorMs);
// The range before (step < 0) or after (step > 0) the shown one.
HistoryRange steppedRange(HistoryScale scale, const HistoryRange& shown, int step);

} // namespace tavelin
