#include "alarms/alarm_rules.h"

#include "platform/millisecond_counter.h"

#include <algorithm>
#include <cmath>

namespace tavelin {

namespace {

constexpr double kMaxDelayMs = 2147483647.0; // elapsed counts stay far from the counter's wrap

std::uint32_t millisecondsOf(double seconds)
{
    return static_cast<std::uint32_t>(std::clamp(std::round(seconds * 1000.0), 0.0, kMaxDelayMs));
}

double secondsOf(std::uint32_t milliseconds)
{
    return milliseconds / 1000.0;
}

} // namespace

AlarmRules::AlarmRules(const AlarmSettings& settings, MillisecondCounter& counter, AlarmEventSink& sink)
    : counter_(counter), sink_(sink), deadband_(settings.deadbandPercent / 100.0), latching_(settings.latching)
{
    const std::uint32_t flowDelay = millisecondsOf(settings.flowDelayS);
    rule(AlarmId::HighFlow) = {settings.highFlowLMin, flowDelay};
    rule(AlarmId::LowFlow) = {settings.lowFlowLMin, flowDelay};
    if (settings.noReadingS)
        rule(AlarmId::NoReading) = {settings.noReadingS, millisecondsOf(*settings.noReadingS)};
    if (settings.leakOn())
        rule(AlarmId::Leak) = {settings.leakFlowLMin, millisecondsOf(*settings.leakMinutes * 60.0)};
    rule(AlarmId::Batch) = {settings.batchLiters, 0};
    lastReadingAt_ = counter_.ticks();
}

void AlarmRules::readingAccepted(double litersPerMin, double totalLiters)
{
    const std::uint32_t now = counter_.ticks();
    if (isOn(AlarmId::NoReading))
        release(AlarmId::NoReading, secondsOf(now - lastReadingAt_));
    lastReadingAt_ = now;

    if (isOn(AlarmId::HighFlow)) {
        const double high = *rule(AlarmId::HighFlow).threshold;
        judgeFlow(AlarmId::HighFlow, now, litersPerMin, litersPerMin > high, litersPerMin < high * (1.0 - deadband_));
    }
    if (isOn(AlarmId::LowFlow)) {
        const double low = *rule(AlarmId::LowFlow).threshold;
        judgeFlow(AlarmId::LowFlow, now, litersPerMin, litersPerMin < low, litersPerMin > low * (1.0 + deadband_));
    }
    if (isOn(AlarmId::Leak)) {
        const bool flowing = litersPerMin > *rule(AlarmId::Leak).threshold;
        judgeFlow(AlarmId::Leak, now, litersPerMin, flowing, !flowing); // the first pause clears it
    }
    if (isOn(AlarmId::Batch) && totalLiters >= *rule(AlarmId::Batch).threshold)
        hold(AlarmId::Batch, now, totalLiters);
}

void AlarmRules::judgeFlow(AlarmId id, std::uint32_t now, double flow, bool holds, bool beyondDeadband)
{
    if (holds)
        hold(id, now, flow);
    else if (!rule(id).active || beyondDeadband)
        release(id, flow);
    // else: raised, and back inside the deadband: it stays
}

void AlarmRules::tick()
{
    if (!sampling_ || !isOn(AlarmId::NoReading))
        return;
    const std::uint32_t now = counter_.ticks();
    Rule& r = rule(AlarmId::NoReading);
    r.pending = true;
    r.since = lastReadingAt_;
    hold(AlarmId::NoReading, now, secondsOf(now - lastReadingAt_));
}

void AlarmRules::samplingSwitched(bool on)
{
    const std::uint32_t now = counter_.ticks();
    if (!on) {
        release(AlarmId::LowFlow, rule(AlarmId::LowFlow).value);
        if (isOn(AlarmId::NoReading))
            release(AlarmId::NoReading, secondsOf(now - lastReadingAt_));
    }
    sampling_ = on;
    lastReadingAt_ = now;
    for (Rule& r : rules_)
        r.pending = false; // no delay runs on across the time without sampling
}

void AlarmRules::totalReset()
{
    release(AlarmId::Batch, 0.0);
}

void AlarmRules::hold(AlarmId id, std::uint32_t now, double value)
{
    Rule& r = rule(id);
    if (!r.pending) {
        r.pending = true;
        r.since = now;
    }
    if (r.active || static_cast<std::uint32_t>(now - r.since) < r.delayMs)
        return;
    r.active = true;
    r.latched = false;
    r.acknowledged = false;
    r.value = value;
    tell(id, AlarmEventKind::Raised);
}

void AlarmRules::release(AlarmId id, double value)
{
    Rule& r = rule(id);
    r.pending = false;
    if (!r.active)
        return;
    r.active = false;
    r.latched = latching_ && !r.acknowledged;
    r.value = value;
    tell(id, AlarmEventKind::Cleared);
}

void AlarmRules::acknowledge(AlarmId id)
{
    Rule& r = rule(id);
    if (!(r.active || r.latched) || r.acknowledged)
        return;
    r.acknowledged = true;
    r.latched = false;
    tell(id, AlarmEventKind::Acknowledged);
}

void AlarmRules::acknowledgeAll()
{
    for (AlarmId id : kAllAlarms)
        acknowledge(id);
}

void AlarmRules::drop(AlarmId id)
{
    Rule& r = rule(id);
    const bool raised = r.active;
    r.pending = false;
    r.active = false;
    r.latched = false;
    if (raised)
        tell(id, AlarmEventKind::Cleared);
}

void AlarmRules::carryOver(const AlarmRules& from, AlarmId id)
{
    rule(id) = from.rule(id);
    if (id == AlarmId::NoReading)
        lastReadingAt_ = from.lastReadingAt_;
}

AlarmRules::Status AlarmRules::status(AlarmId id) const
{
    const Rule& r = rule(id);
    return {r.active || r.latched, r.active, r.acknowledged, r.value, r.threshold.value_or(0.0)};
}

void AlarmRules::tell(AlarmId id, AlarmEventKind kind)
{
    const Rule& r = rule(id);
    sink_.alarmEvent({id, kind, r.value, r.threshold.value_or(0.0)});
}

} // namespace tavelin
