#pragma once
// Why the module's port could not be opened, in terms an operator on Linux
// can act on: the facts gathered about the device, and the advice made of them.

#include <QString>
#include <QStringList>

namespace tavelin {

struct SerialOpenFailure {
    enum class Cause { Other, PermissionDenied, InUse, NoSuchDevice };
    Cause cause = Cause::Other;
    QString device;
    QString group;        // PermissionDenied: the device's group; empty when unknown or root's
    qint64 holderPid = 0; // InUse: the process its lock file names; 0 when none does
    QStringList ports;    // NoSuchDevice: the serial ports present, "path (description)"
};

// What the operator can do about it; empty for other causes, where the
// system's reason is all there is to say.
QString openFailureAdvice(const SerialOpenFailure& failure);

} // namespace tavelin
