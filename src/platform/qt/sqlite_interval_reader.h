#pragma once
// The quarter-hour intervals of a readings store file, read on a read-only
// connection of the reader's own: beside the program that writes the store,
// in the same process or another, never changing it. The History window,
// the context menu's totals and the exports read through it.

#include "history/interval_source.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace tavelin {

class SqliteIntervalStatements;

class SqliteIntervalReader : public IntervalSource {
public:
    // Null, with *error set, when the file is not there or cannot be read.
    static std::unique_ptr<SqliteIntervalReader> open(const QString& path, QString* error);
    ~SqliteIntervalReader() override;
    SqliteIntervalReader(const SqliteIntervalReader&) = delete;
    SqliteIntervalReader& operator=(const SqliteIntervalReader&) = delete;

    bool sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums) override;
    bool forEach(std::int64_t fromMs, std::int64_t toMs, const std::function<bool(const QuarterHour&)>& each) override;
    bool span(std::optional<Period>* span) override;
    QString lastError() const override { return lastError_; }

    // False for a store made before the intervals, until a program opens it.
    bool hasIntervals();
    // The connection, for reading the store's other tables alike.
    QSqlDatabase database() const { return db_; }

private:
    SqliteIntervalReader();
    bool noted(bool done);

    QString connectionName_;
    QSqlDatabase db_;
    std::unique_ptr<SqliteIntervalStatements> statements_;
    QString lastError_;
};

} // namespace tavelin
