#include "history/glance_totals.h"

#include "history/interval_source.h"
#include "history/local_periods.h"

#include <QCoreApplication>

namespace tavelin {

namespace {

bool litersIn(IntervalSource& source, const Period& period, double* liters)
{
    FlowSums sums;
    if (!source.sumOf(period.startUtcMs, period.endUtcMs, &sums))
        return false;
    *liters = sums.liters;
    return true;
}

QString litersText(double liters, const QLocale& locale)
{
    return QCoreApplication::translate("history", "%1 L").arg(locale.toString(liters, 'f', 1));
}

} // namespace

std::optional<GlanceTotals> glanceTotals(IntervalSource& source, std::int64_t nowMs)
{
    const Period today = periodContaining(PeriodKind::Day, nowMs);
    const Period thisMonth = periodContaining(PeriodKind::Month, nowMs);
    GlanceTotals totals;
    if (litersIn(source, today, &totals.todayLiters)
        && litersIn(source, periodBefore(PeriodKind::Day, today), &totals.yesterdayLiters)
        && litersIn(source, thisMonth, &totals.thisMonthLiters)
        && litersIn(source, periodBefore(PeriodKind::Month, thisMonth), &totals.lastMonthLiters))
        return totals;
    return std::nullopt;
}

QString todayLine(const GlanceTotals& totals, const QLocale& locale)
{
    return QCoreApplication::translate("history", "Today: %1 \u00b7 Yesterday: %2")
        .arg(litersText(totals.todayLiters, locale), litersText(totals.yesterdayLiters, locale));
}

QString monthLine(const GlanceTotals& totals, const QLocale& locale)
{
    return QCoreApplication::translate("history", "This month: %1 \u00b7 Last month: %2")
        .arg(litersText(totals.thisMonthLiters, locale), litersText(totals.lastMonthLiters, locale));
}

} // namespace tavelin
