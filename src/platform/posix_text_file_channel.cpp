#include "posix_text_file_channel.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tavelin {

namespace {

void setError(QString* error, int errorCode)
{
    if (error)
        *error = qt_error_string(errorCode);
}

} // namespace

PosixTextFileChannel::~PosixTextFileChannel()
{
    close();
}

bool PosixTextFileChannel::open(const QString& path, FileOpenMode mode, QString* error)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == FileOpenMode::Append ? O_APPEND : O_TRUNC);
    int fd;
    do {
        fd = ::open(name.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        setError(error, errno);
        return false;
    }
    fd_ = fd;
    return true;
}

bool PosixTextFileChannel::write(const QByteArray& record, QString* error)
{
    if (fd_ < 0) {
        setError(error, EBADF);
        return false;
    }
    const char* data = record.constData();
    qint64 left = record.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            setError(error, errno);
            return false;
        }
        if (written == 0) { // no progress and no reason: do not spin
            setError(error, EIO);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

void PosixTextFileChannel::close()
{
    if (fd_ < 0)
        return;
    // Linux releases the descriptor even when close reports an error, so
    // retrying after EINTR could close someone else's file.
    ::close(fd_);
    fd_ = -1;
}

} // namespace tavelin
