#include "mqtt/mqtt_payloads.h"

#include "mqtt/mqtt_topics.h"
#include "platform/readings_store.h"
#include "sensor/flow_sampler.h"
#include "sensor/sensor_constants.h"
#include "sensor/store_recorder.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavelin {

namespace {

struct SensorConfig {
    const char* key;   // in the state payload, and the sensor's part of its ids
    const char* name;
    const char* deviceClass;
    const char* stateClass;
    const char* unit;
};

// Home Assistant's pairs: frequency in Hz and volume_flow_rate in L/min are
// measurements; water in L is total_increasing for both counters, which
// Home Assistant takes as a new cycle whenever they fall: the resettable
// total falls at a Reset (and a little when K is raised, being the pulses
// since the Reset at the K now in force, as displayed); the meter never
// falls (each reading counts at the K-factor it was taken at).
const SensorConfig kSensors[] = {
    {"frequency_hz", "Frequency", "frequency", "measurement", "Hz"},
    {"flow_l_min", "Flow rate", "volume_flow_rate", "measurement", "L/min"},
    {"total_l", "Total", "water", "total_increasing", "L"},
    {"meter_l", "Meter", "water", "total_increasing", "L"},
};

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

QByteArray stateJson(const StoredReading& reading, double pulsesPerLiter, const QString& storeId)
{
    const double meterLiters = roundHalfEven(meterLitersOf(reading, pulsesPerLiter), sensor::kRoundedDecimals);
    const QJsonObject state{
        {QStringLiteral("store_id"), storeId},
        {QStringLiteral("seq"), double(reading.seq)},
        {QStringLiteral("ts"), QDateTime::fromMSecsSinceEpoch(reading.utcMs, Qt::UTC).toString(Qt::ISODateWithMs)},
        {QStringLiteral("frequency_hz"), reading.frequency},
        {QStringLiteral("flow_l_min"), reading.litersPerMin},
        {QStringLiteral("total_l"), reading.totalLiters},
        {QStringLiteral("meter_l"), meterLiters},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

QJsonObject discoveryDevice(const MqttTopics& topics, const QString& softwareVersion)
{
    return QJsonObject{
        {QStringLiteral("identifiers"), QJsonArray{topics.deviceId}},
        {QStringLiteral("name"), QStringLiteral("tavelin %1").arg(topics.deviceId)},
        {QStringLiteral("model"), QStringLiteral("Pulse-output flow sensor")},
        {QStringLiteral("sw_version"), softwareVersion},
    };
}

QVector<MqttMessage> discoveryMessages(const MqttTopics& topics, const QString& softwareVersion)
{
    QVector<MqttMessage> messages;
    if (topics.discoveryPrefix.isEmpty())
        return messages;
    const QJsonObject device = discoveryDevice(topics, softwareVersion);
    for (const SensorConfig& sensor : kSensors) {
        const QString uniqueId = topics.deviceId + QLatin1Char('_') + latin(sensor.key);
        const QJsonObject config{
            {QStringLiteral("name"), latin(sensor.name)},
            {QStringLiteral("unique_id"), uniqueId},
            {QStringLiteral("state_topic"), topics.state},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(latin(sensor.key))},
            {QStringLiteral("device_class"), latin(sensor.deviceClass)},
            {QStringLiteral("state_class"), latin(sensor.stateClass)},
            {QStringLiteral("unit_of_measurement"), latin(sensor.unit)},
            {QStringLiteral("availability_topic"), topics.status},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
        };
        messages.append({QStringLiteral("%1/sensor/%2/%3/config").arg(topics.discoveryPrefix, topics.deviceId,
                                                                       latin(sensor.key)),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}

} // namespace tavelin
