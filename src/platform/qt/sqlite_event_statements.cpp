#include "platform/qt/sqlite_event_statements.h"

#include "platform/qt/sqlite_reading_statements.h"
#include "records/sealed_tables.h"

#include <QSqlError>
#include <QVariant>

namespace tavelin {

SqliteEventStatements::SqliteEventStatements(const QSqlDatabase& db)
    : insert_(db), after_(db), newest_(db), count_(db)
{
}

bool SqliteEventStatements::prepared(QSqlQuery& query, bool* done, const char* statement)
{
    error_.clear();
    if (*done)
        return true;
    query.setForwardOnly(true);
    *done = query.prepare(QLatin1String(statement));
    if (!*done)
        error_ = reasonOf(query.lastError());
    return *done;
}

bool SqliteEventStatements::append(const StoredEvent& event, const QByteArray& seal)
{
    if (!prepared(insert_, &insertPrepared_,
                  "INSERT INTO events(seq, utc_ms, kind, subject, old_value, new_value, source, user, version, seal) "
                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
        return false;
    const QVector<QVariant> values = sealValues(event); // the texts never NULL
    for (int i = 0; i < values.size(); ++i)
        insert_.bindValue(i, values[i]);
    insert_.bindValue(values.size(), seal.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(seal));
    const bool done = insert_.exec();
    if (!done)
        error_ = reasonOf(insert_.lastError());
    insert_.finish();
    return done;
}

QVector<StoredEvent> SqliteEventStatements::after(std::int64_t seq, int maxRows)
{
    QVector<StoredEvent> events;
    if (!prepared(after_, &afterPrepared_,
                  "SELECT seq, utc_ms, kind, subject, old_value, new_value, source, user, version FROM events "
                  "WHERE seq > ? ORDER BY seq LIMIT ?"))
        return events;
    after_.bindValue(0, static_cast<qint64>(seq));
    after_.bindValue(1, maxRows);
    if (!after_.exec())
        error_ = reasonOf(after_.lastError());
    while (after_.next()) {
        events.append({after_.value(0).toLongLong(), after_.value(1).toLongLong(), after_.value(2).toString(),
                       after_.value(3).toString(), after_.value(4).toString(), after_.value(5).toString(),
                       after_.value(6).toString(), after_.value(7).toString(), after_.value(8).toString()});
    }
    after_.finish();
    return events;
}

std::optional<std::int64_t> SqliteEventStatements::newestSeq()
{
    std::optional<std::int64_t> seq;
    if (!prepared(newest_, &newestPrepared_, "SELECT MAX(seq) FROM events"))
        return seq;
    if (!newest_.exec())
        error_ = reasonOf(newest_.lastError());
    else if (newest_.next() && !newest_.value(0).isNull())
        seq = newest_.value(0).toLongLong();
    newest_.finish();
    return seq;
}

std::int64_t SqliteEventStatements::count()
{
    std::int64_t rows = 0;
    if (!prepared(count_, &countPrepared_, "SELECT COUNT(*) FROM events"))
        return rows;
    if (!count_.exec())
        error_ = reasonOf(count_.lastError());
    else if (count_.next())
        rows = count_.value(0).toLongLong();
    count_.finish();
    return rows;
}

} // namespace tavelin
