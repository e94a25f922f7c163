#include "platform/qt/store_intervals.h"

#include "history/quarter_hour.h"
#include "platform/qt/sqlite_reading_statements.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace tavelin {

namespace {
const char kBuiltUpTo[] = "intervals_built_up_to";
const char kBuildUntil[] = "intervals_build_until";
} // namespace

StoreIntervals::StoreIntervals(const QSqlDatabase& db) : db_(db), statements_(db) {}

bool StoreIntervals::exec(const QString& statement)
{
    QSqlQuery query(db_);
    if (query.exec(statement))
        return true;
    error_ = reasonOf(query.lastError());
    return false;
}

bool StoreIntervals::setUp()
{
    error_.clear();
    if (!statements_.exists()) {
        if (!statements_.error().isEmpty() || !statements_.create())
            return false;
        // The readings already stored are counted by the build, those to come
        // as they are stored.
        if (!exec(QStringLiteral("INSERT INTO store_info SELECT '%1', IFNULL(MIN(seq), 1) - 1 FROM readings")
                      .arg(QLatin1String(kBuiltUpTo)))
            || !exec(QStringLiteral("INSERT INTO store_info SELECT '%1', IFNULL(MAX(seq), 0) FROM readings")
                         .arg(QLatin1String(kBuildUntil))))
            return false;
    }
    return readProgress();
}

bool StoreIntervals::readProgress()
{
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT key, value FROM store_info WHERE key IN ('%1', '%2')")
                        .arg(QLatin1String(kBuiltUpTo), QLatin1String(kBuildUntil)))) {
        error_ = reasonOf(query.lastError());
        return false;
    }
    builtUpTo_ = buildUntil_ = 0;
    while (query.next()) {
        if (query.value(0).toString() == QLatin1String(kBuiltUpTo))
            builtUpTo_ = query.value(1).toLongLong();
        else
            buildUntil_ = query.value(1).toLongLong();
    }
    return true;
}

bool StoreIntervals::add(const StoredReading& reading, double fallbackK)
{
    error_.clear();
    if (reading.pulsesPerLiter > 0.0)
        return statements_.add(reading);
    StoredReading counted = reading;
    counted.pulsesPerLiter = fallbackK;
    return statements_.add(counted);
}

bool StoreIntervals::buildStep(double fallbackK, bool* more)
{
    error_.clear();
    *more = false;
    if (!building())
        return true;
    const std::int64_t upTo = std::min(buildUntil_, builtUpTo_ + kBuildStepReadings);
    if (!statements_.addReadings(builtUpTo_, upTo, fallbackK))
        return false;
    const bool done = upTo >= buildUntil_;
    const bool noted = done ? exec(QStringLiteral("DELETE FROM store_info WHERE key IN ('%1', '%2')")
                                       .arg(QLatin1String(kBuiltUpTo), QLatin1String(kBuildUntil)))
                            : exec(QStringLiteral("UPDATE store_info SET value = %1 WHERE key = '%2'")
                                       .arg(upTo)
                                       .arg(QLatin1String(kBuiltUpTo)));
    if (!noted)
        return false;
    builtUpTo_ = done ? 0 : upTo;
    if (done)
        buildUntil_ = 0;
    *more = !done;
    return true;
}

int StoreIntervals::removeOlderThan(std::int64_t utcMs, int maxRows, std::int64_t* lastStart, QByteArray* lastSeal)
{
    error_.clear();
    *lastStart = 0;
    lastSeal->clear();
    QSqlQuery last(db_);
    last.prepare(QStringLiteral("SELECT start_utc_ms, seal FROM (SELECT start_utc_ms, seal FROM intervals "
                                "WHERE start_utc_ms <= ? ORDER BY start_utc_ms LIMIT ?) "
                                "ORDER BY start_utc_ms DESC LIMIT 1"));
    last.addBindValue(static_cast<qint64>(utcMs - kQuarterHourMs));
    last.addBindValue(maxRows);
    if (!last.exec()) {
        error_ = reasonOf(last.lastError());
        return 0;
    }
    if (!last.next())
        return 0;
    *lastStart = last.value(0).toLongLong();
    *lastSeal = last.value(1).toByteArray();
    return statements_.removeOlderThan(utcMs, maxRows);
}

std::int64_t StoreIntervals::newestStart()
{
    QSqlQuery query(db_);
    return query.exec(QStringLiteral("SELECT MAX(start_utc_ms) FROM intervals")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

std::int64_t StoreIntervals::buildThroughQuarter()
{
    if (!building())
        return 0;
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT utc_ms FROM readings WHERE seq = ?"));
    query.addBindValue(static_cast<qint64>(buildUntil_));
    return query.exec() && query.next() ? quarterHourFloor(query.value(0).toLongLong()) : 0;
}

bool StoreIntervals::seal(std::int64_t start, const std::function<QByteArray(const QVector<QVariant>&)>& sealer)
{
    error_.clear();
    QSqlQuery row(db_);
    row.prepare(QStringLiteral("SELECT start_utc_ms, liters, centipulses, readings, min_flow, max_flow, sum_flow "
                               "FROM intervals WHERE start_utc_ms = ?"));
    row.addBindValue(static_cast<qint64>(start));
    if (!row.exec()) {
        error_ = reasonOf(row.lastError());
        return false;
    }
    if (!row.next())
        return true; // removed already
    QVector<QVariant> values(7);
    for (int i = 0; i < values.size(); ++i)
        values[i] = row.value(i);
    row.finish();
    QSqlQuery update(db_);
    update.prepare(QStringLiteral("UPDATE intervals SET seal = ? WHERE start_utc_ms = ?"));
    update.addBindValue(sealer(values));
    update.addBindValue(static_cast<qint64>(start));
    if (update.exec())
        return true;
    error_ = reasonOf(update.lastError());
    return false;
}

} // namespace tavelin
