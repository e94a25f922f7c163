#include "bench_store.h"

#include "platform/qt/sqlite_readings_store.h"

#include <QDateTime>
#include <QSqlError>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tavelin {

BenchStore::BenchStore(const QString& path) : name_(QStringLiteral("bench-") + path)
{
    QString error;
    if (!SqliteReadingsStore::open(path, &error)) // the schema, as the program makes it
        benchFail(error);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(path);
    if (!db_.open())
        benchFail(db_.lastError().text());
    QSqlQuery(db_).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    QSqlQuery(db_).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    insert_ = QSqlQuery(db_);
    insert_.prepare(QStringLiteral("INSERT INTO readings(seq, utc_ms, frequency, liters_per_min, pulse_total, "
                                   "total_liters, meter_centipulses) VALUES ((SELECT IFNULL(MAX(seq), 0) + 1 "
                                   "FROM readings), ?, ?, ?, ?, ?, ?)"));
}

BenchStore::~BenchStore()
{
    insert_ = QSqlQuery();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

void BenchStore::insert(const StoredReading& reading)
{
    insert_.bindValue(0, static_cast<qint64>(reading.utcMs));
    insert_.bindValue(1, reading.frequency);
    insert_.bindValue(2, reading.litersPerMin);
    insert_.bindValue(3, reading.pulseTotal);
    insert_.bindValue(4, reading.totalLiters);
    insert_.bindValue(5, static_cast<qint64>(reading.meterCentipulses));
    if (!insert_.exec())
        benchFail(insert_.lastError().text());
}

StoredReading benchReading(int i, std::int64_t startMs, std::int64_t* meter)
{
    StoredReading reading;
    reading.utcMs = startMs + std::int64_t(i) * 1000;
    reading.frequency = std::round((250.0 + 40.0 * std::sin(i / 300.0)) * 100.0) / 100.0;
    reading.litersPerMin = std::round(reading.frequency * 60.0 / 6900.0 * 100.0) / 100.0;
    reading.pulsesPerLiter = 6900.0;
    *meter += std::llround(reading.frequency * 100.0);
    reading.pulseTotal = *meter / 100.0;
    reading.totalLiters = std::round(reading.pulseTotal / 6900.0 * 100.0) / 100.0;
    reading.meterCentipulses = *meter;
    return reading;
}

void fillReadings(const QString& path, std::int64_t readings)
{
    BenchStore store(path);
    std::int64_t meter = 0;
    const std::int64_t start = QDateTime::currentMSecsSinceEpoch() - readings * 1000;
    store.db().transaction();
    for (int i = 0; i < readings; ++i)
        store.insert(benchReading(i, start, &meter));
    store.db().commit();
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

void benchFail(const QString& why)
{
    std::fprintf(stderr, "history-cost: %s\n", qPrintable(why));
    std::exit(1);
}

} // namespace tavelin
