#include "posix_text_file_channel.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelin {

namespace {

void setError(QString* error, int errorCode)
{
    if (error)
        *error = qt_error_string(errorCode);
}

int openRetrying(const char* name, int flags)
{
    int fd;
    do {
        fd = ::open(name, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all bytes, continuing after short writes. Returns 0, or the errno of
// the refusal; *written counts what went out before it.
int writeAll(int fd, const char* data, qint64 size, qint64* written)
{
    *written = 0;
    while (*written < size) {
        const ssize_t n = ::write(fd, data + *written, static_cast<size_t>(size - *written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0) // no progress and no reason: do not spin
            return EIO;
        *written += n;
    }
    return 0;
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
    // Appending in both modes: every record goes to the end, where a torn one
    // can be cut off.
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (mode == FileOpenMode::Overwrite ? O_TRUNC : 0);
    const int fd = openRetrying(name.constData(), flags);
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
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        setError(error, errno);
        return false;
    }
    // Writes to a file with no name left would succeed and be lost with it.
    if (S_ISREG(status.st_mode) && status.st_nlink == 0) {
        setError(error, ENOENT);
        return false;
    }

    qint64 written = 0;
    const int errorCode = writeAll(fd_, record.constData(), record.size(), &written);
    if (errorCode == 0)
        return true;
    // A full disk may take the start of a record and refuse the rest: cut the
    // torn record off, so the file ends with the last whole one.
    if (written > 0 && S_ISREG(status.st_mode)) {
        while (::ftruncate(fd_, status.st_size) != 0 && errno == EINTR) {
        }
    }
    setError(error, errorCode);
    return false;
}

bool PosixTextFileChannel::wasRemoved() const
{
    struct stat status {};
    return fd_ >= 0 && ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 0;
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
