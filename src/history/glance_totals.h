#pragma once
// How much flowed today, yesterday, this month and last month (local time),
// for the context menu and --show-totals: each a sum of whole intervals.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace tavelin {

class IntervalSource;

struct GlanceTotals {
    double todayLiters = 0.0;
    double yesterdayLiters = 0.0;
    double thisMonthLiters = 0.0;
    double lastMonthLiters = 0.0;
};

// Nothing when the source cannot be read.
std::optional<GlanceTotals> glanceTotals(IntervalSource& source, std::int64_t nowMs);

// "Today: 1,234.5 L · Yesterday: 2,345.6 L", in the locale's numbers.
QString todayLine(const GlanceTotals& totals, const QLocale& locale = QLocale());
// "This month: 12,345.6 L · Last month: 23,456.7 L".
QString monthLine(const GlanceTotals& totals, const QLocale& locale = QLocale());

} // namespace tavelin
