// The sealed store on a real SQLite file: the event log beside the
// readings, and what --verify names after the file was changed behind the
// program's back with plain SQL, one row per change, each on its own copy.
#include "integration/store_rig.h"
#include "platform/qt/store_verifier.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace tavelin;
using namespace tavelin::test;

namespace {

using SealedStoreTest = StoreTest;

StoredEvent event(const char* kind, const char* subject, const char* oldValue, const char* newValue)
{
    return {0, 1000, kind, subject, oldValue, newValue, QStringLiteral("start-up"), QStringLiteral("op"),
            QStringLiteral("1.0.0")};
}

// Runs the statements on the store at path, as anyone with sqlite3 could.
void tamper(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const QString& statement : statements)
            ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
}

QStringList faultLines(const StoreVerification& verification)
{
    return verificationLines(verification).mid(int(verification.tables.size()));
}

TEST_F(SealedStoreTest, EventsHaveTheirOwnSequenceAndComeBackAsStored)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        EXPECT_EQ(store->appendEvent(event("program_started", "tavelind", "", "sha256=ab")), 1);
        EXPECT_EQ(store->appendEvent(event("setting_changed", "sensor/pulses_per_liter", "6900", "\u00e9 7012.5")), 2);
    }
    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->appendEvent(event("total_reset", "total", "12.00 pulses, 0.5 L", "0 pulses, 0 L")), 3);
    EXPECT_EQ(store->eventCount(), 3);
    const QVector<StoredEvent> after = store->eventsAfter(1, 5);
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].seq, 2);
    EXPECT_EQ(QStringList({after[0].kind, after[0].subject, after[0].oldValue, after[0].newValue, after[0].source,
                           after[0].user, after[0].version}),
              QStringList({"setting_changed", "sensor/pulses_per_liter", "6900", "\u00e9 7012.5", "start-up", "op",
                           "1.0.0"}));
    EXPECT_TRUE(store->eventsAfter(0, 1)[0].oldValue.isEmpty());
    store.reset();
    EXPECT_EQ(verifyStore(path).status, StoreVerification::Holds) << "an empty value is sealed as it reads back";
}

TEST_F(SealedStoreTest, VerifyNamesWhatWasChangedRemovedInsertedOrMoved)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        for (std::int64_t t = 1; t <= 20; ++t)
            store->append(readingAt(t * 1000, t * 25025));
        for (const char* what : {"raised", "acknowledged", "cleared"})
            store->appendAlarmEvent({0, 5000, QStringLiteral("leak"), QLatin1String(what), 0.7, 0.5});
        store->appendEvent(event("program_started", "tavelind", "", "sha256=ab"));
        store->appendEvent(event("setting_changed", "sensor/pulses_per_liter", "6900", "7012.5"));
        EXPECT_EQ(store->removeOlderThan(5500, 50), 5) << "the anchor moves to seq 5's seal";
        EXPECT_TRUE(store->markCleanStop()) << "the heads as it ends";
    }
    const struct {
        const char* name;
        QStringList statements;
        StoreVerification::Status status;
        QStringList faults;
    } rows[] = {
        {"untouched", {}, StoreVerification::Holds, {}},
        {"a reading changed", {"UPDATE readings SET frequency = 300 WHERE seq = 10"}, StoreVerification::Broken,
         {"readings: seq 10 changed"}},
        {"a reading removed", {"DELETE FROM readings WHERE seq = 12"}, StoreVerification::Broken,
         {"readings: seq 12 removed"}},
        {"the oldest removed, the anchor left", {"DELETE FROM readings WHERE seq = 6"}, StoreVerification::Broken,
         {"readings: seq 6 removed"}},
        {"the newest removed", {"DELETE FROM readings WHERE seq = 20"}, StoreVerification::Broken,
         {"readings: seq 20 removed"}},
        {"a reading inserted after the newest",
         {"INSERT INTO readings SELECT 21, utc_ms + 1000, frequency, liters_per_min, pulse_total, total_liters, "
          "meter_centipulses, pulses_per_liter, meter_liters, seal FROM readings WHERE seq = 20"},
         StoreVerification::Broken, {"readings: seq 21 inserted"}},
        {"a reading moved", {"UPDATE readings SET seq = 30 WHERE seq = 8"}, StoreVerification::Broken,
         {"readings: seq 30 moved (sealed as seq 8)"}},
        {"an event changed", {"UPDATE events SET new_value = '8000' WHERE seq = 2"}, StoreVerification::Broken,
         {"events: seq 2 changed"}},
        {"an alarm event removed", {"DELETE FROM alarm_events WHERE seq = 2"}, StoreVerification::Broken,
         {"alarm_events: seq 2 removed"}},
        {"the anchor set back to the start",
         {"UPDATE store_info SET value = '0 ' || substr(value, instr(value, ' ') + 1) "
          "WHERE key = 'seal_anchor/readings'"},
         StoreVerification::Broken, {"readings: its anchor record was changed", "readings: seq 1-5 removed"}},
        {"the head record taken away", {"DELETE FROM store_info WHERE key = 'seal_head/events'"},
         StoreVerification::Broken, {"events: its head record is missing"}},
    };
    const QString original = QFileInfo(path).absolutePath();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString copy = dir.filePath(QStringLiteral("copy/readings.db"));
        QDir(dir.filePath(QStringLiteral("copy"))).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("copy"))));
        ASSERT_TRUE(QFile::copy(path, copy));
        ASSERT_TRUE(QFile::copy(path + ".key", copy + ".key"));
        tamper(copy, row.statements);
        const StoreVerification verification = verifyStore(copy);
        EXPECT_EQ(verification.status, row.status) << verification.error.toStdString();
        EXPECT_EQ(faultLines(verification), row.faults);
    }
    const QStringList lines = verificationLines(verifyStore(path));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("readings: 15 rows checked, seq 6 to 20, head ")) << lines[0].toStdString();
    // Its readings' quarter hour starts at 0, where the chain's anchor is.
    EXPECT_EQ(lines[1], QStringLiteral("intervals: 0 rows checked, 1 stored before sealing began (not sealed)"));
    EXPECT_EQ(lines[2].left(41), QStringLiteral("alarm_events: 3 rows checked, seq 1 to 3,"));
    EXPECT_EQ(lines[3].left(35), QStringLiteral("events: 2 rows checked, seq 1 to 2,"));

    QFile::remove(path + ".key");
    const StoreVerification keyless = verifyStore(path);
    EXPECT_EQ(keyless.status, StoreVerification::Unreadable);
    EXPECT_TRUE(keyless.error.contains(path + ".key")) << keyless.error.toStdString();
    EXPECT_EQ(verifyStore(dir.filePath("none.db")).status, StoreVerification::Unreadable);
}

// A quarter hour is sealed once a reading of a later one is stored; --verify
// checks the chain and that each quarter hour holds the readings stored for it.
TEST_F(SealedStoreTest, IntervalsAreSealedOnceClosedAndHoldTheReadingsStoredForThem)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        for (const std::int64_t at : {901000, 902000, 903000, 1801000, 2701000})
            store->append(readingAt(at));
        EXPECT_TRUE(store->markCleanStop());
    }
    const struct {
        const char* name;
        QStringList statements;
        QStringList faults;
    } rows[] = {
        {"untouched", {}, {}},
        {"an interval changed", {"UPDATE intervals SET liters = liters * 2 WHERE start_utc_ms = 900000"},
         {"intervals: seq 900000 changed"}},
        {"a reading removed from a closed quarter hour", {"DELETE FROM readings WHERE seq = 4"},
         {"readings: seq 4 removed",
          "intervals: the quarter hour from 1970-01-01T00:30:00Z holds 1 readings and 250.25 pulses, the readings "
          "stored for it 0 and 0.00"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString copy = dir.filePath(QStringLiteral("copy/readings.db"));
        QDir(dir.filePath(QStringLiteral("copy"))).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("copy"))));
        ASSERT_TRUE(QFile::copy(path, copy) && QFile::copy(path + ".key", copy + ".key"));
        tamper(copy, row.statements);
        const StoreVerification verification = verifyStore(copy);
        EXPECT_EQ(verification.status, row.faults.isEmpty() ? StoreVerification::Holds : StoreVerification::Broken);
        EXPECT_EQ(faultLines(verification), row.faults);
        if (row.faults.isEmpty())
            EXPECT_TRUE(verificationLines(verification)[1].startsWith(
                QStringLiteral("intervals: 2 rows checked, seq 900000 to 1800000, head ")));
    }
}

TEST_F(SealedStoreTest, AStoreWhoseKeyIsGoneGetsANewChainAndSaysWhatCannotBeChecked)
{
    {
        auto store = openStore();
        ASSERT_TRUE(store);
        for (std::int64_t t = 1; t <= 3; ++t)
            store->append(readingAt(t * 1000, t));
        EXPECT_FALSE(store->keyReplaced());
    }
    const QByteArray lost = contentsOf(path + ".key");
    ASSERT_TRUE(QFile::remove(path + ".key"));
    auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->keyReplaced());
    EXPECT_TRUE(store->notice().contains("can no longer be checked")) << store->notice().toStdString();
    EXPECT_EQ(store->append(readingAt(4000, 4)), 4);
    store.reset();
    EXPECT_EQ(QFileInfo(path + ".key").permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_NE(contentsOf(path + ".key"), lost);
    const StoreVerification verification = verifyStore(path);
    EXPECT_EQ(verification.status, StoreVerification::Broken);
    EXPECT_EQ(faultLines(verification),
              QStringList({"readings: seq 1-3 sealed before the chain's anchor, not checked"}));
}

} // namespace
