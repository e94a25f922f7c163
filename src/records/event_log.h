#pragma once
// The event log's vocabulary: the kinds of event, the sources they come
// from, what a part of the program hands over to be recorded, and an event
// as a row of text (for an export).

#include "platform/readings_store.h"

#include <QStringList>

#include <functional>

namespace tavelin {

namespace event_kind {
constexpr const char* programStarted = "program_started";
constexpr const char* programStopped = "program_stopped";
constexpr const char* uncleanStop = "unclean_stop";
constexpr const char* settingChanged = "setting_changed";
constexpr const char* totalReset = "total_reset";
constexpr const char* clockChanged = "clock_changed";
constexpr const char* storeSetAside = "store_set_aside";
constexpr const char* keyReplaced = "key_replaced";
constexpr const char* portChanged = "port_changed";
constexpr const char* intervalsBuilt = "intervals_built";
} // namespace event_kind

namespace event_source {
constexpr const char* startUp = "start-up";           // found when the store opened
constexpr const char* shutDown = "shut-down";
constexpr const char* settingsDialog = "settings_dialog";
constexpr const char* settingsFile = "settings_file"; // the file changed between runs
constexpr const char* reload = "reload";              // the service's SIGHUP
constexpr const char* resetSwitch = "reset_switch";
constexpr const char* contextMenu = "context_menu";
constexpr const char* system = "system";              // the system's clock
constexpr const char* store = "store";                // what opening the store found
} // namespace event_source

// What is recorded; the time, the user and the version are added on the way.
struct EventRecord {
    QString kind;
    QString subject;
    QString oldValue;
    QString newValue;
    QString source;
};

// Where parts of the program hand their events over (the station).
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void record(const EventRecord& event) = 0;
};

// Every kind, in the order the event log window offers them.
QStringList eventKinds();

// "calibration: 1500 pulses over 0.5 L": the run a calibration's K came from.
QString calibrationSource(double pulses, double volumeLiters);

// An event as a row: the column names, then each event's fields as text
// (its time in ISO 8601 UTC with milliseconds), in the same order.
QStringList eventRowHeader();
QStringList eventRow(const StoredEvent& event);

// Hands every event of the store to row, oldest first, a few thousand read
// at a time, so that a long log is never all in memory (an export's source).
void forEachEvent(ReadingsStore& store, const std::function<void(const StoredEvent&)>& row);

} // namespace tavelin
