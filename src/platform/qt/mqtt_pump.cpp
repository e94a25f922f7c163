#include "platform/qt/mqtt_pump.h"

#include "mqtt/mqtt_session.h"

namespace tavelin {

MqttPump::MqttPump(ConditionHandler onCondition, std::function<void()> afterPump, QObject* parent)
    : QObject(parent), onCondition_(std::move(onCondition)), afterPump_(std::move(afterPump))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &MqttPump::pump);
    save_.setInterval(kCursorSaveMs);
    connect(&save_, &QTimer::timeout, this, [this] { session_->saveCursors(); });
}

void MqttPump::setSession(MqttSession* session)
{
    if (session_)
        session_->saveCursors();
    session_ = session;
    if (session_)
        save_.start();
    else
        save_.stop();
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
    session_->saveCursors();
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
