#pragma once
// The store's newest durable seal on <topic_prefix>/<device_id>/records,
// retained, once a minute while connected:
//   {"seq":1234,"seal":"5e1c...","store_id":"0b0e9f4c-..."}
// An outside witness: whoever keeps these messages can later show that the
// store was rewritten, even by someone who holds its key.

#include "mqtt/mqtt_connection.h"
#include "platform/readings_store.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavelin {

class MqttRecords : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 60 * 1000;

    MqttRecords(MqttConnection& connection, std::function<bool()> connected, QString topic, QString storeId,
                std::function<DurableSeal()> newestSeal, int intervalMs = kIntervalMs, QObject* parent = nullptr);

    // Publishes the newest seal now, when connected and there is one.
    void publish();

private:
    MqttConnection& connection_;
    std::function<bool()> connected_;
    QString topic_;
    QString storeId_;
    std::function<DurableSeal()> newestSeal_;
    QTimer timer_;
};

QString mqttRecordsTopic(const QString& topicPrefix, const QString& deviceId);
QByteArray recordsJson(const DurableSeal& seal, const QString& storeId);

} // namespace tavelin
