#pragma once
// Drives a session from its connection's events at a bounded pace: a backlog
// goes out in bursts of kBurst messages at most every kPaceMs, so that a
// replay never holds the event loop (and the sampling timer) for more than a
// burst; a reading that finds nothing waiting goes out as soon as the event
// that stored it is over. The cursors are written once a second (each write
// is a commit, and commits bring the store's checkpoints), at a disconnect
// and at the end: a crash sends up to a second's readings again.

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
    static constexpr int kCursorSaveMs = 1000;

    using ConditionHandler = std::function<void(const MqttCondition&)>;

    MqttPump(ConditionHandler onCondition, std::function<void()> afterPump, QObject* parent = nullptr);

    void setSession(MqttSession* session);
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
    QTimer save_;
    bool backlog_ = false; // the last pump used its whole burst
};

} // namespace tavelin
