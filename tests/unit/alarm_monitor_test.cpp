// The alarm monitor: what each event sets going (the journal's line and the
// store's row, the outputs told once the row is there, the notification, what
// the window shows), the watch timer, new
// rules against the same ones, a journal that cannot be written, and that
// without a rule nothing is built, written or shown. The journal's lines are
// UTC with milliseconds and plain decimals.
#include "alarms/alarm_monitor.h"
#include "alarms/alarm_view.h"
#include "fakes/fake_alarm_notifier.h"
#include "fakes/fake_counter.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_readings_store.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/fake_wall_clock.h"
#include "fakes/fake_window_timer.h"
#include "sensor/measurement_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kJournal = QStringLiteral("/state/tavelin/alarms.csv");
constexpr std::int64_t kNowMs = 1796652309123; // 2026-12-07T14:05:09.123Z

class FixedClock : public FakeWallClock {
public:
    qint64 currentMSecsSinceEpoch() override { return ms; }
    qint64 ms = kNowMs;
};

// What the window was last told, as "high_flow holds, low_flow acknowledged".
class RecordingView : public AlarmView {
public:
    void showAlarms(const QVector<ShownAlarm>& shown) override
    {
        QStringList parts;
        for (const ShownAlarm& a : shown)
            parts << alarmKey(a.id) + (a.acknowledged ? QStringLiteral(" acknowledged")
                                       : a.holds      ? QStringLiteral(" holds")
                                                      : QStringLiteral(" waits"));
        last = parts.join(QStringLiteral(", ")).toStdString();
        ++calls;
    }
    std::string last;
    int calls = 0;
};

struct Rig {
    FakeMillisecondCounter counter{0, 0};
    FakeWindowTimer watch;
    FakeTextFileChannel channel;
    FakeReadingsStore store;
    FixedClock clock;
    FakeMessageBox messages;
    FakeAlarmNotifier notifier;
    RecordingView view;
    AlarmMonitor monitor{{counter, watch, {&channel, kJournal, &store, clock, messages}, &notifier}};

    explicit Rig(const AlarmSettings& settings)
    {
        monitor.configure(settings);
        monitor.setView(&view);
    }
    void reading(double flow, double total = 0.0)
    {
        MeasurementState state;
        state.dblLitersPerMin = flow;
        state.dblTotalLiters = total;
        monitor.sampleAccepted(state);
    }
    std::string journal() const { return channel.files.value(kJournal).toStdString(); }
};

AlarmSettings highFlow(double threshold)
{
    AlarmSettings s;
    s.highFlowLMin = threshold;
    s.flowDelayS = 0.0;
    return s;
}

TEST(AlarmMonitor, WithoutARuleNothingIsBuiltWrittenOrShown)
{
    Rig r{AlarmSettings{}};
    r.monitor.samplingSwitched(true);
    r.reading(500.0, 9999.0);
    r.monitor.tick();
    r.monitor.acknowledgeAll();
    EXPECT_FALSE(r.monitor.isOn());
    EXPECT_EQ(r.monitor.rules(), nullptr);
    EXPECT_FALSE(r.watch.isEnabled());
    EXPECT_TRUE(r.channel.events.isEmpty()) << "no journal file is opened";
    EXPECT_TRUE(r.store.alarmEvents.isEmpty());
    EXPECT_TRUE(r.notifier.calls.isEmpty());
    EXPECT_EQ(r.view.last, "");
}

TEST(AlarmMonitor, EachEventGoesToTheJournalTheStoreTheNotificationAndTheWindow)
{
    Rig r{highFlow(2.0)};
    EXPECT_EQ(alarmJournalLine(876, {AlarmId::Leak, AlarmEventKind::Cleared, 0.0000001, 1234567.5}).toStdString(),
              "1970-01-01T00:00:00.876Z,leak,cleared,0.0000001,1234567.5\n");
    r.reading(2.5);
    EXPECT_EQ(r.journal(), "2026-12-07T14:05:09.123Z,high_flow,raised,2.5,2\n");
    EXPECT_EQ(r.notifier.calls.join(QLatin1Char('\n')).toStdString(),
              "notify high_flow|High flow|Flow rate 2.5 L/min, above 2 L/min");
    EXPECT_EQ(r.view.last, "high_flow holds");
    ASSERT_EQ(r.store.alarmEvents.size(), 1);
    const StoredAlarmEvent& row = r.store.alarmEvents.first();
    EXPECT_EQ(row.seq, 1);
    EXPECT_EQ(row.utcMs, kNowMs);
    EXPECT_EQ(row.alarm.toStdString(), "high_flow");
    EXPECT_EQ(row.event.toStdString(), "raised");
    EXPECT_EQ(row.value, 2.5);
    EXPECT_EQ(row.threshold, 2.0);

    r.clock.ms += 1000;
    r.reading(1.0); // latched: the notification stays for its acknowledgement
    EXPECT_EQ(r.notifier.calls.size(), 1);
    EXPECT_EQ(r.view.last, "high_flow waits");

    r.clock.ms += 1500;
    ASSERT_TRUE(r.notifier.acknowledge(QStringLiteral("high_flow")));
    r.notifier.acknowledge(QStringLiteral("no_such_alarm"));
    EXPECT_EQ(r.journal(), "2026-12-07T14:05:09.123Z,high_flow,raised,2.5,2\n"
                           "2026-12-07T14:05:10.123Z,high_flow,cleared,1,2\n"
                           "2026-12-07T14:05:11.623Z,high_flow,acknowledged,1,2\n");
    EXPECT_EQ(r.notifier.calls.last().toStdString(), "withdraw high_flow");
    EXPECT_EQ(r.view.last, "");
    EXPECT_EQ(r.store.alarmEvents.size(), 3);
    EXPECT_EQ(r.store.alarmEvents.last().event.toStdString(), "acknowledged");
    EXPECT_EQ(r.channel.events, QStringList{QStringLiteral("open ") + kJournal}) << "opened once, kept open";
}

// The store's rows that each event found already written.
class RowCounter : public AlarmEventSink {
public:
    explicit RowCounter(const FakeReadingsStore& store) : store_(store) {}
    void alarmEvent(const AlarmEvent&) override { rows.push_back(store_.alarmEvents.size()); }
    std::vector<int> rows;

private:
    const FakeReadingsStore& store_;
};

TEST(AlarmMonitor, OutputsAreToldOfEachEventOnceItsRowIsStoredUntilTheyAreRemoved)
{
    Rig r{highFlow(2.0)};
    RowCounter first(r.store), second(r.store);
    r.monitor.addEventSink(&first);
    r.monitor.addEventSink(&second);
    r.reading(2.5);
    r.monitor.removeEventSink(&second);
    r.reading(1.0);
    r.monitor.acknowledgeAll();
    EXPECT_EQ(first.rows, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(second.rows, std::vector<int>{1});
}

TEST(AlarmMonitor, AcknowledgedWhileItHoldsTheNotificationGoesAndTheReadoutStays)
{
    Rig r{highFlow(2.0)};
    r.reading(2.5);
    r.monitor.acknowledgeAll();
    EXPECT_EQ(r.notifier.calls.last().toStdString(), "withdraw high_flow");
    EXPECT_EQ(r.view.last, "high_flow acknowledged");
    r.reading(1.0);
    EXPECT_EQ(r.view.last, "");
    EXPECT_EQ(r.notifier.calls.size(), 2) << "nothing more to take down";
}

TEST(AlarmMonitor, TheWatchRunsWhileSamplingWithNoReadingOnUntilTheEnd)
{
    AlarmSettings silent;
    silent.noReadingS = 2.0;
    Rig r{silent};
    EXPECT_EQ(r.watch.interval(), AlarmMonitor::kWatchIntervalMs);
    EXPECT_FALSE(r.watch.isEnabled());
    r.monitor.samplingSwitched(true);
    EXPECT_TRUE(r.watch.isEnabled());
    r.counter.now = 2000;
    r.monitor.tick(); // a watch tick, while a box holds the sampling timer
    EXPECT_EQ(r.view.last, "no_reading holds");
    r.monitor.samplingSwitched(false);
    EXPECT_FALSE(r.watch.isEnabled());
    r.monitor.samplingSwitched(true);
    r.monitor.shutDown();
    EXPECT_FALSE(r.watch.isEnabled());
    EXPECT_FALSE(r.channel.isOpen()) << "the journal closes";
    r.monitor.samplingSwitched(true);
    r.monitor.configure(highFlow(2.0));
    EXPECT_FALSE(r.watch.isEnabled()) << "no rule needs it";
}

TEST(AlarmMonitor, OtherRulesStartAfreshTheSameRulesKeepTheirState)
{
    Rig r{highFlow(2.0)};
    r.reading(2.5);
    AlarmSettings same = highFlow(2.0);
    same.inFile = true;
    r.monitor.configure(same);
    EXPECT_EQ(r.view.last, "high_flow holds");
    EXPECT_EQ(r.notifier.calls.size(), 1);

    r.monitor.configure(highFlow(3.0));
    EXPECT_EQ(r.notifier.calls.last().toStdString(), "withdraw high_flow");
    EXPECT_EQ(r.view.last, "");
    r.reading(2.5);
    EXPECT_EQ(r.view.last, "") << "2.5 is not above the new threshold";

    r.monitor.configure(AlarmSettings{});
    EXPECT_FALSE(r.monitor.isOn());
}

// A rule turned off or changed ends its alarm before the new rules start: a
// raised one is cleared as any clear is (journal, store, outputs,
// notification, window); a latched one, cleared already, goes quietly; a rule
// that stays the same keeps its alarm.
TEST(AlarmMonitor, ARuleTurnedOffOrChangedClearsItsAlarmFirst)
{
    AlarmSettings highAndBatch = highFlow(2.0);
    highAndBatch.batchLiters = 10.0;
    AlarmSettings batchOnly = highAndBatch;
    batchOnly.highFlowLMin.reset();
    AlarmSettings otherDelay = highAndBatch;
    otherDelay.flowDelayS = 1.0;
    struct Row {
        const char* name;
        double lastFlow;   // after 2.5 L/min raised high flow
        bool acknowledged; // before the rules change
        AlarmSettings next;
        const char* journalAfter; // the events the change adds
        const char* notifierAfter;
        const char* viewAfter;
    } rows[] = {
        {"turned off", 2.5, false, batchOnly, "high_flow,cleared", "withdraw high_flow", "batch holds"},
        {"every rule off", 2.5, false, AlarmSettings{}, "high_flow,cleared batch,cleared",
         "withdraw high_flow withdraw batch", ""},
        {"its timing changed", 2.5, false, otherDelay, "high_flow,cleared", "withdraw high_flow", "batch holds"},
        {"acknowledged, turned off", 2.5, true, batchOnly, "high_flow,cleared", "", "batch holds"},
        {"latched, turned off", 1.0, false, batchOnly, "", "withdraw high_flow", "batch holds"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig r{highAndBatch};
        RowCounter outputs(r.store);
        r.monitor.addEventSink(&outputs);
        r.reading(2.5, 12.0);
        r.reading(row.lastFlow, 12.0);
        if (row.acknowledged)
            r.notifier.acknowledge(QStringLiteral("high_flow"));
        const int events = r.store.alarmEvents.size();
        const int calls = r.notifier.calls.size();
        r.monitor.configure(row.next);

        QStringList added;
        for (const StoredAlarmEvent& event : r.store.alarmEvents.mid(events))
            added << event.alarm + "," + event.event;
        EXPECT_EQ(added.join(' ').toStdString(), row.journalAfter);
        const std::string journal = r.journal();
        EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), r.store.alarmEvents.size()) << journal;
        EXPECT_EQ(int(outputs.rows.size()), r.store.alarmEvents.size()) << "the outputs are told of each";
        EXPECT_EQ(r.notifier.calls.mid(calls).join(' ').toStdString(), row.notifierAfter);
        EXPECT_EQ(r.view.last, row.viewAfter);
    }
}

TEST(AlarmMonitor, AJournalThatCannotBeWrittenIsReportedOnceUntilItIsWrittenAgain)
{
    Rig r{highFlow(2.0)};
    r.channel.openFailure = QStringLiteral("Permission denied");
    r.reading(2.5);
    r.reading(1.0);
    ASSERT_EQ(r.messages.notices.size(), 1);
    EXPECT_EQ(r.messages.notices.first().toStdString(),
              "Alarm events cannot be written to /state/tavelin/alarms.csv: Permission denied. The alarms go on; "
              "the journal starts again by itself once it can be written.");
    EXPECT_EQ(r.store.alarmEvents.size(), 2) << "the store's rows go on";

    r.channel.openFailure.clear();
    r.monitor.acknowledgeAll();
    EXPECT_EQ(r.journal(), "2026-12-07T14:05:09.123Z,high_flow,acknowledged,1,2\n");
    r.channel.failingWrite = r.channel.writes + 1;
    r.reading(2.5);
    EXPECT_EQ(r.messages.notices.size(), 2) << "a line written re-arms the report";
}

} // namespace
