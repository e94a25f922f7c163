#pragma once
// The [alarms] section of the settings file: the five rules' thresholds,
// each off while empty, and how they behave. Every value is a decimal.

#include "alarms/alarm_event.h"

#include <QMap>
#include <QString>
#include <QVector>

#include <optional>

namespace tavelin {

struct SettingsProblem;

struct AlarmSettings {
    std::optional<double> highFlowLMin;  // high_flow: flow above it for the delay
    std::optional<double> lowFlowLMin;   // low_flow: flow below it for the delay
    double flowDelayS = 10.0;            // how long high or low flow must last
    double deadbandPercent = 5.0;        // of the threshold, before high or low flow clears
    std::optional<double> noReadingS;    // no_reading: no accepted reading for this long
    std::optional<double> leakFlowLMin;  // leak: flow above it without a pause...
    std::optional<double> leakMinutes;   // ...for this long; both are needed
    std::optional<double> batchLiters;   // batch: the resettable total reaches it
    bool latching = true;                // an alarm stays shown until acknowledged
    // The file has an [alarms] section: its keys are written back even when
    // every rule is off, so that a rule cleared in the dialog is cleared in
    // the file. Without one, a file with every rule off gets none.
    bool inFile = false;

    bool leakOn() const { return leakFlowLMin && leakMinutes; }
    bool anyRule() const { return highFlowLMin || lowFlowLMin || noReadingS || leakOn() || batchLiters; }
    // The rule of that alarm has what it needs to run.
    bool isOn(AlarmId id) const;
    // The same rules and timing; inFile aside.
    bool sameRules(const AlarmSettings& other) const;
    // That alarm's rule is off in both, or on in both with the same
    // threshold, timing and latching.
    bool sameRule(AlarmId id, const AlarmSettings& other) const;
};

namespace settings_key {
constexpr const char* highFlow = "alarms/high_flow_l_min";
constexpr const char* lowFlow = "alarms/low_flow_l_min";
constexpr const char* flowDelay = "alarms/flow_delay_s";
constexpr const char* deadband = "alarms/deadband_percent";
constexpr const char* noReading = "alarms/no_reading_s";
constexpr const char* leakFlow = "alarms/leak_flow_l_min";
constexpr const char* leakMinutes = "alarms/leak_minutes";
constexpr const char* batch = "alarms/batch_liters";
constexpr const char* latching = "alarms/latching";
} // namespace settings_key

// Reads the section's keys into *alarms, as settingsFromValues reads the others.
void readAlarmSettings(const QMap<QString, QString>& values, AlarmSettings* alarms,
                       QVector<SettingsProblem>* problems);

// Adds the section's values when the file has the section or a value differs
// from its default; adds nothing otherwise.
void addAlarmValues(const AlarmSettings& alarms, QMap<QString, QString>* values);

} // namespace tavelin
