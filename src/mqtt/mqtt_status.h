#pragma once
// The one line that says how MQTT stands, for the context menu, the Settings
// page and the program's standard error. It names the broker and the reason,
// never the password.

#include "mqtt/mqtt_connection.h"

#include <cstdint>

namespace tavelin {

struct MqttStatusFacts {
    MqttCondition condition;
    QString endpoint;           // "broker.example:8883"
    bool tls = false;
    bool insecure = false;      // TLS taking any certificate, for any host name
    std::int64_t lostToRetention = 0;
};

// "MQTT: connected to broker:8883 over TLS" (its certificate and host name
// checked), "MQTT: broker:1883 refused the
// login (wrong user name or password); readings wait in the store"...
QString mqttStatusText(const MqttStatusFacts& facts);

// The status with the readings not yet delivered, for the context menu.
QString mqttMenuLine(const QString& status, std::int64_t waiting);

} // namespace tavelin
