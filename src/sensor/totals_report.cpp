#include "sensor/totals_report.h"

#include "history/glance_totals.h"
#include "platform/readings_store.h"
#include "sensor/store_recorder.h"

#include <QDateTime>
#include <QLocale>
#include <QTextStream>

#include <optional>

namespace tavelin {

QString centipulsesText(std::int64_t centipulses)
{
    // Whole and hundredths apart, so no large meter loses a digit to a double.
    const bool negative = centipulses < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(centipulses)
                                             : static_cast<std::uint64_t>(centipulses);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(static_cast<qulonglong>(magnitude / 100))
        .arg(static_cast<qulonglong>(magnitude % 100), 2, 10, QLatin1Char('0'));
}

QString totalsReport(ReadingsStore* store, double pulsesPerLiter, IntervalSource* intervals, std::int64_t nowMs)
{
    const bool open = store && store->isOpen();
    const std::optional<StoredReading> newest = open ? store->newest() : std::nullopt;
    const std::int64_t meter = newest ? newest->meterCentipulses : 0;
    const QLocale c = QLocale::c();

    QString text;
    QTextStream out(&text);
    out << "meter_pulses=" << centipulsesText(meter) << '\n';
    const double meterLiters = newest ? meterLitersOf(*newest, pulsesPerLiter) : 0.0;
    out << "meter_liters=" << c.toString(meterLiters, 'f', 2) << '\n';
    out << "total_liters=" << c.toString(newest ? newest->totalLiters : 0.0, 'f', 2) << '\n';
    out << "pulses_per_liter=" << c.toString(pulsesPerLiter, 'f', QLocale::FloatingPointShortest) << '\n';
    out << "last_reading=";
    if (newest)
        out << QDateTime::fromMSecsSinceEpoch(newest->utcMs, Qt::UTC).toString(Qt::ISODateWithMs);
    out << '\n';
    out << "readings=" << (open ? store->readingCount() : 0) << '\n';
    if (const std::optional<GlanceTotals> glance = intervals ? glanceTotals(*intervals, nowMs) : std::nullopt) {
        out << "today_liters=" << c.toString(glance->todayLiters, 'f', 2) << '\n';
        out << "yesterday_liters=" << c.toString(glance->yesterdayLiters, 'f', 2) << '\n';
        out << "this_month_liters=" << c.toString(glance->thisMonthLiters, 'f', 2) << '\n';
        out << "last_month_liters=" << c.toString(glance->lastMonthLiters, 'f', 2) << '\n';
    }
    out << "store_id=" << (open ? store->storeId() : QString()) << '\n';
    out << "seq=" << (newest ? newest->seq : 0) << '\n';
    out << "seal=" << (newest ? QString::fromLatin1(newest->seal.toHex()) : QString()) << '\n';
    out << "events=" << (open ? store->eventCount() : 0) << '\n';
    out.flush();
    return text;
}

} // namespace tavelin
