#pragma once
// What is published: a reading as JSON on the state topic, and the Home
// Assistant discovery configs that describe the device and its sensors.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

namespace tavelin {

struct MqttTopics;
struct StoredReading;

// {"store_id":"4f0c...","seq":1234,"ts":"2026-12-09T02:16:05.123Z",
//  "frequency_hz":250,"flow_l_min":2.17,"total_l":13.5,"meter_l":1234.56}:
// (store_id, seq) names the reading for good, ts is its own UTC time, total_l
// the total as displayed, meter_l the meter in liters as the reading carries
// it (each reading at its own K-factor; pulsesPerLiter for readings stored
// before the K-factor was kept), to two decimals.
QByteArray stateJson(const StoredReading& reading, double pulsesPerLiter, const QString& storeId);

struct MqttMessage {
    QString topic;
    QByteArray payload;
};

// One retained config per sensor under <discovery_prefix>/sensor/<device
// id>/<sensor>/config; none without a discovery prefix. Each sensor keeps to
// a device class, state class and unit that Home Assistant accepts together.
QVector<MqttMessage> discoveryMessages(const MqttTopics& topics, const QString& softwareVersion);

// The device every discovery config names: one per device id.
QJsonObject discoveryDevice(const MqttTopics& topics, const QString& softwareVersion);

} // namespace tavelin
