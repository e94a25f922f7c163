#pragma once
// The readings store's statements on an open SQLite connection, prepared
// once and run for each call. Every call outside a transaction commits on its
// own before it returns. A failed call leaves its reason in error().

#include "platform/readings_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace tavelin {

class SqliteReadingStatements {
public:
    // withK: the readings table has the K-factor and meter-in-liters columns;
    // withSeal: the readings and alarm events have seals (a store read only
    // may be older).
    SqliteReadingStatements(const QSqlDatabase& db, bool withK = true, bool withSeal = true);

    // False when a statement does not fit the file's tables.
    bool prepare();

    // Stores the reading (with its seal; none: NULL) under its own seq, or
    // the newest seq + 1 when it has none (0), and returns that seq.
    std::optional<std::int64_t> append(const StoredReading& reading);
    std::optional<StoredReading> newest();
    QVector<StoredReading> since(std::int64_t utcMs);
    QVector<StoredReading> after(std::int64_t seq, int maxRows);
    std::optional<std::int64_t> infoNumber(const QString& key);
    bool setInfoNumber(const QString& key, std::int64_t value);
    // A text of store_info; null when the key is not there.
    QString infoText(const QString& key);
    bool setInfoText(const QString& key, const QString& value);
    std::int64_t count();
    // Removes at most maxRows of the oldest readings, in seq order while they
    // are older than utcMs, never the newest; *last (when given) gets the
    // last one removed, with its seal. wholeRuns: none until maxRows are old.
    int removeOlderThan(std::int64_t utcMs, int maxRows, StoredReading* last = nullptr, bool wholeRuns = false);
    // Stores the event and returns its seq. Prepared at the first event, so
    // that a store read without the table still opens.
    std::optional<std::int64_t> appendAlarmEvent(const StoredAlarmEvent& event, const QByteArray& seal = {});
    // Prepared at their first use, for the same reason.
    QVector<StoredAlarmEvent> alarmEventsAfter(std::int64_t seq, int maxRows);
    std::optional<std::int64_t> newestAlarmEventSeq();

    // Why the last call failed; empty after one that did not.
    QString error() const { return error_; }

private:
    void fail(const QSqlQuery& query);
    // Prepares query once; false, with the reason kept, when it cannot be.
    bool preparedOnce(QSqlQuery& query, bool* prepared, const char* statement);

    QSqlQuery insert_, newest_, since_, after_, count_, oldest_, removeOld_, readInfo_, writeInfo_;
    QSqlQuery insertAlarmEvent_, alarmEventsAfter_, newestAlarmEvent_;
    bool alarmEventPrepared_ = false, alarmEventsAfterPrepared_ = false, newestAlarmEventPrepared_ = false;
    QString error_;
    bool withK_;
    bool withSeal_;
};

// SQLite's own words for what went wrong, else Qt's.
QString reasonOf(const QSqlError& error);

} // namespace tavelin
