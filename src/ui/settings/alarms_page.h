#pragma once
// The Settings dialog's "Alarms" page: a field for each rule's threshold
// (empty: the rule is off), the flow delay, the deadband, and whether alarms
// stay until acknowledged. The dialog checks its values with the others.

#include "alarms/alarm_settings.h"

#include <QMap>
#include <QWidget>

#include <utility>

class QCheckBox;
class QLineEdit;

namespace tavelin {

class AlarmsPage : public QWidget {
    Q_OBJECT
public:
    explicit AlarmsPage(const AlarmSettings& current, QWidget* parent = nullptr);

    // The fields' values, keyed as the settings file keys them.
    void addValues(QMap<QString, QString>* values) const;
    // Each field's label and editor, by key, for naming a value that cannot be used.
    QMap<QString, std::pair<QString, QLineEdit*>> fields() const { return fields_; }

private:
    QLineEdit* addField(const char* key, const QString& label, const QString& value);

    QMap<QString, std::pair<QString, QLineEdit*>> fields_;
    QCheckBox* latching_ = nullptr;
};

} // namespace tavelin
