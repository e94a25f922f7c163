#pragma once
// The Settings dialog's "Modbus" page: the [modbus] settings as fields, and
// a line under them that follows how the server stands.

#include "settings/settings.h"

#include <QMap>
#include <QWidget>

#include <utility>

class QLabel;
class QLineEdit;

namespace tavelin {

class ModbusOutput;

class ModbusSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit ModbusSettingsPage(const ModbusSettings& current, QWidget* parent = nullptr);

    // The fields as the file's values, keyed as the file keys them.
    void addValues(QMap<QString, QString>* values) const;
    // Each key's label and field, to name a field that cannot be used.
    QMap<QString, std::pair<QString, QLineEdit*>> fields() const { return fields_; }
    // Follows the server's status; none, or an empty status: Modbus is off.
    void showStatus(const ModbusOutput* output);

private:
    void addField(const char* key, const QString& label, const QString& value, const char* objectName);

    QMap<QString, std::pair<QString, QLineEdit*>> fields_;
    QLabel* status_ = nullptr;
};

} // namespace tavelin
