#include "daemon/systemd_notifier.h"

#include <systemd/sd-daemon.h>

#include <cstdint>

namespace tavelin {

SystemdNotifier::SystemdNotifier()
{
    std::uint64_t usec = 0;
    watchdog_ = sd_watchdog_enabled(0, &usec) > 0;
}

void SystemdNotifier::ready()
{
    sd_notify(0, "READY=1");
}

void SystemdNotifier::alive()
{
    if (watchdog_)
        sd_notify(0, "WATCHDOG=1");
}

void SystemdNotifier::status(const QString& text)
{
    sd_notify(0, ("STATUS=" + text.toUtf8()).constData());
}

void SystemdNotifier::reloading()
{
    sd_notify(0, "RELOADING=1");
}

void SystemdNotifier::stopping()
{
    sd_notify(0, "STOPPING=1");
}

} // namespace tavelin
