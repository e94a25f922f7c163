// The store's core side: what each accepted reading leaves in the store (its
// sequence number, the exact meter), a failing store reported once, old
// readings leaving after the retention, the totals text, and where the store
// lives.
#include "fakes/fake_message_box.h"
#include "fakes/fake_interval_source.h"
#include "fakes/fake_readings_store.h"
#include "fakes/fake_wall_clock.h"
#include "platform/state_directory.h"
#include "sensor/measurement_state.h"
#include "sensor/store_recorder.h"
#include "sensor/totals_report.h"

#include <gtest/gtest.h>

#include <QDir>

#include <ctime>
#include <vector>

using namespace tavelin;
using namespace tavelin::test;

namespace {

MeasurementState stateOf(double frequency)
{
    MeasurementState state;
    state.dblFrequency = frequency;
    state.dblLitersPerMin = frequency * 60.0 / 6900.0;
    state.dblPulseTotal = frequency * 3.0;
    state.dblTotalLiters = frequency / 100.0;
    return state;
}

struct Rig {
    FakeReadingsStore store;
    FakeWallClock clock{QDate(2026, 12, 9), QTime(2, 16, 5, 123)};
    FakeMessageBox messages;

    qint64 nowMs() { return clock.currentMSecsSinceEpoch(); }
    void accept(StoreRecorder& recorder, double frequency)
    {
        recorder.sampleAccepted(stateOf(frequency));
        clock.time = clock.time.addSecs(1);
    }
};

struct MeterRow {
    const char* name;
    std::vector<double> frequencies;
    std::vector<std::int64_t> meters; // after each reading
};

TEST(StoreRecorder, EachReadingIsStoredWithTheNextSeqAndTheExactMeter)
{
    const MeterRow rows[] = {
        {"whole", {250.0, 250.0, 250.0}, {25000, 50000, 75000}},
        // 0.29 * 100 is 28.999999999999996: rounded, not cut.
        {"hundredths that doubles miss", {0.29, 0.57, 1.15}, {29, 86, 201}},
        {"no flow still stored", {0.0, 12.34, 0.0}, {0, 1234, 1234}},
        {"the module's largest reading", {99999.99, 99999.99}, {9999999, 19999998}},
    };
    for (const MeterRow& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
        std::vector<qint64> times;
        for (double frequency : row.frequencies) {
            times.push_back(rig.nowMs());
            rig.accept(recorder, frequency);
        }
        ASSERT_EQ(rig.store.rows.size(), static_cast<int>(row.frequencies.size()));
        for (int i = 0; i < rig.store.rows.size(); ++i) {
            const StoredReading& stored = rig.store.rows[i];
            EXPECT_EQ(stored.seq, i + 1);
            EXPECT_EQ(stored.utcMs, times[i]);
            EXPECT_EQ(stored.meterCentipulses, row.meters[i]);
            const MeasurementState state = stateOf(row.frequencies[i]);
            EXPECT_DOUBLE_EQ(stored.frequency, state.dblFrequency);
            EXPECT_DOUBLE_EQ(stored.litersPerMin, state.dblLitersPerMin);
            EXPECT_DOUBLE_EQ(stored.pulseTotal, state.dblPulseTotal);
            EXPECT_DOUBLE_EQ(stored.totalLiters, state.dblTotalLiters);
        }
        EXPECT_EQ(recorder.lastSeq(), static_cast<std::int64_t>(row.frequencies.size()));
        EXPECT_EQ(recorder.meterCentipulses(), row.meters.back());
        EXPECT_TRUE(rig.messages.notices.isEmpty());
    }
}

TEST(StoreRecorder, MeterAndSeqContinueFromTheStoresNewestReading)
{
    Rig rig;
    StoredReading older;
    older.seq = 40;
    older.meterCentipulses = 700;
    StoredReading newest;
    newest.seq = 41;
    newest.meterCentipulses = 123456725;
    rig.store.rows = {older, newest};

    StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
    EXPECT_TRUE(recorder.hasStore());
    EXPECT_EQ(recorder.lastSeq(), 41);
    EXPECT_EQ(recorder.meterCentipulses(), 123456725);

    rig.accept(recorder, 2.5);
    EXPECT_EQ(rig.store.rows.last().seq, 42);
    EXPECT_EQ(rig.store.rows.last().meterCentipulses, 123456975);
    EXPECT_EQ(recorder.lastSeq(), 42);
}

// A newest reading that cannot be read (busy, an I/O error) is not an empty
// store: the readings wait, and once it can be read they are stored in order
// with the meter going on from it, never from 0.
TEST(StoreRecorder, ReadingsWaitWhileTheNewestCannotBeReadAndTheMeterGoesOnFromIt)
{
    Rig rig;
    StoredReading newest;
    newest.seq = 41;
    newest.utcMs = rig.nowMs() - 1000;
    newest.meterCentipulses = 5000;
    rig.store.rows = {newest};
    rig.store.newestFails = true;
    StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
    rig.accept(recorder, 1.0);
    rig.accept(recorder, 2.0);
    EXPECT_EQ(rig.store.rows.size(), 1) << "nothing stored while the meter is unknown";
    EXPECT_EQ(recorder.lastSeq(), std::nullopt);

    rig.store.newestFails = false;
    rig.accept(recorder, 3.0);
    ASSERT_EQ(rig.store.rows.size(), 4);
    EXPECT_EQ(rig.store.rows[1].meterCentipulses, 5100);
    EXPECT_EQ(rig.store.rows[2].meterCentipulses, 5300);
    EXPECT_EQ(rig.store.rows[3].meterCentipulses, 5600);
    EXPECT_LT(rig.store.rows[1].utcMs, rig.store.rows[3].utcMs) << "each keeps the time it was taken";
    EXPECT_EQ(recorder.lastSeq(), 44);
}

// A calibration that raises K lowers every later reading's liters, never the
// meter already counted; a store's newest reading from before K was kept
// starts the meter in liters at the K in force.
TEST(StoreRecorder, TheMeterInLitersCountsEachReadingAtItsOwnKAndNeverFalls)
{
    Rig rig;
    StoredReading older;
    older.seq = 9;
    older.meterCentipulses = 690000; // 6900 pulses, stored without its K
    older.utcMs = rig.nowMs() - 1000;
    rig.store.rows = {older};
    StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
    EXPECT_DOUBLE_EQ(recorder.meterLiters(), 1.0);

    rig.accept(recorder, 6900.0);
    recorder.setPulsesPerLiter(7000.0);
    rig.accept(recorder, 7000.0);
    ASSERT_EQ(rig.store.rows.size(), 3);
    EXPECT_DOUBLE_EQ(rig.store.rows[1].meterLiters, 2.0);
    EXPECT_DOUBLE_EQ(rig.store.rows[1].pulsesPerLiter, 6900.0);
    EXPECT_DOUBLE_EQ(rig.store.rows[2].meterLiters, 3.0);
    EXPECT_DOUBLE_EQ(rig.store.rows[2].pulsesPerLiter, 7000.0);
    EXPECT_EQ(rig.store.rows[2].meterCentipulses, 690000 + 690000 + 700000);

    StoreRecorder restarted(&rig.store, rig.clock, rig.messages);
    EXPECT_DOUBLE_EQ(restarted.meterLiters(), 3.0) << "carried by the newest reading, whatever K is now";
}

TEST(StoreRecorder, AFailingStoreIsReportedOnceAndAgainOnlyAfterASuccess)
{
    Rig rig;
    StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
    rig.accept(recorder, 1.0);

    rig.store.failAppends = true;
    for (int i = 0; i < 5; ++i)
        rig.accept(recorder, 1.0);
    ASSERT_EQ(rig.messages.notices.size(), 1);
    EXPECT_EQ(rig.store.removals.size(), 1) << "only a stored reading makes room";
    const QString notice = rig.messages.notices.first();
    EXPECT_TRUE(notice.contains(rig.store.path)) << notice.toStdString();
    EXPECT_TRUE(notice.contains(QStringLiteral("database or disk is full"))) << notice.toStdString();
    EXPECT_TRUE(notice.contains(QStringLiteral("Sampling and logging go on"))) << notice.toStdString();
    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << "a waiting box would stall sampling";
    EXPECT_EQ(recorder.lastSeq(), 1);

    // What flowed while the store failed is still on the meter.
    rig.store.failAppends = false;
    rig.accept(recorder, 1.0);
    EXPECT_EQ(rig.store.rows.last().seq, 2);
    EXPECT_EQ(rig.store.rows.last().meterCentipulses, 700);
    EXPECT_EQ(rig.messages.notices.size(), 1);

    rig.store.failAppends = true;
    rig.accept(recorder, 1.0);
    rig.accept(recorder, 1.0);
    EXPECT_EQ(rig.messages.notices.size(), 2);
}

struct RetentionRow {
    const char* name;
    double days;
    std::optional<qint64> keptMs; // how far back the cutoff lies; none: no removal
};

TEST(StoreRecorder, OldReadingsLeaveInSmallBatchesAfterEachStoredReading)
{
    const RetentionRow rows[] = {
        {"a week", 7.0, qint64(7) * 86400000},
        {"half a day", 0.5, qint64(43200000)},
        {"a fraction of a millisecond rounds", 1.0 / 86400000.0 * 2.6, qint64(3)},
        {"zero keeps everything", 0.0, std::nullopt},
        {"negative keeps everything", -3.0, std::nullopt},
        {"reaching before the epoch", 1e9, std::nullopt},
    };
    for (const RetentionRow& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        StoreRecorder recorder(&rig.store, rig.clock, rig.messages);
        recorder.setRetentionDays(row.days);
        const qint64 now = rig.nowMs();
        rig.accept(recorder, 5.0);
        if (!row.keptMs) {
            EXPECT_TRUE(rig.store.removals.isEmpty());
            continue;
        }
        ASSERT_EQ(rig.store.removals.size(), 1);
        EXPECT_EQ(rig.store.removals[0].first, now - *row.keptMs);
        EXPECT_EQ(rig.store.removals[0].second, StoreRecorder::kPruneBatchRows);
    }
}

TEST(StoreRecorder, WithoutAStoreItDoesNothing)
{
    Rig rig;
    StoreRecorder recorder(nullptr, rig.clock, rig.messages);
    rig.accept(recorder, 250.0);
    EXPECT_FALSE(recorder.hasStore());
    EXPECT_EQ(recorder.lastSeq(), std::nullopt);
    EXPECT_EQ(recorder.meterCentipulses(), 0);
    EXPECT_TRUE(rig.messages.notices.isEmpty());
}

struct TotalsRow {
    const char* name;
    bool withStore;
    std::vector<StoredReading> rows;
    double pulsesPerLiter;
    const char* expected;
};

StoredReading stored(std::int64_t seq, std::int64_t utcMs, double totalLiters, std::int64_t meter)
{
    StoredReading reading;
    reading.seq = seq;
    reading.utcMs = utcMs;
    reading.totalLiters = totalLiters;
    reading.meterCentipulses = meter;
    return reading;
}

#define kStoreId "0b0e9f4c-2d0e-4a57-9a4e-1f6f3c2a7d11"

TEST(TotalsReport, PrintsTheNewestReadingsTotalsOneKeyALine)
{
    const qint64 at = QDateTime(QDate(2026, 12, 9), QTime(2, 16, 5, 123), Qt::UTC).toMSecsSinceEpoch();
    const TotalsRow rows[] = {
        {"no store", false, {}, 6900.0,
         "meter_pulses=0.00\nmeter_liters=0.00\ntotal_liters=0.00\npulses_per_liter=6900\n"
         "last_reading=\nreadings=0\nstore_id=\nseq=0\nseal=\nevents=0\n"},
        {"an empty store", true, {}, 450.5,
         "meter_pulses=0.00\nmeter_liters=0.00\ntotal_liters=0.00\npulses_per_liter=450.5\n"
         "last_reading=\nreadings=0\nstore_id=" kStoreId "\nseq=0\nseal=\nevents=0\n"},
        {"the newest row counts, with its seal", true,
         {stored(6, at - 1000, 99.0, 5), [&] {
              StoredReading r = stored(7, at, 13.5, 123456725);
              r.seal = QByteArray::fromHex("00ff10");
              return r;
          }()},
         6900.0,
         "meter_pulses=1234567.25\nmeter_liters=178.92\ntotal_liters=13.50\npulses_per_liter=6900\n"
         "last_reading=2026-12-09T02:16:05.123Z\nreadings=2\nstore_id=" kStoreId "\nseq=7\nseal=00ff10\nevents=2\n"},
        {"a meter beyond a double's digits stays exact", true, {stored(1, at - 123, 0.004, 900719925474099301)},
         10000000.0,
         "meter_pulses=9007199254740993.01\nmeter_liters=900719925.47\ntotal_liters=0.00\n"
         "pulses_per_liter=10000000\nlast_reading=2026-12-09T02:16:05.000Z\nreadings=1\nstore_id=" kStoreId "\nseq=1\nseal=\nevents=2\n"},
        {"hundredths below one pulse", true, {stored(3, at + 877, 0.01, 7)}, 0.125,
         "meter_pulses=0.07\nmeter_liters=0.56\ntotal_liters=0.01\npulses_per_liter=0.125\n"
         "last_reading=2026-12-09T02:16:06.000Z\nreadings=1\nstore_id=" kStoreId "\nseq=3\nseal=\nevents=2\n"},
        {"a meter run backwards keeps its sign in front", true, {stored(4, at, -0.5, -12345)}, 6900.0,
         "meter_pulses=-123.45\nmeter_liters=-0.02\ntotal_liters=-0.50\npulses_per_liter=6900\n"
         "last_reading=2026-12-09T02:16:05.123Z\nreadings=1\nstore_id=" kStoreId "\nseq=4\nseal=\nevents=2\n"},
        {"the meter in liters is the one each reading carries, at the K it was taken at", true,
         {[&] {
             StoredReading r = stored(8, at, 10.0, 690000);
             r.pulsesPerLiter = 7000.0;
             r.meterLiters = 98.765;
             return r;
         }()},
         6900.0,
         "meter_pulses=6900.00\nmeter_liters=98.77\ntotal_liters=10.00\npulses_per_liter=6900\n"
         "last_reading=2026-12-09T02:16:05.123Z\nreadings=1\nstore_id=" kStoreId "\nseq=8\nseal=\nevents=2\n"},
    };
    for (const TotalsRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeReadingsStore store;
        store.rows = QVector<StoredReading>(row.rows.begin(), row.rows.end());
        if (!row.rows.empty())
            store.events.resize(2);
        EXPECT_EQ(totalsReport(row.withStore ? &store : nullptr, row.pulsesPerLiter).toStdString(), row.expected);
    }
    // With the store's intervals: the local day, the day before, the month and the month before.
    qputenv("TZ", "UTC");
    tzset();
    FakeIntervalSource intervals;
    intervals.add(at - 16 * 60000, 900);                     // today, 02:00
    intervals.add(at - (14 * 3600 + 16 * 60) * 1000LL, 450); // yesterday, 12:00
    intervals.add(at - (8 * 86400 + 2 * 3600 + 31 * 60) * 1000LL, 1); // 30 November, 23:45
    FakeReadingsStore store;
    const QString report = totalsReport(&store, 6900.0, &intervals, at);
    EXPECT_TRUE(report.endsWith(QStringLiteral("readings=0\ntoday_liters=32.61\nyesterday_liters=16.30\n"
                                               "this_month_liters=48.91\nlast_month_liters=0.04\nstore_id=" kStoreId "\nseq=0\nseal=\n"
                                               "events=0\n")))
        << report.toStdString();
    intervals.failing = true;
    EXPECT_FALSE(totalsReport(&store, 6900.0, &intervals, at).contains(QStringLiteral("today_liters")));
}

struct StateDirectoryRow {
    const char* name;
    const char* stateDirectory; // nullptr: unset
    const char* xdgStateHome;
    QString expected;
};

TEST(StateDirectory, SystemdFirstThenXdgThenTheHomeFolder)
{
    const QString home = QDir::homePath();
    const StateDirectoryRow rows[] = {
        {"systemd's only path", "/var/lib/tavelin", "/home/op/.state", "/var/lib/tavelin"},
        {"systemd's first of several", "/var/lib/tavelin:/var/lib/other", nullptr, "/var/lib/tavelin"},
        {"systemd's empty entries skipped", ":/var/lib/tavelin/", nullptr, "/var/lib/tavelin"},
        {"an empty systemd variable", "", "/home/op/.state", "/home/op/.state/tavelin"},
        {"XDG", nullptr, "/home/op/.state", "/home/op/.state/tavelin"},
        {"a relative XDG path is ignored", nullptr, "state", home + "/.local/state/tavelin"},
        {"neither", nullptr, nullptr, home + "/.local/state/tavelin"},
    };
    const QByteArray savedState = qgetenv("STATE_DIRECTORY");
    const QByteArray savedXdg = qgetenv("XDG_STATE_HOME");
    for (const StateDirectoryRow& row : rows) {
        SCOPED_TRACE(row.name);
        row.stateDirectory ? qputenv("STATE_DIRECTORY", row.stateDirectory) : qunsetenv("STATE_DIRECTORY");
        row.xdgStateHome ? qputenv("XDG_STATE_HOME", row.xdgStateHome) : qunsetenv("XDG_STATE_HOME");
        EXPECT_EQ(stateDirectory().toStdString(), row.expected.toStdString());
        EXPECT_EQ(readingsStorePath().toStdString(), (row.expected + "/readings.db").toStdString());
    }
    savedState.isNull() ? qunsetenv("STATE_DIRECTORY") : qputenv("STATE_DIRECTORY", savedState);
    savedXdg.isNull() ? qunsetenv("XDG_STATE_HOME") : qputenv("XDG_STATE_HOME", savedXdg);
}

} // namespace
