#include "mqtt/mqtt_session.h"

#include "mqtt/mqtt_alarms.h"
#include "mqtt/mqtt_connection.h"
#include "mqtt/mqtt_outbox.h"

namespace tavelin {

MqttSession::MqttSession(MqttConnection& connection, MqttTopics topics, QString softwareVersion)
    : connection_(connection), topics_(std::move(topics)), softwareVersion_(std::move(softwareVersion)),
      discovery_(describe())
{
}

QVector<MqttMessage> MqttSession::describe() const
{
    return discoveryMessages(topics_, softwareVersion_) + alarmDiscoveryMessages(topics_, softwareVersion_, alarms_);
}

void MqttSession::setAlarms(const QVector<AlarmId>& on)
{
    if (on == alarms_)
        return;
    alarms_ = on;
    discovery_ = describe();
    if (connected_)
        discoveryAsked_ = true; // a connect publishes them anyway
}

void MqttSession::connected()
{
    connected_ = true;
    connection_.publish(topics_.status, QByteArrayLiteral("online"), true);
    publishDiscovery();
    if (!topics_.discoveryStatus.isEmpty())
        connection_.subscribe(topics_.discoveryStatus);
    for (MqttOutbox* outbox : outboxes_)
        outbox->connected();
}

void MqttSession::disconnected()
{
    connected_ = false;
    discoveryAsked_ = false;
    for (MqttOutbox* outbox : outboxes_)
        outbox->disconnected();
}

void MqttSession::acknowledged(int messageId)
{
    for (MqttOutbox* outbox : outboxes_)
        outbox->acknowledged(messageId);
}

void MqttSession::messageArrived(const QString& topic, const QByteArray& payload)
{
    if (topic.isEmpty() || topic != topics_.discoveryStatus || payload.size() > kLongestStatusMessage)
        return;
    // Several "online" in one pass ask for one republication.
    if (payload == "online")
        discoveryAsked_ = true;
}

void MqttSession::publishDiscovery()
{
    for (const MqttMessage& message : discovery_)
        connection_.publish(message.topic, message.payload, true);
}

void MqttSession::saveCursors()
{
    for (MqttOutbox* outbox : outboxes_)
        outbox->saveCursor();
}

int MqttSession::pump(int maxEntries)
{
    if (!connected_)
        return 0;
    if (discoveryAsked_) {
        discoveryAsked_ = false;
        publishDiscovery();
    }
    int sent = 0;
    for (MqttOutbox* outbox : outboxes_)
        sent += outbox->pump(maxEntries - sent);
    return sent;
}

} // namespace tavelin
