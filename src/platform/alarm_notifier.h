#pragma once
// Where an alarm is announced beyond the program's own window: a desktop
// notification per alarm, with an action to acknowledge it. Alarms are
// named by their key ("high_flow"). A program without one journals only.

#include <QString>

#include <functional>

namespace tavelin {

class AlarmNotifier {
public:
    using AcknowledgeHandler = std::function<void(const QString& alarmKey)>;

    virtual ~AlarmNotifier() = default;
    // Puts up the alarm's notification, or replaces the one it has up.
    virtual void notify(const QString& alarmKey, const QString& summary, const QString& body) = 0;
    // Takes the alarm's notification down; nothing when it has none.
    virtual void withdraw(const QString& alarmKey) = 0;
    // Told when the operator acknowledges an alarm from its notification.
    virtual void setAcknowledgeHandler(AcknowledgeHandler handler) = 0;
};

} // namespace tavelin
