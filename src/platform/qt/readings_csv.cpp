#include "platform/qt/readings_csv.h"

#include "history/civil_time.h"
#include "history/csv_writer.h"
#include "platform/qt/sqlite_reading_statements.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <limits>

namespace tavelin {

namespace {

// The readings table's columns that a store made before them lacks.
QStringList readingsColumns(const QSqlDatabase& db)
{
    QStringList columns;
    QSqlQuery info(db);
    info.exec(QStringLiteral("PRAGMA table_info(readings)"));
    while (info.next())
        columns << info.value(1).toString();
    return columns;
}

QString selectStatement(const QSqlDatabase& db, bool ranged)
{
    const QStringList columns = readingsColumns(db);
    const auto orNull = [&columns](const char* name) {
        return columns.contains(QLatin1String(name)) ? QString::fromLatin1(name) : QStringLiteral("NULL");
    };
    // By time over a range, through the index on utc_ms (which holds seq):
    // no sorting, so memory stays flat.
    return QStringLiteral("SELECT seq, utc_ms, frequency, liters_per_min, total_liters, meter_centipulses, %1, %2 "
                          "FROM readings %3")
        .arg(orNull("pulses_per_liter"), orNull("meter_liters"),
             ranged ? QStringLiteral("WHERE utc_ms >= ? AND utc_ms < ? ORDER BY utc_ms, seq")
                    : QStringLiteral("ORDER BY seq"));
}

void writeRow(CsvWriter& csv, const QSqlQuery& row, double pulsesPerLiter)
{
    char utc[kIsoTextMax];
    csv.integer(row.value(0).toLongLong());
    csv.text(utc, writeIsoUtc(utc, row.value(1).toLongLong()));
    csv.number(row.value(2).toDouble(), 2);
    csv.number(row.value(3).toDouble(), 2);
    csv.number(row.value(4).toDouble(), 2);
    const QVariant meterLiters = row.value(7);
    if (!meterLiters.isNull()) {
        csv.number(meterLiters.toDouble(), 3);
    } else {
        const double k = row.value(6).toDouble();
        csv.number(double(row.value(5).toLongLong()) / 100.0 / (k > 0.0 ? k : pulsesPerLiter), 3);
    }
    csv.endRow();
}

} // namespace

void writeReadingsHeader(CsvWriter& csv)
{
    for (const char* name : {"seq", "utc", "frequency_hz", "flow_l_min", "total_l", "meter_l"})
        csv.text(name, int(qstrlen(name)));
    csv.endRow();
}

bool writeReadings(const QSqlDatabase& db, std::optional<std::int64_t> fromMs, std::optional<std::int64_t> toMs,
                   double pulsesPerLiter, CsvWriter& csv, QString* error)
{
    writeReadingsHeader(csv);

    const bool ranged = fromMs || toMs;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(selectStatement(db, ranged))) {
        *error = reasonOf(query.lastError());
        return false;
    }
    if (ranged) {
        query.addBindValue(static_cast<qint64>(fromMs.value_or(std::numeric_limits<std::int64_t>::min())));
        query.addBindValue(static_cast<qint64>(toMs.value_or(std::numeric_limits<std::int64_t>::max())));
    }
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    while (query.next() && !csv.failed())
        writeRow(csv, query, pulsesPerLiter);
    if (query.lastError().isValid()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    if (!csv.flush()) {
        *error = csv.errorString();
        return false;
    }
    return true;
}

} // namespace tavelin
