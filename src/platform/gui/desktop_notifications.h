#pragma once
// Alarms as desktop notifications through the freedesktop notification
// service (org.freedesktop.Notifications on the session bus): the alarm's
// name as the summary, its value and threshold as the body, critical
// urgency, and an "Acknowledge" action. No call waits for the service: its
// answers come through the event loop. The bus is first used at the first
// alarm. Without a session bus or a service on it the program goes on and
// says so once.

#include "platform/alarm_notifier.h"

#include <QDBusPendingCall>
#include <QMap>
#include <QObject>

#include <optional>

namespace tavelin {

class MessageBox;

class DesktopNotifications : public QObject, public AlarmNotifier {
    Q_OBJECT
public:
    explicit DesktopNotifications(MessageBox& messages, QObject* parent = nullptr);
    // Waits, a second at most, until the notifications taken down have gone.
    ~DesktopNotifications() override;

    void notify(const QString& alarmKey, const QString& summary, const QString& body) override;
    void withdraw(const QString& alarmKey) override;
    void setAcknowledgeHandler(AcknowledgeHandler handler) override { acknowledge_ = std::move(handler); }

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    // One alarm's notification: its id once the service has given it, and
    // whether it is still wanted when the answer comes.
    struct Shown {
        uint id = 0;
        bool wanted = false;
        bool waiting = false;
    };

    bool reachBus();
    void idGiven(const QString& alarmKey, const QDBusPendingCall& call);
    void close(uint id);
    void reportUnavailable(const QString& reason);
    QString keyOf(uint id) const;

    MessageBox& messages_;
    AcknowledgeHandler acknowledge_;
    QMap<QString, Shown> shown_;
    std::optional<QDBusPendingCall> lastClose_;
    bool listening_ = false;
    bool reported_ = false;
};

} // namespace tavelin
