#pragma once
// Tells systemd how the service goes, through sd_notify: ready once the port
// has been tried, alive after each sampling cycle (when the unit has a
// watchdog), the last reading as its status, and that it is stopping.
// Outside systemd ($NOTIFY_SOCKET unset) every call does nothing.

#include <QString>

namespace tavelin {

class SystemdNotifier {
public:
    SystemdNotifier();

    void ready();
    void alive(); // WATCHDOG=1, only when the unit asked for a watchdog
    void status(const QString& text);
    void reloading();
    void stopping();
    bool watchdogEnabled() const { return watchdog_; }

private:
    bool watchdog_ = false;
};

} // namespace tavelin
