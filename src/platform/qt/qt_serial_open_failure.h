#pragma once
// Looks up on the system why QSerialPort could not open a device: the
// device's group, the process named by its lock file, the ports present.

#include "platform/serial_open_failure.h"

#include <QSerialPort>

namespace tavelin {

SerialOpenFailure diagnoseOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                      const QString& reason);

// The group the device belongs to; empty when it cannot be found or is root's.
QString deviceGroup(const QString& device);
// The process named by the lock file QSerialPort keeps for the device; 0 if none.
qint64 lockHolderPid(const QString& device);
// The serial ports the system knows, each as "path (description)".
QStringList presentSerialPorts();

} // namespace tavelin
