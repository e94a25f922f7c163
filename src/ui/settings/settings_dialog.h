#pragma once
// The Settings dialog: a tab a subject ("Sensor", "Alarms", "MQTT", "Modbus").
// OK checks every field as the settings file's values are checked; a field
// that cannot be used is named, with the reason, in a sentence under
// the fields, and the dialog stays open. Otherwise OK saves to the settings
// file, the keys it changed only: a failed save is shown in the same place
// and the dialog stays open; a save that succeeds accepts the dialog. Cancel
// saves nothing.

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace tavelin {

class AlarmsPage;
class ModbusOutput;
class ModbusSettingsPage;
class MqttPublisher;
class MqttSettingsPage;
class SettingsFile;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(SettingsFile& file, const Settings& current, QWidget* parent = nullptr);

    // Once accepted, the settings the file holds after the save; before that,
    // the ones it was given.
    Settings settings() const { return settings_; }

    void accept() override; // OK
    // The MQTT page follows the publisher's status; none: MQTT is off.
    void showMqttStatus(const MqttPublisher* publisher);
    // The Modbus page follows the server's status; none: Modbus is off.
    void showModbusStatus(const ModbusOutput* output);

private:
    QWidget* createSensorPage();
    void showProblem(const QString& text);

    SettingsFile& file_;
    Settings settings_;

    QTabWidget* tabs_ = nullptr;
    QLineEdit* pulsesPerLiter_ = nullptr;
    QCheckBox* keepTotal_ = nullptr;
    QLineEdit* retentionDays_ = nullptr;
    QLineEdit* intervalYears_ = nullptr;
    AlarmsPage* alarmsPage_ = nullptr;
    MqttSettingsPage* mqttPage_ = nullptr;
    ModbusSettingsPage* modbusPage_ = nullptr;
    QLabel* problem_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

} // namespace tavelin
