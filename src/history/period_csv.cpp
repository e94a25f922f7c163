#include "history/period_csv.h"

#include "history/civil_time.h"
#include "history/csv_writer.h"
#include "history/interval_source.h"
#include "history/period_totals.h"

namespace tavelin {

namespace {

void writeLocalTime(CsvWriter& csv, std::int64_t utcMs)
{
    char text[kIsoTextMax];
    csv.text(text, writeLocalIso(text, utcMs));
}

} // namespace

void writePeriodHeader(CsvWriter& csv)
{
    for (const char* name : {"start", "end", "liters", "readings", "coverage_percent", "min_flow_l_min",
                             "mean_flow_l_min", "max_flow_l_min"})
        csv.text(name, int(qstrlen(name)));
    csv.endRow();
}

void writePeriodRow(CsvWriter& csv, const PeriodRow& row)
{
    writeLocalTime(csv, row.period.startUtcMs);
    writeLocalTime(csv, row.period.endUtcMs);
    csv.number(row.sums.liters, 3);
    csv.integer(row.sums.readings);
    csv.number(row.coveragePercent(), 1);
    if (row.sums.readings > 0) {
        csv.number(row.sums.minFlow, 2);
        csv.number(row.sums.meanFlow(), 2);
        csv.number(row.sums.maxFlow, 2);
    } else {
        csv.empty();
        csv.empty();
        csv.empty();
    }
    csv.endRow();
}

bool writePeriods(IntervalSource& source, PeriodKind kind, std::optional<std::int64_t> fromMs,
                  std::optional<std::int64_t> toMs, CsvWriter& csv, QString* error)
{
    writePeriodHeader(csv);
    std::optional<Period> span;
    if ((!fromMs || !toMs) && !source.span(&span)) {
        *error = source.lastError();
        return false;
    }
    if (!span && (!fromMs || !toMs)) { // nothing kept: the header alone
        if (csv.flush())
            return true;
        *error = csv.errorString();
        return false;
    }
    const std::int64_t from = fromMs ? quarterHourFloor(*fromMs) : periodContaining(kind, span->startUtcMs).startUtcMs;
    const std::int64_t to = toMs ? quarterHourFloor(*toMs) : periodContaining(kind, span->endUtcMs - 1).endUtcMs;
    PeriodStream stream(kind, from, to, [&csv](const PeriodRow& row) {
        writePeriodRow(csv, row);
        return !csv.failed();
    });
    bool read = source.forEach(from, to, [&stream](const QuarterHour& interval) { return stream.add(interval); });
    const bool written = read && stream.finish() && csv.flush();
    if (!read)
        *error = csv.failed() ? csv.errorString() : source.lastError();
    else if (!written)
        *error = csv.errorString();
    return written;
}

} // namespace tavelin
