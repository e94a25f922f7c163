#pragma once
// The settings as the event log records them, and which of them changed.
// Every key the settings file can hold is recorded (the alarms' also when
// the file has no [alarms] section, the service's [logging] too), so that a
// section coming or going is no change by itself. A password never is: the
// MQTT password lives in a file whose path alone is a setting, and a
// password written into the broker's address is recorded as ***.

#include "settings/settings.h"

#include <QMap>
#include <QVector>

namespace tavelin {

struct SettingChange {
    QString key; // "sensor/pulses_per_liter"
    QString oldValue;
    QString newValue;
};

QMap<QString, QString> recordedSettingValues(const Settings& settings);

// The keys whose values differ, in key order; a key only one side has is
// compared with an empty value.
QVector<SettingChange> settingChangesBetween(const QMap<QString, QString>& before,
                                             const QMap<QString, QString>& after);

// The values as kept in the store between runs (a JSON object), and back;
// a text that is not one gives nothing.
QString recordedSettingsText(const QMap<QString, QString>& values);
QMap<QString, QString> recordedSettingsFrom(const QString& text);

} // namespace tavelin
