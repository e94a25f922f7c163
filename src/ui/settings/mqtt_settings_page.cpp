#include "ui/settings/mqtt_settings_page.h"

#include "instrument/mqtt_publisher.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSysInfo>

namespace tavelin {

namespace {
const QString kOff = QStringLiteral("MQTT is off: no broker url is set.");
} // namespace

MqttSettingsPage::MqttSettingsPage(const MqttSettings& current, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("mqttPage"));
    auto* form = new QFormLayout(this);
    const auto row = [&](const char* key, const QString& label, const QString& value, const char* name) {
        form->addRow(label, addField(key, label, value, QLatin1String(name)));
    };
    row(settings_key::mqttUrl, QStringLiteral("Broker (mqtt:// or mqtts://)"), current.url, "mqttUrl");
    row(settings_key::mqttDeviceId, QStringLiteral("Device id"), current.deviceId, "mqttDeviceId");
    // The port's part of the default is known once MQTT runs (showStatus).
    fields_.value(QLatin1String(settings_key::mqttDeviceId)).second->setPlaceholderText(
        defaultDeviceId(QSysInfo::machineHostName(), QString()) + QStringLiteral("-<port>"));
    row(settings_key::mqttTopicPrefix, QStringLiteral("Topic prefix"), current.topicPrefix, "mqttTopicPrefix");
    row(settings_key::mqttUsername, QStringLiteral("User name"), current.username, "mqttUsername");
    row(settings_key::mqttPasswordFile, QStringLiteral("Password file"), current.passwordFile, "mqttPasswordFile");
    row(settings_key::mqttCaFile, QStringLiteral("CA file"), current.caFile, "mqttCaFile");
    fields_.value(QLatin1String(settings_key::mqttCaFile)).second->setPlaceholderText(
        QStringLiteral("the system's certificate authorities"));
    row(settings_key::mqttCertFile, QStringLiteral("Client certificate"), current.certFile, "mqttCertFile");
    row(settings_key::mqttKeyFile, QStringLiteral("Client key"), current.keyFile, "mqttKeyFile");
    insecure_ = new QCheckBox(QStringLiteral("Do not check the broker's certificate (insecure)"), this);
    insecure_->setObjectName(QStringLiteral("mqttInsecure"));
    insecure_->setChecked(current.insecureSkipVerify);
    form->addRow(insecure_);
    row(settings_key::mqttDiscoveryPrefix, QStringLiteral("Discovery prefix"), current.discoveryPrefix,
        "mqttDiscoveryPrefix");

    status_ = new QLabel(kOff, this);
    status_->setObjectName(QStringLiteral("mqttStatus"));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(status_);
}

QLineEdit* MqttSettingsPage::addField(const char* key, const QString& label, const QString& value,
                                      const QString& objectName)
{
    auto* field = new QLineEdit(value, this);
    field->setObjectName(objectName);
    fields_.insert(QLatin1String(key), {label, field});
    return field;
}

void MqttSettingsPage::addValues(QMap<QString, QString>* values) const
{
    for (auto it = fields_.constBegin(); it != fields_.constEnd(); ++it)
        values->insert(it.key(), it.value().second->text());
    values->insert(QLatin1String(settings_key::mqttInsecureSkipVerify),
                   insecure_->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
}

QMap<QString, std::pair<QString, QLineEdit*>> MqttSettingsPage::fields() const
{
    return fields_;
}

void MqttSettingsPage::showStatus(const MqttPublisher* publisher)
{
    status_->setText(publisher ? publisher->status() : kOff);
    if (!publisher)
        return;
    connect(publisher, &MqttPublisher::statusChanged, status_, &QLabel::setText);
    if (publisher->settings().deviceId.isEmpty())
        fields_.value(QLatin1String(settings_key::mqttDeviceId)).second->setPlaceholderText(publisher->deviceId());
}

} // namespace tavelin
