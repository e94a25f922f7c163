#pragma once
// The alarm journal's events over MQTT: one message per event on the alarm
// topic, taken from the store's alarm_events as an outbox of its own, and a
// Home Assistant binary sensor per alarm that follows them.

#include "alarms/alarm_event.h"
#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_payloads.h"

namespace tavelin {

class ReadingsStore;
struct StoredAlarmEvent;

// {"alarm":"high_flow","event":"raised","seq":17,"store_id":"4f0c...",
//  "threshold":2,"ts":"2026-12-09T02:16:05.123Z","value":2.5}: seq is the
// event's own in the store whose store_id it names, ts its UTC time.
QByteArray alarmJson(const StoredAlarmEvent& event, const QString& storeId);

// The store's alarm events after a seq, as the outbox takes them, naming the store.
MqttOutbox::Source alarmEventSource(ReadingsStore& store);

// A retained binary sensor config under <discovery_prefix>/binary_sensor/
// <device id>/<alarm>/config for each alarm in on, and an empty retained
// message there, which removes a config, for each of the others; none
// without a discovery prefix.
QVector<MqttMessage> alarmDiscoveryMessages(const MqttTopics& topics, const QString& softwareVersion,
                                            const QVector<AlarmId>& on);

} // namespace tavelin
