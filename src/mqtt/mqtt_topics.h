#pragma once
// The topics one instrument publishes on, and the one it listens to.

#include <QString>

namespace tavelin {

struct MqttSettings;

struct MqttTopics {
    QString deviceId;        // also the client id: one per instance
    QString state;           // <topic_prefix>/<device_id>/state
    QString status;          // <topic_prefix>/<device_id>/status: online, offline
    QString alarm;           // <topic_prefix>/<device_id>/alarm
    QString discoveryPrefix; // empty: no discovery
    QString discoveryStatus; // <discovery_prefix>/status; empty without discovery
};

// For the instrument on the port instance (its device's base name) of hostName.
MqttTopics mqttTopics(const MqttSettings& settings, const QString& hostName, const QString& instance);

} // namespace tavelin
