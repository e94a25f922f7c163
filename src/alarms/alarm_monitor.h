#pragma once
// The alarms of one instrument: the rules built from the settings, judged
// after each accepted reading and on each sampling tick, and what each event
// sets going: its journal line and store row, its desktop notification and
// what the window shows. Without a rule nothing is built, written or shown.
//
// A message box opened by a cycle holds the sampling timer until it closes;
// a watch timer of its own keeps judging "no reading" meanwhile.

#include "alarms/alarm_journal.h"
#include "alarms/alarm_rules.h"
#include "sensor/sample_listener.h"

#include <memory>
#include <vector>

namespace tavelin {

class AlarmNotifier;
class AlarmView;
class MillisecondCounter;
class WindowTimer;

class AlarmMonitor : public SampleListener, private AlarmEventSink {
public:
    static constexpr int kWatchIntervalMs = 250;

    struct Parts {
        MillisecondCounter& counter;
        WindowTimer& watch; // its ticks call tick()
        AlarmJournal::Parts journal;
        AlarmNotifier* notifier = nullptr; // none: the journal and the window only
    };
    explicit AlarmMonitor(Parts parts);
    ~AlarmMonitor() override;
    AlarmMonitor(const AlarmMonitor&) = delete;
    AlarmMonitor& operator=(const AlarmMonitor&) = delete;

    // A rule turned off or changed ends its alarm first (a raised one is
    // cleared, told as any clear is), then starts afresh; the rules that
    // stay the same go on where they were.
    void configure(const AlarmSettings& settings);
    bool isOn() const { return rules_ != nullptr; }
    // Null while the rules are off.
    const AlarmRules* rules() const { return rules_.get(); }
    void setView(AlarmView* view);
    // Told of each event once its journal line and store row are written,
    // for the outputs that carry the events on; removed before it goes.
    void addEventSink(AlarmEventSink* sink) { sinks_.push_back(sink); }
    void removeEventSink(AlarmEventSink* sink);

    void sampleAccepted(const MeasurementState& state) override;
    void tick();
    void samplingSwitched(bool on);
    void totalReset();
    void acknowledgeAll();
    // The readings store opened after the monitor: its rows from now on.
    void attachStore(ReadingsStore* store) { journal_.attachStore(store); }
    // The program ends: the watch stops, the notifications go, the journal closes.
    void shutDown();

private:
    void alarmEvent(const AlarmEvent& event) override;
    void endAlarm(AlarmId id);
    void acknowledgeFromNotification(const QString& key);
    void withdrawShown();
    void refreshView();
    void updateWatch();

    MillisecondCounter& counter_;
    WindowTimer& watch_;
    AlarmJournal journal_;
    AlarmNotifier* notifier_;
    AlarmView* view_ = nullptr;
    std::vector<AlarmEventSink*> sinks_;
    AlarmSettings settings_;
    std::unique_ptr<AlarmRules> rules_;
    bool sampling_ = false;
};

} // namespace tavelin
