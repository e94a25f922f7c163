#pragma once
// A broker connection that records what is published and subscribed, gives
// each message the next id, and refuses messages while refusing is set.

#include "mqtt/mqtt_connection.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <cstdint>
#include <vector>

namespace tavelin::test {

struct PublishedMessage {
    int id;
    QString topic;
    QByteArray payload;
    bool retain;
};

class FakeMqttConnection : public MqttConnection {
public:
    std::optional<int> publish(const QString& topic, const QByteArray& payload, bool retain) override
    {
        if (refusing)
            return std::nullopt;
        published.append({++lastId, topic, payload, retain});
        return lastId;
    }
    void subscribe(const QString& topic) override { subscriptions.append(topic); }

    // The seq of each state message, in the order published.
    std::vector<std::int64_t> seqs(const QString& topic) const
    {
        std::vector<std::int64_t> out;
        for (const PublishedMessage& m : published)
            if (m.topic == topic)
                out.push_back(QJsonDocument::fromJson(m.payload).object().value(QStringLiteral("seq")).toInt());
        return out;
    }
    // The id under which seq was last published.
    int idOf(const QString& topic, std::int64_t seq) const
    {
        for (int i = published.size() - 1; i >= 0; --i)
            if (published[i].topic == topic
                && QJsonDocument::fromJson(published[i].payload).object().value(QStringLiteral("seq")).toInt() == seq)
                return published[i].id;
        return -1;
    }

    QVector<PublishedMessage> published;
    QStringList subscriptions;
    bool refusing = false;
    int lastId = 0;
};

} // namespace tavelin::test
