// The station's hold on its state folder and its store on a real file: one
// program per folder, a lock that no dead program keeps, readings committed
// in order on the writer's thread and seen by readers only once durable, and
// the check at open only after a stop that was not clean.
#include "fakes/fake_message_box.h"
#include "integration/store_rig.h"
#include "station/station_lock.h"
#include "station/station_store.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

using StationStoreTest = StoreTest;

TEST_F(StationStoreTest, OneProgramHoldsTheFolderUntilItEndsHoweverItEnds)
{
    const QString folder = dir.filePath(QStringLiteral("state/tavelin"));
    StationLock::Attempt first = StationLock::take(folder, QStringLiteral("tavelind"));
    ASSERT_EQ(first.outcome, StationLock::Outcome::Taken) << first.reason.toStdString();
    const StationLock::Attempt second = StationLock::take(folder, QStringLiteral("tavelin"));
    EXPECT_EQ(second.outcome, StationLock::Outcome::Held);
    EXPECT_EQ(second.holder, QStringLiteral("tavelind (PID %1)").arg(::getpid()));
    first.lock.reset();
    EXPECT_EQ(StationLock::take(folder, QStringLiteral("tavelin")).outcome, StationLock::Outcome::Taken);

    // A holder killed with SIGKILL leaves no lock behind.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        StationLock::Attempt held = StationLock::take(folder, QStringLiteral("tavelind"));
        const char taken = held.outcome == StationLock::Outcome::Taken ? 'y' : 'n';
        if (::write(ready[1], &taken, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');
    EXPECT_EQ(StationLock::take(folder, QStringLiteral("tavelin")).holder,
              QStringLiteral("tavelind (PID %1)").arg(child));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(StationLock::take(folder, QStringLiteral("tavelin")).outcome, StationLock::Outcome::Taken);
}

TEST_F(StationStoreTest, ReadingsGoOnFromTheNewestAndReadersSeeThemOnceDurable)
{
    {
        auto earlier = openStore();
        ASSERT_TRUE(earlier);
        earlier->append(readingAt(1000, 500));
    } // ended without a clean stop

    FakeMessageBox messages;
    QStringList lines;
    StationStore store(messages, [&lines](const QString& line, bool) { lines.append(line); });
    QSignalSpy opened(&store, &StationStore::opened);
    QSignalSpy committed(&store, &StationStore::committed);
    EXPECT_EQ(store.newest(), std::nullopt);
    EXPECT_TRUE(store.newestUnknown()) << "not an empty store: not open yet";
    store.open(path, 6900.0);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_TRUE(opened.first().at(0).toBool());
    EXPECT_TRUE(store.uncleanStop());
    ASSERT_TRUE(store.newest());
    EXPECT_EQ(store.newest()->seq, 1);

    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(store.append(readingAt(2000 + i, 600 + i)), 2 + i);
    EXPECT_EQ(store.appendAlarmEvent({0, 3000, QStringLiteral("leak"), QStringLiteral("raised"), 0.7, 0.5}), 1);
    EXPECT_EQ(store.appendEvent({0, 3000, "total_reset", "total", "5 pulses, 0 L", "0 pulses, 0 L", "reset_switch",
                                 "op", "1.0.0"}),
              1);
    store.recordSettings(QStringLiteral("{\"sensor/pulses_per_liter\":\"450\"}"));
    QSignalSpy events(&store, &StationStore::eventsCommitted);
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.durableSeq() == 31; }, 5000));
    EXPECT_EQ(store.waiting(), 0);
    EXPECT_EQ(seqsOf(store.readingsAfter(29, 10)), (std::vector<std::int64_t>{30, 31}));
    EXPECT_EQ(store.alarmEventsAfter(0, 10).size(), 1);
    EXPECT_TRUE(events.count() > 0 || events.wait(5000));
    EXPECT_EQ(store.eventCount(), 1);
    EXPECT_EQ(store.durableSeal().seq, 31);
    EXPECT_EQ(store.durableSeal().seal, store.readingsAfter(30, 1).value(0).seal) << "the seal on the disk";
    EXPECT_EQ(store.durableSeal().seal.size(), 32);
    EXPECT_TRUE(messages.notices.isEmpty()) << messages.notices.join('\n').toStdString();
    ASSERT_TRUE(store.close());

    auto reopened = SqliteReadingsStore::open(path, &error);
    ASSERT_TRUE(reopened);
    EXPECT_FALSE(reopened->uncleanStop()) << "closed cleanly: no check at the next open";
    EXPECT_EQ(reopened->newest()->meterCentipulses, 629);
    EXPECT_EQ(reopened->infoText(QLatin1String(StoreWriter::kRecordedSettingsKey)),
              QStringLiteral("{\"sensor/pulses_per_liter\":\"450\"}"));
}

} // namespace
