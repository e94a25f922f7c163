// The quarter-hour intervals on a real SQLite file: readings added one by one
// and built from the stored readings give the same intervals, whose
// hundredths of a pulse add up to the meter; each reading counts at its own
// K-factor; the caller's transaction decides; retention by count; readers
// beside the writer; and --export from the file.
#include "history/export_request.h"
#include "integration/store_rig.h"
#include "platform/qt/sqlite_interval_reader.h"
#include "platform/qt/sqlite_interval_statements.h"
#include "platform/qt/store_export.h"

#include <QSqlQuery>
#include <QVariant>

#include <cmath>
#include <ctime>

using namespace tavelin;
using namespace tavelin::test;

namespace {

constexpr std::int64_t kStart = 1792879200000; // 2026-10-24T22:00:00Z, on a quarter hour

class SqliteIntervalsTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        store = openStore();
        ASSERT_TRUE(store);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("intervals"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        statements = std::make_unique<SqliteIntervalStatements>(db);
        ASSERT_TRUE(statements->create()) << statements->error().toStdString();
    }
    void TearDown() override
    {
        statements.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("intervals"));
    }

    // A reading a second from kStart + offsetMs, each with its own frequency;
    // the K-factor is 450 from the fifth reading on.
    StoredReading storeReading(int i, std::int64_t offsetMs = 0)
    {
        StoredReading reading = readingAt(kStart + offsetMs + i * 1000);
        reading.frequency = std::round((250.0 + i * 0.37) * 100.0) / 100.0;
        reading.litersPerMin = 1.0 + (i % 7);
        reading.pulsesPerLiter = i >= 5 ? 450.0 : 6900.0;
        meter += std::llround(reading.frequency * 100.0);
        reading.meterCentipulses = meter;
        reading.seq = ++seq;
        // As the store inserts it, on the test's connection: many at once in one transaction.
        EXPECT_TRUE(QSqlQuery(db).exec(QStringLiteral("INSERT INTO readings(seq, utc_ms, frequency, liters_per_min, "
                                                          "pulse_total, total_liters, meter_centipulses) "
                                                          "VALUES (%1, %2, %3, %4, 0, %5, %6)")
                                           .arg(seq)
                                           .arg(reading.utcMs)
                                           .arg(reading.frequency, 0, 'g', 17)
                                           .arg(reading.litersPerMin, 0, 'g', 17)
                                           .arg(reading.totalLiters, 0, 'g', 17)
                                           .arg(meter)));
        return reading;
    }
    std::vector<QuarterHour> all()
    {
        std::vector<QuarterHour> intervals;
        EXPECT_TRUE(statements->forEach(0, kStart * 2, [&intervals](const QuarterHour& q) {
            intervals.push_back(q);
            return true;
        })) << statements->error().toStdString();
        return intervals;
    }

    std::unique_ptr<SqliteReadingsStore> store;
    QSqlDatabase db;
    std::unique_ptr<SqliteIntervalStatements> statements;
    std::int64_t meter = 0;
    std::int64_t seq = 0;
};

TEST_F(SqliteIntervalsTest, OneByOneOrBuiltFromTheReadingsTheIntervalsAddUpToTheMeter)
{
    std::vector<StoredReading> readings;
    ASSERT_TRUE(db.transaction());
    for (int i = 0; i < 2000; ++i) // across three quarter hours
        readings.push_back(storeReading(i, 890 * 1000));
    ASSERT_TRUE(db.commit());
    ASSERT_TRUE(db.transaction());
    for (const StoredReading& reading : readings)
        ASSERT_TRUE(statements->add(reading)) << statements->error().toStdString();
    ASSERT_TRUE(db.commit());
    const std::vector<QuarterHour> added = all();

    QSqlQuery(db).exec(QStringLiteral("DELETE FROM intervals"));
    // The readings as a store keeps them with their K-factor: none for the first five.
    ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("UPDATE readings SET pulses_per_liter = 450 WHERE seq > 5")));
    ASSERT_TRUE(statements->addReadings(0, 1200, 6900.0)) << statements->error().toStdString();
    ASSERT_TRUE(statements->addReadings(1200, 2000, 6900.0));
    const std::vector<QuarterHour> built = all();

    ASSERT_EQ(added.size(), 4u);
    ASSERT_EQ(built.size(), added.size());
    std::int64_t centipulses = 0;
    for (std::size_t i = 0; i < added.size(); ++i) {
        EXPECT_EQ(built[i].startUtcMs, added[i].startUtcMs);
        EXPECT_EQ(built[i].centipulses, added[i].centipulses);
        EXPECT_EQ(built[i].readings, added[i].readings);
        EXPECT_NEAR(built[i].liters, added[i].liters, 1e-9);
        EXPECT_EQ(built[i].minFlow, added[i].minFlow);
        EXPECT_EQ(built[i].maxFlow, added[i].maxFlow);
        EXPECT_NEAR(built[i].sumFlow, added[i].sumFlow, 1e-9);
        centipulses += added[i].centipulses;
    }
    EXPECT_EQ(added[0].startUtcMs, kStart);
    EXPECT_EQ(added[0].readings, 10);
    EXPECT_EQ(added[1].readings, 900);
    EXPECT_EQ(centipulses, meter);
    // The first interval: five readings at 6900 and five at 450.
    double liters = 0;
    for (int i = 0; i < 10; ++i)
        liters += std::llround(readings[i].frequency * 100.0) / 100.0 / readings[i].pulsesPerLiter;
    EXPECT_NEAR(added[0].liters, liters, 1e-12);
}

TEST_F(SqliteIntervalsTest, TheCallersTransactionKeepsAReadingAndItsIntervalTogether)
{
    ASSERT_TRUE(db.transaction());
    StoredReading reading = readingAt(kStart + 5000);
    reading.pulsesPerLiter = 6900;
    ASSERT_TRUE(statements->add(reading));
    ASSERT_TRUE(db.rollback());
    EXPECT_TRUE(all().empty());

    reading.pulsesPerLiter = 0;
    EXPECT_FALSE(statements->add(reading)); // no K-factor: nothing to count it at
    EXPECT_FALSE(statements->error().isEmpty());
}

TEST_F(SqliteIntervalsTest, RetentionRemovesWholeIntervalsOldestFirstInBatches)
{
    for (int q = 0; q < 6; ++q)
        storeReading(0, q * kQuarterHourMs);
    ASSERT_TRUE(statements->addReadings(0, 6, 6900.0));
    EXPECT_EQ(statements->removeOlderThan(kStart + 4 * kQuarterHourMs + 1, 3), 3);
    EXPECT_EQ(statements->removeOlderThan(kStart + 4 * kQuarterHourMs + 1, 3), 1); // the fifth has not ended
    std::optional<Period> span;
    ASSERT_TRUE(statements->span(&span));
    ASSERT_TRUE(span);
    EXPECT_EQ(span->startUtcMs, kStart + 4 * kQuarterHourMs);
    EXPECT_EQ(span->endUtcMs, kStart + 6 * kQuarterHourMs);
    EXPECT_EQ(store->readingCount(), 6); // the readings keep their own retention
}

TEST_F(SqliteIntervalsTest, AReaderBesideTheWriterAndOneOfAStoreWithoutIntervals)
{
    storeReading(0);
    storeReading(1);
    ASSERT_TRUE(statements->addReadings(0, 2, 6900.0));
    QString error;
    auto reader = SqliteIntervalReader::open(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    FlowSums sums;
    ASSERT_TRUE(reader->sumOf(0, kStart * 2, &sums)) << reader->lastError().toStdString();
    EXPECT_EQ(sums.readings, 2);
    storeReading(2, kQuarterHourMs);
    ASSERT_TRUE(statements->addReadings(2, 3, 6900.0));
    std::optional<Period> span;
    ASSERT_TRUE(reader->span(&span));
    EXPECT_EQ(span->endUtcMs, kStart + 2 * kQuarterHourMs);

    QSqlQuery(db).exec(QStringLiteral("DROP TABLE intervals"));
    EXPECT_FALSE(reader->sumOf(0, kStart * 2, &sums));
    EXPECT_TRUE(reader->lastError().contains(QStringLiteral("no quarter-hour intervals yet")));
    EXPECT_FALSE(SqliteIntervalReader::open(dir.filePath(QStringLiteral("none.db")), &error));
}

TEST_F(SqliteIntervalsTest, ExportWritesWholeFilesOrNoneAndSaysWhy)
{
    qputenv("TZ", "UTC");
    tzset();
    for (int i = 0; i < 3; ++i)
        storeReading(i);
    ASSERT_TRUE(statements->addReadings(0, 3, 6900.0));
    const auto exported = [this](const char* kind, const QString& output, const QString& storePath) {
        ExportRequest request;
        request.requested = true;
        request.kind = QString::fromLatin1(kind);
        request.outputFile = output;
        return runExport(request, storePath, 6900.0);
    };
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_EQ(exported("readings", csv, path), 0);
    const QList<QByteArray> rows = contentsOf(csv).split('\n');
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "seq,utc,frequency_hz,flow_l_min,total_l,meter_l\r");
    EXPECT_EQ(rows[2], "2,2026-10-24T22:00:01.000Z,250.37,2.00,144.94,0.073\r"); // (25000 + 25037) / 100 / 6900

    ASSERT_EQ(exported("hours", csv, path), 0);
    EXPECT_EQ(contentsOf(csv).split('\n').value(1), "2026-10-24T22:00:00+00:00,2026-10-24T23:00:00+00:00,0.109,3,"
                                                     "0.1,1.00,2.00,3.00\r");
    ASSERT_EQ(exported("days", csv, dir.filePath(QStringLiteral("no-store.db"))), 0);
    EXPECT_EQ(contentsOf(csv), "start,end,liters,readings,coverage_percent,min_flow_l_min,mean_flow_l_min,"
                               "max_flow_l_min\r\n");
    EXPECT_EQ(exported("days", dir.filePath(QStringLiteral("no/such/folder.csv")), path), 2);

    QFile garbage(dir.filePath(QStringLiteral("garbage.db")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    EXPECT_EQ(exported("days", csv, garbage.fileName()), 1);
    EXPECT_EQ(contentsOf(csv).count('\n'), 1); // the file written before stays as it was
}

} // namespace
