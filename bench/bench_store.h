#pragma once
// A readings store for the history benchmarks: made as the program makes it,
// then written on a connection of the benchmark's own (WAL, synchronous
// NORMAL, as the program writes), so that a week of readings goes in at once.

#include "platform/readings_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <vector>

namespace tavelin {

constexpr std::int64_t kWeekReadings = 7 * 86400;

class BenchStore {
public:
    explicit BenchStore(const QString& path);
    ~BenchStore();
    QSqlDatabase& db() { return db_; }
    // The reading under the next seq, as the store inserts it.
    void insert(const StoredReading& reading);

private:
    QString name_;
    QSqlDatabase db_;
    QSqlQuery insert_;
};

// Reading i of a flow wandering around 250 Hz, one a second from startMs;
// the meter moves on by it.
StoredReading benchReading(int i, std::int64_t startMs, std::int64_t* meter);
// A store of the present schema holding that many readings up to now, one a second.
void fillReadings(const QString& path, std::int64_t readings);
// Nearest rank.
double percentile(std::vector<double> values, double fraction);
[[noreturn]] void benchFail(const QString& why);

} // namespace tavelin
