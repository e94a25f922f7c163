#pragma once
// The operator's settings, as read from the settings file. Every default is
// the program's behaviour without a file.

#include "alarms/alarm_settings.h"
#include "platform/text_file_channel.h"
#include "settings/modbus_settings.h"
#include "settings/mqtt_settings.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace tavelin {

struct SensorSettings {
    double pulsesPerLiter = 6900.0; // the sensor's K-factor, > 0 and up to 10 000 000
    bool keepTotal = false;         // restore the resettable total at start-up
};

struct StoreSettings {
    double retentionDays = 7.0; // readings older than this leave the store
    double intervalYears = 10.0; // quarter-hour intervals older than this leave it; 0 keeps them for good
};

// The service program's log file (the window has its Logger dialog instead).
struct LoggingSettings {
    QString file;                          // empty: no log file
    FileOpenMode mode = FileOpenMode::Append;
    double intervalS = 1.0;                // one of the Logger dialog's entries
};

struct Settings {
    SensorSettings sensor;
    StoreSettings store;
    LoggingSettings logging;
    AlarmSettings alarms; // every rule off by default
    MqttSettings mqtt;
    ModbusSettings modbus; // off by default
};

// A value in the file that could not be used, and what was used instead.
struct SettingsProblem {
    QString key;          // "sensor/pulses_per_liter"
    QString value;        // as written in the file
    QString defaultValue; // as it would be written, "6900"
    QString reason;       // "not a number", "out of range (greater than 0, up to 10000000)"
};

// The keys, "section/key" as QSettings keys them (the alarms' in alarm_settings.h,
// Modbus's in modbus_settings.h).
namespace settings_key {
constexpr const char* pulsesPerLiter = "sensor/pulses_per_liter";
constexpr const char* keepTotal = "sensor/keep_total";
constexpr const char* retentionDays = "store/retention_days";
constexpr const char* intervalYears = "store/interval_years";
constexpr const char* logFile = "logging/file";
constexpr const char* logMode = "logging/mode";
constexpr const char* logIntervalS = "logging/interval_s";
constexpr const char* mqttUrl = "mqtt/url";
constexpr const char* mqttDeviceId = "mqtt/device_id";
constexpr const char* mqttTopicPrefix = "mqtt/topic_prefix";
constexpr const char* mqttUsername = "mqtt/username";
constexpr const char* mqttPasswordFile = "mqtt/password_file";
constexpr const char* mqttCaFile = "mqtt/ca_file";
constexpr const char* mqttCertFile = "mqtt/cert_file";
constexpr const char* mqttKeyFile = "mqtt/key_file";
constexpr const char* mqttInsecureSkipVerify = "mqtt/insecure_skip_verify";
constexpr const char* mqttDiscoveryPrefix = "mqtt/discovery_prefix";
} // namespace settings_key

// The settings from the file's values, keyed "section/key" as QSettings keys
// them. A missing key takes its default silently; a value that cannot be
// used takes its default and is added to problems.
Settings settingsFromValues(const QMap<QString, QString>& values, QVector<SettingsProblem>* problems);

// The same when the file is read again while the settings inUse run: a value
// that cannot be used keeps the one in use (and its problem says so) instead
// of taking the default.
Settings settingsKeepingInUse(const QMap<QString, QString>& values, const Settings& inUse,
                              QVector<SettingsProblem>* problems);

// The values to write for the settings, keyed as above: those the program's
// dialogs edit ([logging] is the service program's alone, kept as written).
QMap<QString, QString> valuesFromSettings(const Settings& settings);

// What a change of settings writes: the keys whose values differ between the
// settings before and after, with the values after, and the keys only the
// settings before had.
struct SettingsChanges {
    QMap<QString, QString> values;
    QStringList removed;
    bool isEmpty() const { return values.isEmpty() && removed.isEmpty(); }
};
SettingsChanges settingsChanges(const Settings& before, const Settings& after);

// A number as the file holds it: the C locale's period, no group separators,
// the shortest text that reads back as the same double, no needless zeros
// (6900, 0.5, 450.25); an exponent only far from 1 (1e-07, 1e+16).
QString settingsNumberText(double value);

// One sentence per problem, naming the file, the key, the value and the
// default used instead, one a line; empty when there are none.
QString settingsProblemReport(const QString& filePath, const QVector<SettingsProblem>& problems);

} // namespace tavelin
