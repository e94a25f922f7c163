#pragma once
// The Settings dialog's "MQTT" page: the [mqtt] settings as fields, and a
// line under them that follows how the connection stands.

#include "settings/settings.h"

#include <QMap>
#include <QWidget>

#include <utility>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tavelin {

class MqttPublisher;

class MqttSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit MqttSettingsPage(const MqttSettings& current, QWidget* parent = nullptr);

    // The fields as the file's values, keyed as the file keys them.
    void addValues(QMap<QString, QString>* values) const;
    // Each key's label and field, to name a field that cannot be used.
    QMap<QString, std::pair<QString, QLineEdit*>> fields() const;
    // Follows the publisher's status; none: MQTT is off.
    void showStatus(const MqttPublisher* publisher);

private:
    QLineEdit* addField(const char* key, const QString& label, const QString& value, const QString& objectName);

    QMap<QString, std::pair<QString, QLineEdit*>> fields_;
    QCheckBox* insecure_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace tavelin
