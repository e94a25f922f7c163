#include "serial_open_failure.h"

#include <QCoreApplication>

namespace tavelin {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("SerialOpenFailure", text); }
} // namespace

QString openFailureAdvice(const SerialOpenFailure& failure)
{
    using Cause = SerialOpenFailure::Cause;
    switch (failure.cause) {
    case Cause::PermissionDenied:
        if (failure.group.isEmpty())
            return tr("You have no permission to use %1. Serial ports usually belong to the group \"dialout\": "
                      "add yourself to it (sudo usermod -aG dialout $USER), then log out and in again.")
                .arg(failure.device);
        return tr("You have no permission to use %1: it belongs to the group \"%2\". Add yourself to that group "
                  "(sudo usermod -aG %2 $USER), then log out and in again.")
            .arg(failure.device, failure.group);
    case Cause::InUse:
        if (failure.holderPid > 0)
            return tr("Another program holds %1: process %2 (ps -p %2 names it). Close that program to free "
                      "the port.")
                .arg(failure.device)
                .arg(failure.holderPid);
        return tr("Another program holds %1. Close that program to free the port.").arg(failure.device);
    case Cause::NoSuchDevice:
        if (failure.ports.isEmpty())
            return tr("There is no device %1, and no serial port was found on this system. Plug the module in, "
                      "or start tavelin with --port and its device.")
                .arg(failure.device);
        return tr("There is no device %1. Plug the module in, or start tavelin with --port and one of the "
                  "serial ports on this system:\n%2")
            .arg(failure.device, failure.ports.join(QLatin1Char('\n')));
    case Cause::Other:
        break;
    }
    return QString();
}

} // namespace tavelin
