#include "mqtt/mqtt_status.h"

#include <QLocale>

namespace tavelin {

namespace {

QString conditionText(const MqttStatusFacts& f)
{
    const QString& detail = f.condition.detail;
    switch (f.condition.state) {
    case MqttState::Connecting:
        return QStringLiteral("connecting to %1").arg(f.endpoint);
    case MqttState::Connected:
        if (f.insecure)
            return QStringLiteral("connected to %1 over TLS WITHOUT checking the broker's certificate or host name "
                                  "(insecure_skip_verify): encrypted, but whoever answers at that address is taken "
                                  "for the broker")
                .arg(f.endpoint);
        return QStringLiteral("connected to %1%2").arg(f.endpoint, f.tls ? QStringLiteral(" over TLS") : QString());
    case MqttState::LoginRefused:
        return QStringLiteral("%1 refused the login (%2): check username and the password (password_file or "
                              "the mqtt-password credential)")
            .arg(f.endpoint, detail);
    case MqttState::Refused:
        return QStringLiteral("%1 refused the connection (%2)").arg(f.endpoint, detail);
    case MqttState::TlsFailure:
        return QStringLiteral("TLS failure with %1 (%2)").arg(f.endpoint, detail);
    case MqttState::UnknownHost:
        return QStringLiteral("unknown host in %1 (%2)").arg(f.endpoint, detail);
    case MqttState::Unreachable:
        return QStringLiteral("cannot reach %1 (%2)").arg(f.endpoint, detail);
    case MqttState::Lost:
        return QStringLiteral("connection to %1 lost (%2)").arg(f.endpoint, detail);
    case MqttState::Unusable:
        return detail;
    }
    return QString();
}

QString readingsText(std::int64_t count)
{
    return count == 1 ? QStringLiteral("1 reading")
                      : QStringLiteral("%1 readings").arg(QLocale().toString(qlonglong(count)));
}

} // namespace

QString mqttStatusText(const MqttStatusFacts& facts)
{
    QString text = QStringLiteral("MQTT: ") + conditionText(facts);
    const MqttState state = facts.condition.state;
    if (state != MqttState::Connected && state != MqttState::Connecting)
        text += QStringLiteral("; readings wait in the store");
    if (facts.lostToRetention > 0)
        text += QStringLiteral("; %1 left the store (retention) before they could be delivered")
                    .arg(readingsText(facts.lostToRetention));
    return text;
}

QString mqttMenuLine(const QString& status, std::int64_t waiting)
{
    if (waiting <= 0)
        return status;
    return QStringLiteral("%1; %2 to deliver").arg(status, readingsText(waiting));
}

} // namespace tavelin
