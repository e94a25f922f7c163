// The readings store on a real SQLite file: the sequence carried on across
// restarts and removals, readers beside the writer, a writer killed in the
// middle of its work, and the alarms' events beside the readings.
#include "integration/store_rig.h"
#include "platform/qt/store_verifier.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

using SqliteReadingsStoreTest = StoreTest;

TEST_F(SqliteReadingsStoreTest, ReadingsAndTheirSequenceLastAcrossReopening)
{
    std::int64_t created = 0;
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->notice().isEmpty());
        EXPECT_EQ(store->newest(), std::nullopt);
        created = store->createdUtcMs();
        EXPECT_GT(created, 0);
        for (std::int64_t t : {1000, 2000, 3000})
            EXPECT_EQ(store->append(readingAt(t, t * 7)), t / 1000);
    }
    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->createdUtcMs(), created);
    EXPECT_EQ(store->readingCount(), 3);
    EXPECT_EQ(store->append(readingAt(4000)), 4);

    const std::optional<StoredReading> newest = store->newest();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->seq, 4);
    EXPECT_EQ(newest->utcMs, 4000);
}

TEST_F(SqliteReadingsStoreTest, ReadingsAfterASeqAndDeliveryCursorsLastAcrossReopening)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        for (std::int64_t t = 1000; t <= 6000; t += 1000)
            store->append(readingAt(t));
        EXPECT_EQ(seqsOf(store->readingsAfter(2, 3)), (std::vector<std::int64_t>{3, 4, 5}));
        EXPECT_EQ(seqsOf(store->readingsAfter(5, 100)), std::vector<std::int64_t>{6});
        EXPECT_EQ(seqsOf(store->readingsAfter(6, 100)), std::vector<std::int64_t>{});
        EXPECT_EQ(seqsOf(store->readingsAfter(0, 0)), std::vector<std::int64_t>{});
        EXPECT_EQ(store->deliveredUpTo(QStringLiteral("mqtt_state")), std::nullopt);
        EXPECT_TRUE(store->setDeliveredUpTo(QStringLiteral("mqtt_state"), 3));
        EXPECT_TRUE(store->setDeliveredUpTo(QStringLiteral("mqtt_state"), 4));
        EXPECT_TRUE(store->setDeliveredUpTo(QStringLiteral("mqtt_alarm"), 9007199254740993)); // beyond a double
        EXPECT_EQ(store->removeOlderThan(3500, 100), 3); // retention passes the cursor by
        EXPECT_EQ(seqsOf(store->readingsAfter(0, 2)), (std::vector<std::int64_t>{4, 5}));
    }
    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->deliveredUpTo(QStringLiteral("mqtt_state")), 4);
    EXPECT_EQ(store->deliveredUpTo(QStringLiteral("mqtt_alarm")), 9007199254740993);
    QString error;
    auto reader = SqliteReadingsStore::openReadOnly(store->filePath(), &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->deliveredUpTo(QStringLiteral("mqtt_state")), 4);
    EXPECT_FALSE(reader->setDeliveredUpTo(QStringLiteral("mqtt_state"), 5));
}

TEST_F(SqliteReadingsStoreTest, ReadingsSinceATimeComeBackWholeOldestFirst)
{
    auto store = openStore();
    ASSERT_TRUE(store);
    // The clock was set back after the third: the order stays the order stored.
    for (std::int64_t t : {1000, 2000, 3000, 1500, 4000})
        store->append(readingAt(t, 900719925474099301 + t));

    EXPECT_EQ(seqsOf(store->readingsSince(2000)), (std::vector<std::int64_t>{2, 3, 5}));
    EXPECT_EQ(seqsOf(store->readingsSince(1500)), (std::vector<std::int64_t>{2, 3, 4, 5}));
    EXPECT_EQ(seqsOf(store->readingsSince(4001)), std::vector<std::int64_t>{});

    const QVector<StoredReading> last = store->readingsSince(4000);
    ASSERT_EQ(last.size(), 1);
    const StoredReading expected = readingAt(4000, 900719925474099301 + 4000);
    EXPECT_EQ(last[0].meterCentipulses, expected.meterCentipulses); // beyond a double's digits
    EXPECT_EQ(last[0].frequency, expected.frequency);
    EXPECT_EQ(last[0].litersPerMin, expected.litersPerMin);
    EXPECT_EQ(last[0].pulseTotal, expected.pulseTotal);
    EXPECT_EQ(last[0].totalLiters, expected.totalLiters);
}

struct RemovalRow {
    const char* name;
    std::int64_t cutoff;
    int maxRows;
    int removed;
    std::vector<std::int64_t> kept;
    bool wholeRuns = false; // as the station asks, with a commit
};

TEST_F(SqliteReadingsStoreTest, RemovalTakesTheOldestInBatchesAndNeverTheNewest)
{
    const RemovalRow rows[] = {
        {"nothing older", 1000, 50, 0, {1, 2, 3, 4, 5}},
        {"at the cutoff stays", 3000, 50, 2, {3, 4, 5}},
        {"a batch at a time", 9000, 3, 3, {4, 5}},
        {"no rows asked", 9000, 0, 0, {1, 2, 3, 4, 5}},
        {"all older, but the newest stays", 9000, 50, 4, {5}},
        {"whole runs: fewer old than a run, none leave", 3000, 3, 0, {1, 2, 3, 4, 5}, true},
        {"whole runs: a run old", 4000, 3, 3, {4, 5}, true},
    };
    for (const RemovalRow& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(path);
        QFile::remove(path + ".key");
        auto store = openStore();
        ASSERT_TRUE(store);
        for (std::int64_t t : {1000, 2000, 3000, 4000, 5000})
            store->append(readingAt(t));
        StoreBatch batch;
        batch.pruneBeforeUtcMs = row.cutoff;
        batch.pruneMaxRows = row.maxRows;
        batch.wholeRuns = true;
        if (row.wholeRuns)
            EXPECT_TRUE(store->commit(batch));
        else
            EXPECT_EQ(store->removeOlderThan(row.cutoff, row.maxRows), row.removed);
        EXPECT_EQ(seqsOf(store->readingsSince(0)), row.kept);
        store->markCleanStop();
        store.reset();
        EXPECT_EQ(verifyStore(path).status, StoreVerification::Holds) << "the anchor moved with the rows";
    }
}

TEST_F(SqliteReadingsStoreTest, TheSequenceGoesOnAfterEverythingButTheNewestWasRemoved)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        for (std::int64_t t : {1000, 2000, 3000})
            store->append(readingAt(t));
        EXPECT_EQ(store->removeOlderThan(10000, 50), 2);
        EXPECT_EQ(store->removeOlderThan(10000, 50), 0);
    }
    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->readingCount(), 1);
    EXPECT_EQ(store->append(readingAt(4000)), 4);
}

TEST_F(SqliteReadingsStoreTest, AReaderSeesWhatTheWriterCommitsAndWritesNothing)
{
    auto writer = openStore();
    ASSERT_TRUE(writer);
    writer->append(readingAt(1000));
    writer->append(readingAt(2000));

    auto reader = SqliteReadingsStore::openReadOnly(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_TRUE(reader->isReadOnly());
    EXPECT_EQ(reader->readingCount(), 2);
    writer->append(readingAt(3000));
    EXPECT_EQ(reader->readingCount(), 3);
    EXPECT_EQ(reader->newest()->seq, 3);
    EXPECT_EQ(reader->createdUtcMs(), writer->createdUtcMs());

    EXPECT_EQ(reader->append(readingAt(4000)), std::nullopt);
    EXPECT_FALSE(reader->lastError().isEmpty());
    EXPECT_EQ(reader->removeOlderThan(10000, 50), 0);
    EXPECT_EQ(writer->append(readingAt(4000)), 4) << "the reader holds no lock against the writer";

    writer.reset(); // the last writer out folds the journal back into the file
    reader.reset();
    reader = SqliteReadingsStore::openReadOnly(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->readingCount(), 4);
}

// The alarm events of a store, one "seq utc_ms alarm event value threshold" each.
QStringList alarmRowsIn(const QString& path)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(QStringLiteral("SELECT seq, utc_ms, alarm, event, value, threshold FROM alarm_events "
                                       "ORDER BY seq"),
                        db);
        while (query.next()) {
            QStringList row;
            for (int column = 0; column < 6; ++column)
                row << query.value(column).toString();
            rows << row.join(QLatin1Char(' '));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

void dropAlarmEvents(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("DROP TABLE alarm_events")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));
}

TEST_F(SqliteReadingsStoreTest, AlarmEventsHaveTheirOwnSequenceAndStayAcrossReopening)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        store->append(readingAt(1000));
        EXPECT_EQ(store->appendAlarmEvent({0, 1500, QStringLiteral("high_flow"), QStringLiteral("raised"), 2.5, 2}), 1);
        EXPECT_EQ(store->appendAlarmEvent({0, 2500, QStringLiteral("high_flow"), QStringLiteral("cleared"), 1.5, 2}),
                  2);
    }
    auto reader = SqliteReadingsStore::openReadOnly(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->appendAlarmEvent({0, 3000, QStringLiteral("batch"), QStringLiteral("raised"), 10, 10}),
              std::nullopt);
    EXPECT_EQ(reader->lastError().toStdString(), "the store is open for reading only");
    reader.reset();

    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->appendAlarmEvent({0, 3500, QStringLiteral("batch"), QStringLiteral("acknowledged"), 0, 0.5}), 3);
    EXPECT_EQ(store->append(readingAt(4000)), 2) << "the readings keep their own sequence";
    EXPECT_EQ(store->newestAlarmEventSeq(), 3);
    const QVector<StoredAlarmEvent> after = store->alarmEventsAfter(1, 1);
    ASSERT_EQ(after.size(), 1);
    const StoredAlarmEvent& e = after[0];
    EXPECT_EQ(QStringLiteral("%1 %2 %3 %4 %5 %6").arg(e.seq).arg(e.utcMs).arg(e.alarm, e.event).arg(e.value)
                  .arg(e.threshold),
              QStringLiteral("2 2500 high_flow cleared 1.5 2"));
    EXPECT_TRUE(store->alarmEventsAfter(3, 10).isEmpty());
    store.reset();
    EXPECT_EQ(alarmRowsIn(path), (QStringList{QStringLiteral("1 1500 high_flow raised 2.5 2"),
                                              QStringLiteral("2 2500 high_flow cleared 1.5 2"),
                                              QStringLiteral("3 3500 batch acknowledged 0 0.5")}));
}

TEST_F(SqliteReadingsStoreTest, AStoreMadeBeforeAlarmEventsIsReadAsItIsAndGetsThemWhenWritten)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        store->append(readingAt(1000));
    }
    dropAlarmEvents(path);
    auto reader = SqliteReadingsStore::openReadOnly(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->readingCount(), 1);
    EXPECT_EQ(reader->newestAlarmEventSeq(), std::nullopt);
    EXPECT_TRUE(reader->alarmEventsAfter(0, 10).isEmpty());
    EXPECT_FALSE(reader->lastError().isEmpty()) << "no table to read them from";
    reader.reset();

    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->newestAlarmEventSeq(), std::nullopt) << "the table is there, empty";
    EXPECT_EQ(store->appendAlarmEvent({0, 2000, QStringLiteral("leak"), QStringLiteral("raised"), 0.7, 0.5}), 1);
}

// A store of the first schema: its readings have no K-factor and no meter in
// liters. Read only it is read as it is; opened for writing it gains both
// columns and an identity, and its readings and seq go on.
TEST_F(SqliteReadingsStoreTest, AStoreOfTheFirstSchemaIsReadAsItIsAndUpgradedWhenWritten)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        store->append(readingAt(1000, 690000));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("first-schema"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const char* statement :
             {"CREATE TABLE old(seq INTEGER PRIMARY KEY, utc_ms INTEGER NOT NULL, frequency REAL, liters_per_min "
              "REAL, pulse_total REAL, total_liters REAL, meter_centipulses INTEGER NOT NULL)",
              "INSERT INTO old SELECT seq, utc_ms, frequency, liters_per_min, pulse_total, total_liters, "
              "meter_centipulses FROM readings",
              "DROP TABLE readings", "ALTER TABLE old RENAME TO readings",
              "DELETE FROM store_info WHERE key = 'store_id' OR key LIKE 'seal_%'",
              "UPDATE store_info SET value = 1 WHERE key = 'schema_version'"})
            ASSERT_TRUE(query.exec(QLatin1String(statement))) << statement;
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("first-schema"));
    ASSERT_TRUE(QFile::remove(path + ".key")) << "made before sealing: no key";

    auto reader = SqliteReadingsStore::openReadOnly(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    ASSERT_TRUE(reader->newest());
    EXPECT_EQ(reader->newest()->meterCentipulses, 690000);
    EXPECT_EQ(reader->newest()->pulsesPerLiter, 0.0) << "stored before K was kept";
    EXPECT_TRUE(reader->storeId().isEmpty());
    reader.reset();

    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(QUuid::fromString(store->storeId()).isNull(), false) << store->storeId().toStdString();
    StoredReading next = readingAt(2000, 700000);
    next.pulsesPerLiter = 7000.0;
    next.meterLiters = 1.0001;
    EXPECT_EQ(store->append(next), 2);
    EXPECT_EQ(store->newest()->pulsesPerLiter, 7000.0);
    EXPECT_EQ(store->newest()->meterLiters, 1.0001);
    const QString id = store->storeId();
    store.reset();
    EXPECT_EQ(openStore()->storeId(), id) << "made once";
    // Sealing began with the upgrade: the reading stored before is told, not a fault.
    const StoreVerification verification = verifyStore(path);
    EXPECT_EQ(verification.status, StoreVerification::Holds);
    ASSERT_FALSE(verification.tables.empty());
    EXPECT_EQ(verification.tables[0].unsealed, 1);
    EXPECT_EQ(verification.tables[0].rows, 1);
}

// A child process appends without end and reports each seq once append()
// has returned; it is killed with SIGKILL after the Nth.
TEST_F(SqliteReadingsStoreTest, AWriterKilledMidWayLosesNoCommittedReading)
{
    constexpr std::int64_t kReported = 300;
    int reports[2];
    ASSERT_EQ(pipe(reports), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(reports[0]);
        QString childError;
        auto store = SqliteReadingsStore::open(path, &childError);
        for (std::int64_t t = 1; store && t < 1000000; ++t) {
            const std::optional<std::int64_t> seq = store->append(readingAt(t * 1000, t));
            if (!seq || write(reports[1], &*seq, sizeof *seq) != sizeof *seq)
                break;
        }
        _exit(1);
    }
    close(reports[1]);
    std::int64_t seq = 0;
    std::int64_t lastReported = 0;
    while (lastReported < kReported && read(reports[0], &seq, sizeof seq) == sizeof seq)
        lastReported = seq;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(reports[0]);
    ASSERT_EQ(lastReported, kReported);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->notice().isEmpty()) << store->notice().toStdString();
    const QVector<StoredReading> readings = store->readingsSince(0);
    ASSERT_GE(readings.size(), kReported);
    for (int i = 0; i < readings.size(); ++i) {
        EXPECT_EQ(readings[i].seq, i + 1);
        EXPECT_EQ(readings[i].meterCentipulses, i + 1);
    }
    EXPECT_EQ(store->append(readingAt(0)), readings.size() + 1);
    store.reset();
    EXPECT_EQ(verifyStore(path).status, StoreVerification::Holds) << "every committed seal with its row";
}

} // namespace
