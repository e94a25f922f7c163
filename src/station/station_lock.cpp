#include "station/station_lock.h"

#include "platform/qt/store_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavelin {

namespace {

QString holderOf(int fd)
{
    char text[128] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    static const QRegularExpression line(QStringLiteral("^([A-Za-z0-9_.-]+) ([0-9]+)\n"));
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(text, n > 0 ? int(n) : 0));
    if (!match.hasMatch())
        return QCoreApplication::translate("station", "another program");
    return QCoreApplication::translate("station", "%1 (PID %2)").arg(match.captured(1), match.captured(2));
}

} // namespace

StationLock::Attempt StationLock::take(const QString& folder, const QString& program)
{
    Attempt attempt;
    const QString path = folder + QStringLiteral("/lock");
    if (!makeFolderFor(path, &attempt.reason))
        return attempt;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        attempt.reason = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return attempt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            attempt.outcome = Outcome::Held;
            attempt.holder = holderOf(fd);
        } else {
            attempt.reason = QStringLiteral("cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
        }
        ::close(fd);
        return attempt;
    }
    // Who holds it, for the next program's refusal; the lock does not depend
    // on it, so a write that fails is of no matter.
    const QByteArray holder = program.toLatin1() + ' ' + QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        const ssize_t written = ::pwrite(fd, holder.constData(), size_t(holder.size()), 0);
        Q_UNUSED(written)
    }
    attempt.outcome = Outcome::Taken;
    attempt.lock.reset(new StationLock(folder, fd));
    return attempt;
}

StationLock::~StationLock()
{
    ::close(fd_); // the kernel releases the lock with the last descriptor
}

QString StationLock::refusal(const QString& folder, const QString& holder)
{
    return QCoreApplication::translate("station", "The state folder %1 is in use by %2: one program at a time keeps "
                                                  "its readings there. Give this one a folder of its own "
                                                  "(STATE_DIRECTORY or XDG_STATE_HOME), or end the other first.")
        .arg(folder, holder);
}

} // namespace tavelin
