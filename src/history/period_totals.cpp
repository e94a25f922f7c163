#include "history/period_totals.h"

#include "history/interval_source.h"

#include <algorithm>
#include <utility>

namespace tavelin {

namespace {

Period cut(const Period& period, std::int64_t fromMs, std::int64_t toMs)
{
    return {std::max(period.startUtcMs, fromMs), std::min(period.endUtcMs, toMs)};
}

} // namespace

double PeriodRow::coveragePercent() const
{
    const std::int64_t seconds = period.seconds();
    return seconds > 0 ? 100.0 * double(sums.readings) / double(seconds) : 0.0;
}

bool periodRows(IntervalSource& source, PeriodKind kind, std::int64_t fromMs, std::int64_t toMs,
                QVector<PeriodRow>* rows)
{
    rows->clear();
    for (Period whole = periodContaining(kind, fromMs); std::max(whole.startUtcMs, fromMs) < toMs;
         whole = periodAfter(kind, whole)) {
        PeriodRow row;
        row.period = cut(whole, fromMs, toMs);
        if (!source.sumOf(row.period.startUtcMs, row.period.endUtcMs, &row.sums))
            return false;
        rows->append(row);
    }
    return true;
}

PeriodStream::PeriodStream(PeriodKind kind, std::int64_t fromMs, std::int64_t toMs,
                           std::function<bool(const PeriodRow&)> emit)
    : kind_(kind), fromMs_(fromMs), toMs_(toMs), emit_(std::move(emit))
{
    openAt(fromMs_);
}

void PeriodStream::openAt(std::int64_t utcMs)
{
    whole_ = periodContaining(kind_, utcMs);
    current_ = PeriodRow();
    current_.period = cut(whole_, fromMs_, toMs_);
}

// Emits every row that ends at or before utcMs, empty ones included.
bool PeriodStream::emitUpTo(std::int64_t utcMs)
{
    while (current_.period.startUtcMs < toMs_ && whole_.endUtcMs <= utcMs) {
        if (!emit_(current_))
            return false;
        openAt(whole_.endUtcMs);
    }
    return true;
}

bool PeriodStream::add(const QuarterHour& interval)
{
    if (interval.startUtcMs < current_.period.startUtcMs || interval.startUtcMs >= toMs_)
        return true; // outside the range, or out of order: not the stream's
    if (!emitUpTo(interval.startUtcMs))
        return false;
    current_.sums.add(interval);
    return true;
}

bool PeriodStream::finish()
{
    if (!emitUpTo(toMs_))
        return false;
    // The last row, cut at the range's end.
    if (current_.period.startUtcMs < toMs_) {
        const PeriodRow last = current_;
        current_.period.startUtcMs = toMs_;
        return emit_(last);
    }
    return true;
}

} // namespace tavelin
