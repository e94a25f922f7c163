#include "platform/qt/store_intervals.h"

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

} // namespace tavelin
