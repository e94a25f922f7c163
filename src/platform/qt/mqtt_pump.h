#pragma once
// Drives a session from its connection's events at a bounded pace: a backlog
// goes out in bursts of kBurst messages at most every kPaceMs, so that a
// replay never holds the event loop (and the sampling timer) for more than a
// burst; a reading that finds nothing waiting goes out as soon as the event
// that stored it is over.

#include "mqtt/mqtt_connection.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavelin {

class MqttSession;

class MqttPump : public QObject, public MqttConnectionEvents {
public:
    static constexpr int kBurst = 32;
    static constexpr int kPaceMs = 10; // at most 3 200 messages a second

    using ConditionHandler = std::function<void(const MqttCondition&)>;

    MqttPump(ConditionHandler onCondition, std::function<void()> afterPump, QObject* parent = nullptr);

    void setSession(MqttSession* session) { session_ = session; }
    // Something was stored: a pump once the current event is over, or at the
    // pace while a backlog goes out.
    void request();

    void connected() override;
    void disconnected() override;
    void acknowledged(int messageId) override;
    void messageArrived(const QString& topic, const QByteArray& payload) override;
    void conditionChanged(const MqttCondition& condition) override { onCondition_(condition); }
    void passDone() override { request(); }

private:
    void pump();

    MqttSession* session_ = nullptr;
    ConditionHandler onCondition_;
    std::function<void()> afterPump_;
    QTimer timer_;
    bool backlog_ = false; // the last pump used its whole burst
};

} // namespace tavelin
