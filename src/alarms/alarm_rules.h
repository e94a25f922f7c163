#pragma once
// The five alarm rules and their timing, on the monotonic millisecond
// counter. High and low flow must hold for the flow delay and clear only
// beyond the deadband; a possible leak is flow above its threshold with no
// reading at or below it for its minutes; a batch is complete when the
// resettable total reaches it and clears at Reset; no reading is sampling
// with no accepted reading for its seconds, judged on each tick.
//
// A raised alarm is shown while its condition holds. Once it clears it goes,
// unless latching keeps it shown until it is acknowledged; an alarm
// acknowledged while its condition holds goes as soon as it clears. Each
// raise, clear and acknowledgement is told to the sink as it happens.

#include "alarms/alarm_event.h"
#include "alarms/alarm_settings.h"

#include <cstdint>
#include <optional>

namespace tavelin {

class MillisecondCounter;

class AlarmEventSink {
public:
    virtual ~AlarmEventSink() = default;
    virtual void alarmEvent(const AlarmEvent& event) = 0;
};

class AlarmRules {
public:
    AlarmRules(const AlarmSettings& settings, MillisecondCounter& counter, AlarmEventSink& sink);

    // After each accepted reading: the flow and the total as shown.
    void readingAccepted(double litersPerMin, double totalLiters);
    // A sampling tick, after its cycle: the time since the last reading.
    void tick();
    // Start restarts every delay; Stop also clears what holds only while
    // sampling runs (low flow, no reading).
    void samplingSwitched(bool on);
    // Reset of the resettable total: the batch clears.
    void totalReset();
    void acknowledge(AlarmId id);
    void acknowledgeAll();
    // The rule goes (turned off or changed): a raised alarm clears first,
    // told as any clear is; a latched one goes without a word, its clear
    // told already.
    void drop(AlarmId id);
    // The same rule in rules that replace these: it goes on where it was.
    void carryOver(const AlarmRules& from, AlarmId id);

    struct Status {
        bool shown = false;        // raised, and not yet gone
        bool holds = false;        // its condition still holds
        bool acknowledged = false;
        double value = 0.0;        // at its last event
        double threshold = 0.0;
    };
    Status status(AlarmId id) const;
    bool isOn(AlarmId id) const { return rule(id).threshold.has_value(); }

private:
    struct Rule {
        std::optional<double> threshold; // off when empty
        std::uint32_t delayMs = 0;
        bool pending = false; // the condition holds, the delay runs
        std::uint32_t since = 0;
        bool active = false;  // raised, and the condition holds
        bool latched = false; // cleared, waiting for its acknowledgement
        bool acknowledged = false;
        double value = 0.0;
    };

    Rule& rule(AlarmId id) { return rules_[static_cast<int>(id)]; }
    const Rule& rule(AlarmId id) const { return rules_[static_cast<int>(id)]; }
    // The condition holds at now: raised once it has held for the delay.
    void hold(AlarmId id, std::uint32_t now, double value);
    // The condition no longer holds (beyond any deadband): the delay stops,
    // and a raised alarm clears.
    void release(AlarmId id, double value);
    void judgeFlow(AlarmId id, std::uint32_t now, double flow, bool holds, bool beyondDeadband);
    void tell(AlarmId id, AlarmEventKind kind);

    MillisecondCounter& counter_;
    AlarmEventSink& sink_;
    double deadband_;
    bool latching_;
    bool sampling_ = false;
    std::uint32_t lastReadingAt_ = 0;
    Rule rules_[kAlarmCount];
};

} // namespace tavelin
