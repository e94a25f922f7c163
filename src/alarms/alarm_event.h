#pragma once
// The five alarms, what happens to them (raised, cleared, acknowledged), and
// how they are named to the operator and in the journal.

#include <QLocale>
#include <QString>

namespace tavelin {

enum class AlarmId { HighFlow, LowFlow, NoReading, Leak, Batch };
inline constexpr int kAlarmCount = 5;
inline constexpr AlarmId kAllAlarms[kAlarmCount] = {AlarmId::HighFlow, AlarmId::LowFlow, AlarmId::NoReading,
                                                    AlarmId::Leak, AlarmId::Batch};

enum class AlarmEventKind { Raised, Cleared, Acknowledged };

struct AlarmEvent {
    AlarmId id = AlarmId::HighFlow;
    AlarmEventKind kind = AlarmEventKind::Raised;
    double value = 0.0;     // L/min for the flow and the leak, seconds for no reading, liters for the batch
    double threshold = 0.0; // in the same unit
};

// "high_flow", "low_flow", "no_reading", "leak", "batch"
QString alarmKey(AlarmId id);
// The id of a key; false when it names no alarm.
bool alarmFromKey(const QString& key, AlarmId* id);
// "High flow", "Low flow", "No reading", "Possible leak", "Batch complete"
QString alarmName(AlarmId id);
// "raised", "cleared", "acknowledged"
QString alarmEventName(AlarmEventKind kind);
// The value against the threshold, in the operator's numbers:
// "Flow rate 2.5 L/min, above 2 L/min".
QString alarmDetail(AlarmId id, double value, double threshold, const QLocale& locale = QLocale());

} // namespace tavelin
