#include "mqtt/mqtt_records.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tavelin {

MqttRecords::MqttRecords(MqttConnection& connection, std::function<bool()> connected, QString topic, QString storeId,
                         std::function<DurableSeal()> newestSeal, int intervalMs, QObject* parent)
    : QObject(parent),
      connection_(connection),
      connected_(std::move(connected)),
      topic_(std::move(topic)),
      storeId_(std::move(storeId)),
      newestSeal_(std::move(newestSeal))
{
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &MqttRecords::publish);
    timer_.start();
}

void MqttRecords::publish()
{
    if (!connected_())
        return;
    const DurableSeal seal = newestSeal_();
    if (seal.seq > 0 && !seal.seal.isEmpty())
        connection_.publish(topic_, recordsJson(seal, storeId_), true);
}

QString mqttRecordsTopic(const QString& topicPrefix, const QString& deviceId)
{
    return topicPrefix + QLatin1Char('/') + deviceId + QStringLiteral("/records");
}

QByteArray recordsJson(const DurableSeal& seal, const QString& storeId)
{
    QJsonObject object;
    object.insert(QStringLiteral("seq"), static_cast<qint64>(seal.seq));
    object.insert(QStringLiteral("seal"), QString::fromLatin1(seal.seal.toHex()));
    object.insert(QStringLiteral("store_id"), storeId);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace tavelin
