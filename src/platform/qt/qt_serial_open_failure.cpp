#include "qt_serial_open_failure.h"

#include "serial_port_list.h"

#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

namespace tavelin {

SerialOpenFailure diagnoseOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                      const QString& reason)
{
    SerialOpenFailure failure;
    failure.device = device;
    if (error == QSerialPort::DeviceNotFoundError) {
        failure.cause = SerialOpenFailure::Cause::NoSuchDevice;
        failure.ports = presentSerialPorts();
    } else if (error == QSerialPort::PermissionError && reason == qt_error_string(EACCES)) {
        failure.cause = SerialOpenFailure::Cause::PermissionDenied;
        failure.group = deviceGroup(device);
    } else if (error == QSerialPort::PermissionError) {
        // QSerialPort's own lock file is taken, or the device is busy (held
        // in exclusive mode): another program has it.
        failure.cause = SerialOpenFailure::Cause::InUse;
        failure.holderPid = lockHolderPid(device);
    }
    return failure;
}

QString deviceGroup(const QString& device)
{
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0 || info.st_gid == 0)
        return QString();
    const group* entry = ::getgrgid(info.st_gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString();
}

qint64 lockHolderPid(const QString& device)
{
    // Named and placed as QSerialPort does on Unix: "LCK.." and the device
    // without "/dev/", slashes turned into underscores, in the first of these
    // folders that holds it.
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders{QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"),
                              QStringLiteral("/var/spool/locks"),  QStringLiteral("/var/spool/uucp"),
                              QStringLiteral("/tmp"),              QStringLiteral("/var/tmp"),
                              QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
                              QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString& folder : folders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        qint64 pid = 0;
        QString host, application;
        if (QFileInfo::exists(path) && QLockFile(path).getLockInfo(&pid, &host, &application) && pid > 0)
            return pid;
    }
    return 0;
}

QStringList presentSerialPorts()
{
    QStringList ports;
    for (const SerialPortEntry& port : availableSerialPorts()) {
        ports.append(port.description.isEmpty() ? port.path
                                                : QStringLiteral("%1 (%2)").arg(port.path, port.description));
    }
    return ports;
}

} // namespace tavelin
