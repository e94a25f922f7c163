#pragma once
// The topics one instrument publishes on, and the one it listens to.

#include <QString>

namespace tavelin {

struct MqttSettings;

struct MqttTopics {
    QString deviceId;
    QString state;           // <topic_prefix>/<device_id>/state
    QString status;          // <topic_prefix>/<device_id>/status: online, offline
    QString alarm;           // <topic_prefix>/<device_id>/alarm
    QString discoveryPrefix; // empty: no discovery
    QString discoveryStatus; // <discovery_prefix>/status; empty without discovery
};

MqttTopics mqttTopics(const MqttSettings& settings, const QString& hostName);

} // namespace tavelin
