#include "alarms/alarm_monitor.h"

#include "alarms/alarm_view.h"
#include "platform/alarm_notifier.h"
#include "platform/window_timer.h"
#include "sensor/measurement_state.h"

#include <algorithm>

namespace tavelin {

AlarmMonitor::AlarmMonitor(Parts parts)
    : counter_(parts.counter), watch_(parts.watch), journal_(std::move(parts.journal)), notifier_(parts.notifier)
{
    watch_.setInterval(kWatchIntervalMs);
    watch_.setEnabled(false);
    if (notifier_)
        notifier_->setAcknowledgeHandler([this](const QString& key) { acknowledgeFromNotification(key); });
}

AlarmMonitor::~AlarmMonitor()
{
    if (notifier_)
        notifier_->setAcknowledgeHandler(nullptr);
}

void AlarmMonitor::configure(const AlarmSettings& settings)
{
    if (settings.sameRules(settings_))
        return;
    QVector<AlarmId> kept;
    for (AlarmId id : kAllAlarms) {
        if (settings.sameRule(id, settings_))
            kept.append(id);
        else if (rules_)
            endAlarm(id);
    }
    const std::unique_ptr<AlarmRules> old = std::move(rules_);
    settings_ = settings;
    if (settings_.anyRule()) {
        AlarmEventSink& sink = *this;
        rules_ = std::make_unique<AlarmRules>(settings_, counter_, sink);
        rules_->samplingSwitched(sampling_);
        for (AlarmId id : kept) {
            if (old && settings_.isOn(id))
                rules_->carryOver(*old, id);
        }
    }
    updateWatch();
    refreshView();
}

void AlarmMonitor::endAlarm(AlarmId id)
{
    // A raised alarm's clear, through alarmEvent, reaches the journal, the
    // store, the outputs and the notification as any clear does. A latched
    // one was cleared before; its notification waits for an acknowledgement
    // that can no longer come.
    const AlarmRules::Status status = rules_->status(id);
    if (notifier_ && status.shown && !status.holds)
        notifier_->withdraw(alarmKey(id));
    rules_->drop(id);
}

void AlarmMonitor::setView(AlarmView* view)
{
    view_ = view;
    refreshView();
}

void AlarmMonitor::removeEventSink(AlarmEventSink* sink)
{
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void AlarmMonitor::sampleAccepted(const MeasurementState& state)
{
    if (rules_)
        rules_->readingAccepted(state.dblLitersPerMin, state.dblTotalLiters);
}

void AlarmMonitor::tick()
{
    if (rules_)
        rules_->tick();
}

void AlarmMonitor::samplingSwitched(bool on)
{
    sampling_ = on;
    if (rules_)
        rules_->samplingSwitched(on);
    updateWatch();
}

void AlarmMonitor::totalReset()
{
    if (rules_)
        rules_->totalReset();
}

void AlarmMonitor::acknowledgeAll()
{
    if (rules_)
        rules_->acknowledgeAll();
}

void AlarmMonitor::shutDown()
{
    watch_.setEnabled(false);
    withdrawShown();
    journal_.close();
}

void AlarmMonitor::alarmEvent(const AlarmEvent& event)
{
    journal_.record(event);
    for (AlarmEventSink* sink : sinks_)
        sink->alarmEvent(event);
    if (notifier_) {
        const QString key = alarmKey(event.id);
        const AlarmRules::Status status = rules_->status(event.id);
        if (event.kind == AlarmEventKind::Raised)
            notifier_->notify(key, alarmName(event.id), alarmDetail(event.id, event.value, event.threshold));
        else if (event.kind == AlarmEventKind::Acknowledged || !(status.shown || status.acknowledged))
            notifier_->withdraw(key);
        // else: cleared and latched, its notification waits for the
        // acknowledgement; or acknowledged before, its notification is gone
    }
    refreshView();
}

void AlarmMonitor::acknowledgeFromNotification(const QString& key)
{
    AlarmId id;
    if (rules_ && alarmFromKey(key, &id))
        rules_->acknowledge(id);
}

void AlarmMonitor::withdrawShown()
{
    if (!rules_ || !notifier_)
        return;
    for (AlarmId id : kAllAlarms) {
        if (rules_->status(id).shown && !rules_->status(id).acknowledged)
            notifier_->withdraw(alarmKey(id));
    }
}

void AlarmMonitor::refreshView()
{
    if (!view_)
        return;
    QVector<ShownAlarm> shown;
    if (rules_) {
        for (AlarmId id : kAllAlarms) {
            const AlarmRules::Status status = rules_->status(id);
            if (status.shown)
                shown.append({id, alarmName(id), alarmDetail(id, status.value, status.threshold), status.holds,
                              status.acknowledged});
        }
    }
    view_->showAlarms(shown);
}

void AlarmMonitor::updateWatch()
{
    watch_.setEnabled(rules_ && sampling_ && rules_->isOn(AlarmId::NoReading));
}

} // namespace tavelin
