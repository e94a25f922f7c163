#include "platform/qt/mqtt_pump.h"

#include "mqtt/mqtt_session.h"

namespace tavelin {

MqttPump::MqttPump(ConditionHandler onCondition, std::function<void()> afterPump, QObject* parent)
    : QObject(parent), onCondition_(std::move(onCondition)), afterPump_(std::move(afterPump))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &MqttPump::pump);
}

void MqttPump::request()
{
    if (!timer_.isActive())
        timer_.start(backlog_ ? kPaceMs : 0);
}

void MqttPump::pump()
{
    if (!session_)
        return;
    backlog_ = session_->pump(kBurst) >= kBurst;
    if (backlog_)
        timer_.start(kPaceMs);
    afterPump_();
}

void MqttPump::connected()
{
    session_->connected();
    request();
}

void MqttPump::disconnected()
{
    session_->disconnected();
    backlog_ = false;
}

void MqttPump::acknowledged(int messageId)
{
    session_->acknowledged(messageId);
}

void MqttPump::messageArrived(const QString& topic, const QByteArray& payload)
{
    session_->messageArrived(topic, payload);
}

} // namespace tavelin
