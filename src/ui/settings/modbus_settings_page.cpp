#include "ui/settings/modbus_settings_page.h"

#include "instrument/modbus_output.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace tavelin {

namespace {
const QString kOff = QStringLiteral("Modbus is off: no address to listen on is set.");

QString shown(const QString& status)
{
    return status.isEmpty() ? kOff : status;
}
} // namespace

ModbusSettingsPage::ModbusSettingsPage(const ModbusSettings& current, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("modbusPage"));
    auto* form = new QFormLayout(this);
    addField(settings_key::modbusListen, QStringLiteral("Listen on (address:port)"), current.listen, "modbusListen");
    fields_.value(QLatin1String(settings_key::modbusListen)).second->setPlaceholderText(
        QStringLiteral("off; 127.0.0.1:1502 for this computer alone"));
    addField(settings_key::modbusUnitId, QStringLiteral("Unit id"), QString::number(current.unitId), "modbusUnitId");
    addField(settings_key::modbusMaxClients, QStringLiteral("Clients at once"), QString::number(current.maxClients),
             "modbusMaxClients");
    addField(settings_key::modbusAllowedClients, QStringLiteral("Allowed clients"), current.allowedClients,
             "modbusAllowedClients");
    fields_.value(QLatin1String(settings_key::modbusAllowedClients)).second->setPlaceholderText(
        QStringLiteral("any; or addresses and ranges: 10.0.0.5, 192.168.1.0/24"));
    for (const char* key : {settings_key::modbusListen, settings_key::modbusUnitId, settings_key::modbusMaxClients,
                            settings_key::modbusAllowedClients}) {
        const auto& [label, field] = fields_.value(QLatin1String(key));
        form->addRow(label, field);
    }

    status_ = new QLabel(kOff, this);
    status_->setObjectName(QStringLiteral("modbusStatus"));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(status_);
}

void ModbusSettingsPage::addField(const char* key, const QString& label, const QString& value,
                                  const char* objectName)
{
    auto* field = new QLineEdit(value, this);
    field->setObjectName(QLatin1String(objectName));
    fields_.insert(QLatin1String(key), {label, field});
}

void ModbusSettingsPage::addValues(QMap<QString, QString>* values) const
{
    for (auto it = fields_.constBegin(); it != fields_.constEnd(); ++it)
        values->insert(it.key(), it.value().second->text());
}

void ModbusSettingsPage::showStatus(const ModbusOutput* output)
{
    status_->setText(shown(output ? output->status() : QString()));
    if (output)
        connect(output, &ModbusOutput::statusChanged, status_,
                [this](const QString& status) { status_->setText(shown(status)); });
}

} // namespace tavelin
