#pragma once
// The quarter-hour intervals of a readings store, on an SQLite connection the
// caller opened: the table, adding readings to it, removing old intervals,
// and reading ranges back. It begins and commits no transaction of its own,
// so the writer can keep a reading and its interval in one.
//
// The table, keyed by the interval's start (UTC ms, a multiple of 900 000):
//   intervals(start_utc_ms, liters, centipulses, readings, min_flow, max_flow, sum_flow)
// Liters count each reading at its own K-factor: centipulses / 100 / K, where
// a reading's centipulses are llround(frequency * 100), as the meter counts.
//
// How the store's writer uses it (the readings table as now, with the
// optional columns pulses_per_liter and meter_liters):
//   opening for writing, inside the schema's transaction:
//       SqliteIntervalStatements intervals(db);
//       intervals.create();
//   each reading, in the transaction that inserts it (after the insert, with
//   the seq it was given and its pulsesPerLiter set):
//       intervals.add(reading);
//   a store made before the intervals, once: the readings up to the newest
//   seq at opening, in transactions of a few thousand readings each, so the
//   writer never holds the file long, noting in store_info how far it came:
//       intervals.addReadings(doneUpToSeq, doneUpToSeq + 5000, settingsK);
//   readings added meanwhile go in through add(), since their seq is higher;
//   retention must leave the readings not yet built alone until it is done
//   (else their liters are lost to the intervals).
//   [store] interval_years, now and then (no transaction needed):
//       if (auto cutoff = intervalRetentionCutoff(now, years)) intervals.removeOlderThan(*cutoff, 500);
// Readers open a connection of their own (SqliteIntervalReader).

#include "history/interval_source.h"
#include "platform/readings_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace tavelin {

class SqliteIntervalStatements {
public:
    explicit SqliteIntervalStatements(const QSqlDatabase& db);

    // "CREATE TABLE IF NOT EXISTS intervals(...)".
    static QString createStatement();
    bool create();

    // Adds one stored reading to the interval of its time; the reading must
    // carry the K-factor it was taken at.
    bool add(const StoredReading& reading);
    // Adds the stored readings with afterSeq < seq <= upToSeq, in one
    // statement; readings that carry no K-factor count at pulsesPerLiter.
    bool addReadings(std::int64_t afterSeq, std::int64_t upToSeq, double pulsesPerLiter);
    // Removes at most maxRows intervals that end at or before utcMs, oldest
    // first; returns how many went.
    int removeOlderThan(std::int64_t utcMs, int maxRows);

    // Intervals starting in [fromMs, toMs), as IntervalSource reads them.
    bool sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums);
    bool forEach(std::int64_t fromMs, std::int64_t toMs, const std::function<bool(const QuarterHour&)>& each);
    bool span(std::optional<Period>* span);
    // Whether the store has the table at all (a store made before it has not).
    bool exists();

    // Why the last call failed; empty after one that did not.
    QString error() const { return error_; }

private:
    bool prepared(QSqlQuery& query, const QString& statement);
    bool failed(QSqlQuery& query);
    bool readingsHaveColumn(const QString& column);

    QSqlDatabase db_;
    QSqlQuery add_, sum_, range_;
    QString error_;
};

} // namespace tavelin
