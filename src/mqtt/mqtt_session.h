#pragma once
// What the instrument does on a broker connection: on each connect the
// retained status "online" (the will says "offline"), the discovery configs
// (retained: the sensors, a binary sensor per alarm on and the removal of
// the others) and the one subscription, to <discovery_prefix>/status; then
// the outboxes send what was not acknowledged. Discovery goes out again
// whenever that topic says "online" or the alarms on change; any other
// message there, an oversized one, or one on another topic is ignored.

#include "alarms/alarm_event.h"
#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_topics.h"

#include <vector>

namespace tavelin {

class MqttConnection;
class MqttOutbox;

class MqttSession {
public:
    // Longer messages on the discovery status topic are not read at all.
    static constexpr int kLongestStatusMessage = 64;

    MqttSession(MqttConnection& connection, MqttTopics topics, QString softwareVersion);

    // Each outbox is told of the connection and sends in the order added.
    void addOutbox(MqttOutbox* outbox) { outboxes_.push_back(outbox); }
    // The alarms whose rules are on (none at first): discovery describes
    // them and removes the others, and goes out again at the next pump when
    // they changed.
    void setAlarms(const QVector<AlarmId>& on);

    void connected();
    void disconnected();
    void acknowledged(int messageId);
    void messageArrived(const QString& topic, const QByteArray& payload);
    // Sends discovery when it was asked for, and what the outboxes have room
    // for, at most maxEntries of them; returns how many entries went.
    int pump(int maxEntries);
    // Writes the cursors that moved to the store.
    void saveCursors();

    bool isConnected() const { return connected_; }
    const MqttTopics& topics() const { return topics_; }
    // The status message a clean end publishes, retained, before disconnecting.
    static QByteArray offlinePayload() { return QByteArrayLiteral("offline"); }

private:
    QVector<MqttMessage> describe() const;
    void publishDiscovery();

    MqttConnection& connection_;
    MqttTopics topics_;
    QString softwareVersion_;
    QVector<AlarmId> alarms_;
    QVector<MqttMessage> discovery_;
    std::vector<MqttOutbox*> outboxes_;
    bool connected_ = false;
    bool discoveryAsked_ = false;
};

} // namespace tavelin
