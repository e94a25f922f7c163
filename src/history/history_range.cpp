#include "history/history_range.h"

namespace tavelin {

HistoryRange historyRange(HistoryScale scale, std::int64_t anchorMs)
{
    switch (scale) {
    case HistoryScale::HoursOfDay:
        return {periodContaining(PeriodKind::Day, anchorMs), PeriodKind::Hour};
    case HistoryScale::DaysOfMonth:
        return {periodContaining(PeriodKind::Month, anchorMs), PeriodKind::Day};
    case HistoryScale::MonthsOfYear:
        return {periodContaining(PeriodKind::Year, anchorMs), PeriodKind::Month};
    case HistoryScale::Years:
        break;
    }
    Period years = periodContaining(PeriodKind::Year, anchorMs);
    const std::int64_t end = years.endUtcMs;
    for (int i = 1; i < kYearsShown; ++i)
        years = periodBefore(PeriodKind::Year, years);
    return {{years.startUtcMs, end}, PeriodKind::Year};
}

HistoryRange steppedRange(HistoryScale scale, const HistoryRange& shown, int step)
{
    return historyRange(scale, step < 0 ? shown.range.startUtcMs - 1 : shown.range.endUtcMs);
}

} // namespace tavelin
