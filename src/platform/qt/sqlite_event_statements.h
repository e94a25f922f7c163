#pragma once
// The event log's statements on an open SQLite connection, each prepared at
// its first use, so that a store read without the events table (made by an
// older version) still opens. A failed call leaves its reason in error().

#include "platform/readings_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace tavelin {

class SqliteEventStatements {
public:
    explicit SqliteEventStatements(const QSqlDatabase& db);

    // Stores the event under its own seq with its seal (none: NULL).
    bool append(const StoredEvent& event, const QByteArray& seal);
    QVector<StoredEvent> after(std::int64_t seq, int maxRows);
    std::optional<std::int64_t> newestSeq();
    std::int64_t count();

    QString error() const { return error_; }

private:
    bool prepared(QSqlQuery& query, bool* done, const char* statement);

    QSqlQuery insert_, after_, newest_, count_;
    bool insertPrepared_ = false, afterPrepared_ = false, newestPrepared_ = false, countPrepared_ = false;
    QString error_;
};

} // namespace tavelin
