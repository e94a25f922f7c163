#include "mqtt/mqtt_alarms.h"

#include "mqtt/mqtt_topics.h"
#include "platform/readings_store.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavelin {

namespace {

// Home Assistant compares what the template gives with payload_on and
// payload_off, and drops a message for which it gives nothing: the events of
// the other alarms and acknowledgements leave the sensor as it was, so that
// each sensor shows whether its own condition holds.
QString stateTemplate(const QString& key)
{
    return QStringLiteral("{% if value_json.alarm != '%1' %}{% elif value_json.event == 'raised' %}ON"
                          "{% elif value_json.event == 'cleared' %}OFF{% endif %}")
        .arg(key);
}

QJsonObject binarySensorConfig(const MqttTopics& topics, const QJsonObject& device, AlarmId id)
{
    const QString key = alarmKey(id);
    return QJsonObject{
        {QStringLiteral("name"), alarmName(id)},
        {QStringLiteral("unique_id"), topics.deviceId + QStringLiteral("_alarm_") + key},
        {QStringLiteral("state_topic"), topics.alarm},
        {QStringLiteral("value_template"), stateTemplate(key)},
        {QStringLiteral("payload_on"), QStringLiteral("ON")},
        {QStringLiteral("payload_off"), QStringLiteral("OFF")},
        {QStringLiteral("device_class"), QStringLiteral("problem")},
        // Each event goes out once: at QoS 1 none is lost between the broker and Home Assistant.
        {QStringLiteral("qos"), 1},
        {QStringLiteral("availability_topic"), topics.status},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("device"), device},
    };
}

} // namespace

QByteArray alarmJson(const StoredAlarmEvent& event, const QString& storeId)
{
    const QJsonObject json{
        {QStringLiteral("store_id"), storeId},
        {QStringLiteral("seq"), double(event.seq)},
        {QStringLiteral("ts"), QDateTime::fromMSecsSinceEpoch(event.utcMs, Qt::UTC).toString(Qt::ISODateWithMs)},
        {QStringLiteral("alarm"), event.alarm},
        {QStringLiteral("event"), event.event},
        {QStringLiteral("value"), event.value},
        {QStringLiteral("threshold"), event.threshold},
    };
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

MqttOutbox::Source alarmEventSource(ReadingsStore& store)
{
    return [&store, storeId = store.storeId()](std::int64_t seq, int maxEntries) {
        QVector<OutboxEntry> entries;
        for (const StoredAlarmEvent& event : store.alarmEventsAfter(seq, maxEntries))
            entries.append({event.seq, alarmJson(event, storeId)});
        return entries;
    };
}

QVector<MqttMessage> alarmDiscoveryMessages(const MqttTopics& topics, const QString& softwareVersion,
                                            const QVector<AlarmId>& on)
{
    QVector<MqttMessage> messages;
    if (topics.discoveryPrefix.isEmpty())
        return messages;
    const QJsonObject device = discoveryDevice(topics, softwareVersion);
    for (AlarmId id : kAllAlarms) {
        const QString topic =
            QStringLiteral("%1/binary_sensor/%2/%3/config").arg(topics.discoveryPrefix, topics.deviceId, alarmKey(id));
        messages.append({topic, on.contains(id) ? QJsonDocument(binarySensorConfig(topics, device, id))
                                                      .toJson(QJsonDocument::Compact)
                                                : QByteArray()});
    }
    return messages;
}

} // namespace tavelin
