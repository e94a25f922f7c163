// The alarm rules' timing on a fake millisecond counter: each rule is raised
// once its delay has passed and not before, clears beyond its deadband, and
// latches until acknowledged; Start and Stop restart the delays, Reset clears
// a complete batch, and no reading is judged on the ticks.
#include "alarms/alarm_rules.h"
#include "fakes/fake_counter.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>
#include <string>
#include <vector>

using namespace tavelin;
using namespace tavelin::test;

namespace {

// Each event as "high_flow raised 2.5/2".
class EventLog : public AlarmEventSink {
public:
    void alarmEvent(const AlarmEvent& e) override
    {
        events << QStringLiteral("%1 %2 %3/%4")
                      .arg(alarmKey(e.id), alarmEventName(e.kind))
                      .arg(e.value)
                      .arg(e.threshold);
    }
    QStringList events;
};

enum class Do { Reading, Tick, Start, Stop, Reset, Acknowledge /* high flow */, AcknowledgeAll };

struct Step {
    std::uint32_t at; // the counter, in ms
    Do action;
    double flow = 0.0;  // a reading's L/min
    double total = 0.0; // a reading's total liters
    const char* events = ""; // what the step tells, "; " between events
    const char* shown = nullptr; // the alarms shown after it, by key; nullptr: not checked
};

Step reading(std::uint32_t at, double flow, const char* events = "", const char* shown = nullptr)
{
    return {at, Do::Reading, flow, 0.0, events, shown};
}
Step total(std::uint32_t at, double liters, const char* events = "", const char* shown = nullptr)
{
    return {at, Do::Reading, 1.0, liters, events, shown};
}
Step step(std::uint32_t at, Do action, const char* events = "", const char* shown = nullptr)
{
    return {at, action, 0.0, 0.0, events, shown};
}
Step acknowledge(std::uint32_t at, const char* events, const char* shown = nullptr)
{
    return {at, Do::Acknowledge, 0.0, 0.0, events, shown};
}

AlarmSettings rules(void (*set)(AlarmSettings&))
{
    AlarmSettings s;
    set(s);
    return s;
}

struct RulesCase {
    const char* name;
    AlarmSettings settings;
    std::vector<Step> steps;
    std::uint32_t start = 0; // the counter when the rules are made
};

void PrintTo(const RulesCase& c, std::ostream* out)
{
    *out << c.name;
}

class Timing : public ::testing::TestWithParam<RulesCase> {};

QString shownKeys(const AlarmRules& rules)
{
    QStringList keys;
    for (AlarmId id : kAllAlarms)
        if (rules.status(id).shown)
            keys << alarmKey(id);
    return keys.join(QLatin1Char(' '));
}

TEST_P(Timing, TellsEachEventWhenItIsDue)
{
    const RulesCase& c = GetParam();
    FakeMillisecondCounter counter(c.start, 0);
    EventLog log;
    AlarmRules rules(c.settings, counter, log);
    for (const Step& s : c.steps) {
        counter.now = c.start + s.at;
        log.events.clear();
        switch (s.action) {
        case Do::Reading: rules.readingAccepted(s.flow, s.total); break;
        case Do::Tick: rules.tick(); break;
        case Do::Start: rules.samplingSwitched(true); break;
        case Do::Stop: rules.samplingSwitched(false); break;
        case Do::Reset: rules.totalReset(); break;
        case Do::Acknowledge: rules.acknowledge(AlarmId::HighFlow); break;
        case Do::AcknowledgeAll: rules.acknowledgeAll(); break;
        }
        SCOPED_TRACE("at " + std::to_string(s.at) + " ms");
        EXPECT_EQ(log.events.join(QStringLiteral("; ")).toStdString(), s.events);
        if (s.shown) {
            EXPECT_EQ(shownKeys(rules).toStdString(), s.shown);
        }
    }
}

const auto kHigh2 = rules([](AlarmSettings& s) { s.highFlowLMin = 2.0; s.flowDelayS = 2.0; });
const auto kHigh2Now = rules([](AlarmSettings& s) { s.highFlowLMin = 2.0; s.flowDelayS = 0.0; });
const auto kHigh2NowUnlatched = rules([](AlarmSettings& s) {
    s.highFlowLMin = 2.0; s.flowDelayS = 0.0; s.latching = false; });
const auto kLow1 = rules([](AlarmSettings& s) { s.lowFlowLMin = 1.0; s.flowDelayS = 1.0; s.deadbandPercent = 10.0; });
const auto kLeak = rules([](AlarmSettings& s) { s.leakFlowLMin = 0.5; s.leakMinutes = 0.1; s.latching = false; });
const auto kLeakFlowOnly = rules([](AlarmSettings& s) { s.leakFlowLMin = 0.5; });
const auto kBatch = rules([](AlarmSettings& s) { s.batchLiters = 10.0; });
const auto kNoReading = rules([](AlarmSettings& s) { s.noReadingS = 3.0; });
const auto kLowAndSilent = rules([](AlarmSettings& s) {
    s.lowFlowLMin = 1.0; s.flowDelayS = 0.0; s.noReadingS = 2.0; s.latching = false; });

INSTANTIATE_TEST_SUITE_P(
    Rules, Timing,
    ::testing::Values(
        RulesCase{"HighFlowAfterItsDelayNotBefore", kHigh2,
                  {reading(0, 2.5), reading(1000, 2.5), reading(1999, 2.5, "", ""),
                   reading(2000, 2.5, "high_flow raised 2.5/2", "high_flow"), reading(3000, 2.6)}},
        RulesCase{"AtTheThresholdIsNotAbove", kHigh2,
                  {reading(0, 2.0), reading(5000, 2.0, "", "")}},
        RulesCase{"ADipRestartsTheDelay", kHigh2,
                  {reading(0, 2.5), reading(1000, 1.99), reading(2000, 2.5), reading(3000, 2.5),
                   reading(4000, 2.5, "high_flow raised 2.5/2")}},
        RulesCase{"HighClearsOnlyBelowTheDeadband", kHigh2Now,
                  {reading(0, 2.5, "high_flow raised 2.5/2"), reading(1000, 1.95, "", "high_flow"),
                   reading(2000, 1.9, "", "high_flow"), reading(3000, 1.89, "high_flow cleared 1.89/2", "high_flow")}},
        RulesCase{"LowClearsOnlyAboveTheDeadband", kLow1,
                  {reading(0, 0.5), reading(1000, 0.5, "low_flow raised 0.5/1"), reading(2000, 1.05),
                   reading(3000, 1.1), reading(4000, 1.11, "low_flow cleared 1.11/1")}},
        RulesCase{"LatchedUntilAcknowledged", kHigh2Now,
                  {reading(0, 2.5, "high_flow raised 2.5/2"), reading(1000, 1.0, "high_flow cleared 1/2", "high_flow"),
                   acknowledge(2000, "high_flow acknowledged 1/2", ""),
                   acknowledge(3000, "", "")}},
        RulesCase{"AcknowledgedWhileItHoldsGoesWhenItClears", kHigh2Now,
                  {reading(0, 2.5, "high_flow raised 2.5/2"),
                   acknowledge(500, "high_flow acknowledged 2.5/2", "high_flow"),
                   reading(1000, 1.0, "high_flow cleared 1/2", ""),
                   reading(2000, 2.4, "high_flow raised 2.4/2", "high_flow")}},
        RulesCase{"UnlatchedGoesByItself", kHigh2NowUnlatched,
                  {reading(0, 2.5, "high_flow raised 2.5/2"), reading(1000, 1.0, "high_flow cleared 1/2", ""),
                   acknowledge(2000, "", "")}},
        RulesCase{"LatchedAlarmRaisedAgain", kHigh2Now,
                  {reading(0, 2.5, "high_flow raised 2.5/2"), reading(1000, 1.0, "high_flow cleared 1/2"),
                   reading(2000, 3.0, "high_flow raised 3/2", "high_flow"),
                   step(2500, Do::AcknowledgeAll, "high_flow acknowledged 3/2", "high_flow")}},
        RulesCase{"LeakAfterItsMinutes", kLeak,
                  {reading(0, 0.6), reading(3000, 0.6), reading(5999, 0.6, "", ""),
                   reading(6000, 0.7, "leak raised 0.7/0.5", "leak"), reading(7000, 0.5, "leak cleared 0.5/0.5", "")}},
        RulesCase{"OnePauseRestartsTheLeak", kLeak,
                  {reading(0, 0.6), reading(3000, 0.5), reading(4000, 0.6), reading(9999, 0.6),
                   reading(10000, 0.6, "leak raised 0.6/0.5")}},
        RulesCase{"LeakNeedsItsMinutes", kLeakFlowOnly, {reading(0, 5.0), reading(86400000, 5.0, "", "")}},
        RulesCase{"BatchAtItsTotalClearsAtReset", kBatch,
                  {total(0, 9.99), total(1000, 10.0, "batch raised 10/10", "batch"), total(2000, 10.5),
                   step(2500, Do::Reset, "batch cleared 0/10", "batch"), total(3000, 0.03),
                   step(3500, Do::AcknowledgeAll, "batch acknowledged 0/10", "")}},
        RulesCase{"NoReadingOnTicksFromStart", kNoReading,
                  {step(0, Do::Tick), step(500, Do::Start), step(3499, Do::Tick),
                   step(3500, Do::Tick, "no_reading raised 3/3", "no_reading"), step(3750, Do::Tick),
                   reading(4000, 1.0, "no_reading cleared 3.5/3", "no_reading"), step(5000, Do::Tick)}},
        RulesCase{"NoReadingCountsFromTheLastReading", kNoReading,
                  {step(0, Do::Start), reading(2000, 1.0), step(4999, Do::Tick), reading(5000, 1.0),
                   step(7999, Do::Tick), step(8000, Do::Tick, "no_reading raised 3/3")}},
        RulesCase{"StopClearsLowFlowAndNoReading", kLowAndSilent,
                  {step(0, Do::Start), reading(500, 0.2, "low_flow raised 0.2/1"),
                   step(2500, Do::Tick, "no_reading raised 2/2"),
                   step(3000, Do::Stop, "low_flow cleared 0.2/1; no_reading cleared 2.5/2", ""),
                   step(9000, Do::Tick, "", "")}},
        RulesCase{"StartRestartsTheDelay", kHigh2,
                  {step(0, Do::Start), reading(100, 2.5), step(500, Do::Stop), step(10000, Do::Start),
                   reading(10500, 2.5), reading(12499, 2.5), reading(12500, 2.5, "high_flow raised 2.5/2")}},
        RulesCase{"DelayAcrossTheCounterWrap", kHigh2,
                  {reading(0, 2.5), reading(1000, 2.5), reading(2000, 2.5, "high_flow raised 2.5/2")},
                  0xFFFFFC00u}),
    [](const ::testing::TestParamInfo<RulesCase>& info) { return std::string(info.param.name); });

} // namespace
