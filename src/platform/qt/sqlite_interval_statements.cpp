#include "platform/qt/sqlite_interval_statements.h"

#include "platform/qt/sqlite_reading_statements.h"

#include <QSqlError>
#include <QVariant>

#include <cmath>

namespace tavelin {

namespace {

const char kCreate[] =
    "CREATE TABLE IF NOT EXISTS intervals(start_utc_ms INTEGER PRIMARY KEY, liters REAL NOT NULL, "
    "centipulses INTEGER NOT NULL, readings INTEGER NOT NULL, min_flow REAL NOT NULL, max_flow REAL NOT NULL, "
    "sum_flow REAL NOT NULL, seal BLOB)";

// What an interval already there takes from the row that would have been new.
const char kMerge[] =
    " ON CONFLICT(start_utc_ms) DO UPDATE SET liters = liters + excluded.liters, "
    "centipulses = centipulses + excluded.centipulses, readings = readings + excluded.readings, "
    "min_flow = MIN(min_flow, excluded.min_flow), max_flow = MAX(max_flow, excluded.max_flow), "
    "sum_flow = sum_flow + excluded.sum_flow";

const char kColumns[] = "start_utc_ms, liters, centipulses, readings, min_flow, max_flow, sum_flow";

} // namespace

SqliteIntervalStatements::SqliteIntervalStatements(const QSqlDatabase& db)
    : db_(db), add_(db), sum_(db), range_(db)
{
}

QString SqliteIntervalStatements::createStatement()
{
    return QLatin1String(kCreate);
}

bool SqliteIntervalStatements::prepared(QSqlQuery& query, const QString& statement)
{
    error_.clear();
    if (query.isActive() || !query.lastQuery().isEmpty())
        return true;
    query.setForwardOnly(true);
    return query.prepare(statement) || failed(query);
}

bool SqliteIntervalStatements::failed(QSqlQuery& query)
{
    error_ = reasonOf(query.lastError());
    if (!query.isActive()) // a statement that never ran is prepared again next time
        query = QSqlQuery(db_);
    return false;
}

bool SqliteIntervalStatements::create()
{
    QSqlQuery query(db_);
    error_.clear();
    return query.exec(createStatement()) || failed(query);
}

bool SqliteIntervalStatements::exists()
{
    QSqlQuery query(db_);
    error_.clear();
    if (!query.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'intervals'")))
        return failed(query);
    return query.next();
}

bool SqliteIntervalStatements::add(const StoredReading& reading)
{
    if (!(reading.pulsesPerLiter > 0.0)) {
        error_ = QStringLiteral("the reading carries no K-factor");
        return false;
    }
    if (!prepared(add_, QStringLiteral("INSERT INTO intervals(%1) VALUES (?, ?, ?, 1, ?, ?, ?)%2")
                            .arg(QLatin1String(kColumns), QLatin1String(kMerge))))
        return false;
    const std::int64_t centipulses = std::llround(reading.frequency * 100.0);
    add_.bindValue(0, static_cast<qint64>(quarterHourFloor(reading.utcMs)));
    add_.bindValue(1, double(centipulses) / 100.0 / reading.pulsesPerLiter);
    add_.bindValue(2, static_cast<qint64>(centipulses));
    add_.bindValue(3, reading.litersPerMin);
    add_.bindValue(4, reading.litersPerMin);
    add_.bindValue(5, reading.litersPerMin);
    const bool done = add_.exec() || failed(add_);
    add_.finish();
    return done;
}

bool SqliteIntervalStatements::readingsHaveColumn(const QString& column)
{
    QSqlQuery info(db_);
    info.exec(QStringLiteral("PRAGMA table_info(readings)"));
    while (info.next()) {
        if (info.value(1).toString() == column)
            return true;
    }
    return false;
}

bool SqliteIntervalStatements::addReadings(std::int64_t afterSeq, std::int64_t upToSeq, double pulsesPerLiter)
{
    error_.clear();
    if (!(pulsesPerLiter > 0.0)) {
        error_ = QStringLiteral("no K-factor for readings that carry none");
        return false;
    }
    // Readings stored before they carried a K-factor count at the one given.
    const QString k = readingsHaveColumn(QStringLiteral("pulses_per_liter"))
                          ? QStringLiteral("COALESCE(NULLIF(pulses_per_liter, 0), :k)")
                          : QStringLiteral(":k");
    // SQLite reads ON CONFLICT after a bare FROM as a join's ON: the WHERE
    // clause keeps the two apart.
    QSqlQuery query(db_);
    const bool ready = query.prepare(
        QStringLiteral("INSERT INTO intervals(%1) "
                       "SELECT utc_ms - ((utc_ms % 900000) + 900000) % 900000 AS quarter, "
                       "SUM(ROUND(frequency * 100) / 100.0 / %2), SUM(CAST(ROUND(frequency * 100) AS INTEGER)), "
                       "COUNT(*), MIN(liters_per_min), MAX(liters_per_min), SUM(liters_per_min) "
                       "FROM readings WHERE seq > :after AND seq <= :upTo GROUP BY quarter%3")
            .arg(QLatin1String(kColumns), k, QLatin1String(kMerge)));
    if (!ready)
        return failed(query);
    query.bindValue(QStringLiteral(":k"), pulsesPerLiter);
    query.bindValue(QStringLiteral(":after"), static_cast<qint64>(afterSeq));
    query.bindValue(QStringLiteral(":upTo"), static_cast<qint64>(upToSeq));
    return query.exec() || failed(query);
}

int SqliteIntervalStatements::removeOlderThan(std::int64_t utcMs, int maxRows)
{
    error_.clear();
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("DELETE FROM intervals WHERE start_utc_ms IN (SELECT start_utc_ms FROM intervals "
                                 "WHERE start_utc_ms <= ? ORDER BY start_utc_ms LIMIT ?)"));
    query.addBindValue(static_cast<qint64>(utcMs - kQuarterHourMs));
    query.addBindValue(maxRows);
    if (query.exec())
        return query.numRowsAffected();
    failed(query);
    return 0;
}

bool SqliteIntervalStatements::sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums)
{
    *sums = FlowSums();
    if (!prepared(sum_, QStringLiteral("SELECT SUM(liters), SUM(centipulses), SUM(readings), MIN(min_flow), "
                                       "MAX(max_flow), SUM(sum_flow) FROM intervals "
                                       "WHERE start_utc_ms >= ? AND start_utc_ms < ?")))
        return false;
    sum_.bindValue(0, static_cast<qint64>(fromMs));
    sum_.bindValue(1, static_cast<qint64>(toMs));
    if (!sum_.exec())
        return failed(sum_);
    if (sum_.next() && !sum_.value(2).isNull()) {
        sums->liters = sum_.value(0).toDouble();
        sums->centipulses = sum_.value(1).toLongLong();
        sums->readings = sum_.value(2).toLongLong();
        sums->minFlow = sum_.value(3).toDouble();
        sums->maxFlow = sum_.value(4).toDouble();
        sums->sumFlow = sum_.value(5).toDouble();
    }
    sum_.finish();
    return true;
}

bool SqliteIntervalStatements::forEach(std::int64_t fromMs, std::int64_t toMs,
                                       const std::function<bool(const QuarterHour&)>& each)
{
    if (!prepared(range_, QStringLiteral("SELECT %1 FROM intervals WHERE start_utc_ms >= ? AND start_utc_ms < ? "
                                         "ORDER BY start_utc_ms")
                              .arg(QLatin1String(kColumns))))
        return false;
    range_.bindValue(0, static_cast<qint64>(fromMs));
    range_.bindValue(1, static_cast<qint64>(toMs));
    if (!range_.exec())
        return failed(range_);
    QuarterHour interval;
    bool going = true;
    while (going && range_.next()) {
        interval.startUtcMs = range_.value(0).toLongLong();
        interval.liters = range_.value(1).toDouble();
        interval.centipulses = range_.value(2).toLongLong();
        interval.readings = range_.value(3).toLongLong();
        interval.minFlow = range_.value(4).toDouble();
        interval.maxFlow = range_.value(5).toDouble();
        interval.sumFlow = range_.value(6).toDouble();
        going = each(interval);
    }
    const bool complete = !range_.lastError().isValid() || failed(range_);
    range_.finish();
    return complete;
}

bool SqliteIntervalStatements::span(std::optional<Period>* span)
{
    span->reset();
    QSqlQuery query(db_);
    error_.clear();
    if (!query.exec(QStringLiteral("SELECT MIN(start_utc_ms), MAX(start_utc_ms) FROM intervals")))
        return failed(query);
    if (query.next() && !query.value(0).isNull())
        *span = Period{query.value(0).toLongLong(), query.value(1).toLongLong() + kQuarterHourMs};
    return true;
}

} // namespace tavelin
