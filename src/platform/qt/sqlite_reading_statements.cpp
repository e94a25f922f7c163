#include "platform/qt/sqlite_reading_statements.h"

#include <QSqlError>
#include <QVariant>

namespace tavelin {

namespace {

const char kColumns[] =
    "seq, utc_ms, frequency, liters_per_min, pulse_total, total_liters, meter_centipulses, pulses_per_liter, "
    "meter_liters";
const char kColumnsWithoutK[] =
    "seq, utc_ms, frequency, liters_per_min, pulse_total, total_liters, meter_centipulses, 0, 0";
constexpr int kSealColumn = 9; // after the columns above

StoredReading readingFrom(const QSqlQuery& row)
{
    StoredReading reading;
    reading.seq = row.value(0).toLongLong();
    reading.utcMs = row.value(1).toLongLong();
    reading.frequency = row.value(2).toDouble();
    reading.litersPerMin = row.value(3).toDouble();
    reading.pulseTotal = row.value(4).toDouble();
    reading.totalLiters = row.value(5).toDouble();
    reading.meterCentipulses = row.value(6).toLongLong();
    // A reading stored before the K-factor was kept with it reads as K 0.
    reading.pulsesPerLiter = row.value(7).toDouble();
    reading.meterLiters = row.value(8).toDouble();
    reading.seal = row.value(kSealColumn).toByteArray();
    return reading;
}

} // namespace

QString reasonOf(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

SqliteReadingStatements::SqliteReadingStatements(const QSqlDatabase& db, bool withK, bool withSeal)
    : insert_(db), newest_(db), since_(db), after_(db), count_(db), oldest_(db), removeOld_(db), readInfo_(db),
      writeInfo_(db), insertAlarmEvent_(db), alarmEventsAfter_(db), newestAlarmEvent_(db), withK_(withK),
      withSeal_(withSeal)
{
}

bool SqliteReadingStatements::prepare()
{
    const QString seal = withSeal_ ? QStringLiteral("seal") : QStringLiteral("NULL");
    const QString columns = QLatin1String(withK_ ? kColumns : kColumnsWithoutK) + QStringLiteral(", ") + seal;
    const auto queries = {&insert_, &newest_, &since_, &after_, &count_, &oldest_, &removeOld_, &readInfo_, &writeInfo_};
    for (QSqlQuery* query : queries)
        query->setForwardOnly(true);
    // The newest row is never removed, so MAX(seq) + 1 carries the sequence
    // on across restarts and removals.
    const bool prepared =
        (!withK_ || !withSeal_ // an older store is only read
         || insert_.prepare(QStringLiteral("INSERT INTO readings(%1) VALUES ("
                                           "IFNULL(?, (SELECT IFNULL(MAX(seq), 0) + 1 FROM readings)), "
                                           "?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                .arg(columns)))
        && newest_.prepare(QStringLiteral("SELECT %1 FROM readings ORDER BY seq DESC LIMIT 1").arg(columns))
        && since_.prepare(QStringLiteral("SELECT %1 FROM readings WHERE utc_ms >= ? ORDER BY seq").arg(columns))
        && after_.prepare(QStringLiteral("SELECT %1 FROM readings WHERE seq > ? ORDER BY seq LIMIT ?").arg(columns))
        && readInfo_.prepare(QStringLiteral("SELECT value FROM store_info WHERE key = ?"))
        && writeInfo_.prepare(QStringLiteral("INSERT OR REPLACE INTO store_info(key, value) VALUES (?, ?)"))
        && count_.prepare(QStringLiteral("SELECT COUNT(*) FROM readings"))
        && oldest_.prepare(QStringLiteral("SELECT seq, utc_ms, %1 FROM readings WHERE seq < "
                                          "(SELECT MAX(seq) FROM readings) ORDER BY seq LIMIT ?")
                               .arg(seal))
        && removeOld_.prepare(QStringLiteral("DELETE FROM readings WHERE seq <= ? "
                                             "AND seq < (SELECT MAX(seq) FROM readings)"));
    if (!prepared) {
        for (const QSqlQuery* query : queries) {
            if (query->lastError().isValid()) {
                fail(*query);
                break;
            }
        }
    }
    return prepared;
}

void SqliteReadingStatements::fail(const QSqlQuery& query)
{
    error_ = reasonOf(query.lastError());
}

std::optional<std::int64_t> SqliteReadingStatements::append(const StoredReading& reading)
{
    error_.clear();
    // A reading that carries its seq keeps it; else it follows the newest.
    insert_.bindValue(0, reading.seq > 0 ? QVariant(static_cast<qint64>(reading.seq)) : QVariant(QVariant::LongLong));
    insert_.bindValue(1, static_cast<qint64>(reading.utcMs));
    insert_.bindValue(2, reading.frequency);
    insert_.bindValue(3, reading.litersPerMin);
    insert_.bindValue(4, reading.pulseTotal);
    insert_.bindValue(5, reading.totalLiters);
    insert_.bindValue(6, static_cast<qint64>(reading.meterCentipulses));
    insert_.bindValue(7, reading.pulsesPerLiter);
    insert_.bindValue(8, reading.meterLiters);
    insert_.bindValue(kSealColumn, reading.seal.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(reading.seal));
    std::optional<std::int64_t> seq;
    if (insert_.exec())
        seq = insert_.lastInsertId().toLongLong();
    else
        fail(insert_);
    insert_.finish();
    return seq;
}

bool SqliteReadingStatements::preparedOnce(QSqlQuery& query, bool* prepared, const char* statement)
{
    if (*prepared)
        return true;
    query.setForwardOnly(true);
    *prepared = query.prepare(QLatin1String(statement));
    if (!*prepared)
        fail(query);
    return *prepared;
}

std::optional<std::int64_t> SqliteReadingStatements::appendAlarmEvent(const StoredAlarmEvent& event,
                                                                      const QByteArray& seal)
{
    error_.clear();
    if (!preparedOnce(insertAlarmEvent_, &alarmEventPrepared_,
                      "INSERT INTO alarm_events(seq, utc_ms, alarm, event, value, threshold, seal) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?)"))
        return std::nullopt;
    // An event that carries its seq keeps it; else the next one is given.
    insertAlarmEvent_.bindValue(0, event.seq > 0 ? QVariant(static_cast<qint64>(event.seq)) : QVariant(QVariant::LongLong));
    insertAlarmEvent_.bindValue(1, static_cast<qint64>(event.utcMs));
    insertAlarmEvent_.bindValue(2, event.alarm);
    insertAlarmEvent_.bindValue(3, event.event);
    insertAlarmEvent_.bindValue(4, event.value);
    insertAlarmEvent_.bindValue(5, event.threshold);
    insertAlarmEvent_.bindValue(6, seal.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(seal));
    std::optional<std::int64_t> seq;
    if (insertAlarmEvent_.exec())
        seq = insertAlarmEvent_.lastInsertId().toLongLong();
    else
        fail(insertAlarmEvent_);
    insertAlarmEvent_.finish();
    return seq;
}

QVector<StoredAlarmEvent> SqliteReadingStatements::alarmEventsAfter(std::int64_t seq, int maxRows)
{
    error_.clear();
    QVector<StoredAlarmEvent> events;
    if (!preparedOnce(alarmEventsAfter_, &alarmEventsAfterPrepared_,
                      "SELECT seq, utc_ms, alarm, event, value, threshold FROM alarm_events WHERE seq > ? "
                      "ORDER BY seq LIMIT ?"))
        return events;
    alarmEventsAfter_.bindValue(0, static_cast<qint64>(seq));
    alarmEventsAfter_.bindValue(1, maxRows);
    if (!alarmEventsAfter_.exec())
        fail(alarmEventsAfter_);
    while (alarmEventsAfter_.next())
        events.append({alarmEventsAfter_.value(0).toLongLong(), alarmEventsAfter_.value(1).toLongLong(),
                       alarmEventsAfter_.value(2).toString(), alarmEventsAfter_.value(3).toString(),
                       alarmEventsAfter_.value(4).toDouble(), alarmEventsAfter_.value(5).toDouble()});
    alarmEventsAfter_.finish();
    return events;
}

std::optional<std::int64_t> SqliteReadingStatements::newestAlarmEventSeq()
{
    error_.clear();
    std::optional<std::int64_t> seq;
    if (!preparedOnce(newestAlarmEvent_, &newestAlarmEventPrepared_, "SELECT MAX(seq) FROM alarm_events"))
        return seq;
    if (!newestAlarmEvent_.exec())
        fail(newestAlarmEvent_);
    else if (newestAlarmEvent_.next() && !newestAlarmEvent_.value(0).isNull())
        seq = newestAlarmEvent_.value(0).toLongLong();
    newestAlarmEvent_.finish();
    return seq;
}

std::optional<StoredReading> SqliteReadingStatements::newest()
{
    error_.clear();
    std::optional<StoredReading> reading;
    if (!newest_.exec())
        fail(newest_);
    else if (newest_.next())
        reading = readingFrom(newest_);
    newest_.finish();
    return reading;
}

QVector<StoredReading> SqliteReadingStatements::since(std::int64_t utcMs)
{
    error_.clear();
    QVector<StoredReading> readings;
    since_.bindValue(0, static_cast<qint64>(utcMs));
    if (!since_.exec())
        fail(since_);
    while (since_.next())
        readings.append(readingFrom(since_));
    since_.finish();
    return readings;
}

QVector<StoredReading> SqliteReadingStatements::after(std::int64_t seq, int maxRows)
{
    error_.clear();
    QVector<StoredReading> readings;
    after_.bindValue(0, static_cast<qint64>(seq));
    after_.bindValue(1, maxRows);
    if (!after_.exec())
        fail(after_);
    while (after_.next())
        readings.append(readingFrom(after_));
    after_.finish();
    return readings;
}

std::optional<std::int64_t> SqliteReadingStatements::infoNumber(const QString& key)
{
    error_.clear();
    std::optional<std::int64_t> value;
    readInfo_.bindValue(0, key);
    if (!readInfo_.exec())
        fail(readInfo_);
    else if (readInfo_.next())
        value = readInfo_.value(0).toLongLong();
    readInfo_.finish();
    return value;
}

bool SqliteReadingStatements::setInfoNumber(const QString& key, std::int64_t value)
{
    error_.clear();
    writeInfo_.bindValue(0, key);
    writeInfo_.bindValue(1, static_cast<qint64>(value));
    const bool written = writeInfo_.exec();
    if (!written)
        fail(writeInfo_);
    writeInfo_.finish();
    return written;
}

QString SqliteReadingStatements::infoText(const QString& key)
{
    error_.clear();
    QString value;
    readInfo_.bindValue(0, key);
    if (!readInfo_.exec())
        fail(readInfo_);
    else if (readInfo_.next())
        value = readInfo_.value(0).toString();
    readInfo_.finish();
    return value;
}

bool SqliteReadingStatements::setInfoText(const QString& key, const QString& value)
{
    error_.clear();
    writeInfo_.bindValue(0, key);
    writeInfo_.bindValue(1, value);
    const bool written = writeInfo_.exec();
    if (!written)
        fail(writeInfo_);
    writeInfo_.finish();
    return written;
}

std::int64_t SqliteReadingStatements::count()
{
    error_.clear();
    std::int64_t rows = 0;
    if (!count_.exec())
        fail(count_);
    else if (count_.next())
        rows = count_.value(0).toLongLong();
    count_.finish();
    return rows;
}

int SqliteReadingStatements::removeOlderThan(std::int64_t utcMs, int maxRows, StoredReading* last, bool wholeRuns)
{
    error_.clear();
    // In seq order, up to the first reading that is not old: a clock set
    // back never takes a newer reading before an older one, and a read
    // first begins no write transaction when nothing is old.
    oldest_.bindValue(0, maxRows);
    std::optional<std::int64_t> lastOld;
    QByteArray lastSeal;
    int old = 0;
    if (!oldest_.exec())
        fail(oldest_);
    while (oldest_.next() && oldest_.value(1).toLongLong() < utcMs) {
        lastOld = oldest_.value(0).toLongLong();
        lastSeal = oldest_.value(2).toByteArray();
        ++old;
    }
    oldest_.finish();
    if (!lastOld || (wholeRuns && old < maxRows))
        return 0;

    removeOld_.bindValue(0, static_cast<qint64>(*lastOld));
    int removed = 0;
    if (removeOld_.exec())
        removed = removeOld_.numRowsAffected();
    else
        fail(removeOld_);
    removeOld_.finish();
    if (last && removed > 0) {
        last->seq = *lastOld;
        last->seal = lastSeal;
    }
    return removed;
}

} // namespace tavelin
