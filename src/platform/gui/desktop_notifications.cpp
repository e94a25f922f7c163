#include "platform/gui/desktop_notifications.h"

#include "platform/message_box.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace tavelin {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAcknowledgeAction = QStringLiteral("acknowledge");
constexpr uchar kCriticalUrgency = 2;
constexpr int kCallTimeoutMs = 5000;
constexpr int kClosingTimeoutMs = 1000; // waited for at exit

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifications::DesktopNotifications(MessageBox& messages, QObject* parent)
    : QObject(parent), messages_(messages)
{
}

DesktopNotifications::~DesktopNotifications()
{
    // A message still queued when the program ends is lost; the bus keeps
    // the order, so the answer to the last close covers every one before it.
    if (lastClose_)
        lastClose_->waitForFinished();
}

bool DesktopNotifications::reachBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reportUnavailable(tr("there is no session bus (%1)").arg(bus.lastError().message()));
        return false;
    }
    if (!listening_) {
        listening_ = true;
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint)));
    }
    return true;
}

void DesktopNotifications::notify(const QString& alarmKey, const QString& summary, const QString& body)
{
    Shown& shown = shown_[alarmKey];
    shown.wanted = true;
    if (!reachBus())
        return;
    QDBusMessage message = call(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kCriticalUrgency));
    message << QCoreApplication::applicationName() << QVariant::fromValue(shown.id) << QString() << summary << body
            << QStringList{kAcknowledgeAction, tr("Acknowledge")} << hints << int(0); // 0: until taken down
    shown.waiting = true;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, alarmKey](QDBusPendingCallWatcher* done) {
        idGiven(alarmKey, *done);
        done->deleteLater();
    });
}

void DesktopNotifications::idGiven(const QString& alarmKey, const QDBusPendingCall& pending)
{
    Shown& shown = shown_[alarmKey];
    shown.waiting = false;
    const QDBusPendingReply<uint> reply(pending);
    if (reply.isError()) {
        reportUnavailable(reply.error().message());
        return;
    }
    shown.id = reply.value();
    if (!shown.wanted) { // taken down while the service answered
        close(shown.id);
        shown.id = 0;
    }
}

void DesktopNotifications::withdraw(const QString& alarmKey)
{
    const auto it = shown_.find(alarmKey);
    if (it == shown_.end())
        return;
    it->wanted = false;
    if (it->waiting || it->id == 0)
        return;
    close(it->id);
    it->id = 0;
}

void DesktopNotifications::close(uint id)
{
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << QVariant::fromValue(id);
    lastClose_ = QDBusConnection::sessionBus().asyncCall(message, kClosingTimeoutMs);
}

void DesktopNotifications::actionInvoked(uint id, const QString& action)
{
    const QString key = keyOf(id);
    if (action == kAcknowledgeAction && !key.isEmpty() && acknowledge_)
        acknowledge_(key);
}

void DesktopNotifications::notificationClosed(uint id, uint)
{
    const QString key = keyOf(id);
    if (!key.isEmpty())
        shown_[key].id = 0; // dismissed: the alarm is still there to acknowledge
}

QString DesktopNotifications::keyOf(uint id) const
{
    for (auto it = shown_.constBegin(); it != shown_.constEnd(); ++it) {
        if (id != 0 && it->id == id)
            return it.key();
    }
    return QString();
}

void DesktopNotifications::reportUnavailable(const QString& reason)
{
    if (reported_)
        return;
    reported_ = true;
    messages_.notify(tr("Alarms cannot be shown as desktop notifications: %1. They show on the panel and go to "
                        "the alarm journal.")
                         .arg(reason));
}

} // namespace tavelin
