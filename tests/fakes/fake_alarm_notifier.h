#pragma once
// An alarm notifier that records what it is asked to put up and take down,
// one line each ("notify high_flow|High flow|Flow rate 2.5 L/min, above 2
// L/min", "withdraw high_flow"); acknowledge() plays the operator choosing
// Acknowledge on a notification.

#include "platform/alarm_notifier.h"

#include <QStringList>

namespace tavelin::test {

class FakeAlarmNotifier : public AlarmNotifier {
public:
    void notify(const QString& alarmKey, const QString& summary, const QString& body) override
    {
        calls << QStringLiteral("notify %1|%2|%3").arg(alarmKey, summary, body);
    }
    void withdraw(const QString& alarmKey) override { calls << QStringLiteral("withdraw ") + alarmKey; }
    void setAcknowledgeHandler(AcknowledgeHandler handler) override { handler_ = std::move(handler); }

    bool acknowledge(const QString& alarmKey)
    {
        if (!handler_)
            return false;
        handler_(alarmKey);
        return true;
    }

    QStringList calls;

private:
    AcknowledgeHandler handler_;
};

} // namespace tavelin::test
