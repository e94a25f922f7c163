#include "posix_text_file_channel.h"

#include <QFile>

#include <algorithm>
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

// Copies the first size bytes of one open file to the end of another.
int copyBytes(int from, int to, off_t size)
{
    char buffer[65536];
    for (off_t offset = 0; offset < size;) {
        const size_t wanted = static_cast<size_t>(std::min<off_t>(size - offset, sizeof buffer));
        const ssize_t n = ::pread(from, buffer, wanted, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        qint64 written = 0;
        if (const int errorCode = writeAll(to, buffer, n, &written))
            return errorCode;
        offset += n;
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
    // can be cut off. Read access lets a removed file be copied back.
    const int flags = O_CREAT | O_APPEND | O_CLOEXEC | (mode == FileOpenMode::Overwrite ? O_TRUNC : 0);
    int fd = openRetrying(name.constData(), O_RDWR | flags);
    if (fd < 0 && errno == EACCES)
        fd = openRetrying(name.constData(), O_WRONLY | flags); // a write-only file
    if (fd < 0) {
        setError(error, errno);
        return false;
    }
    fd_ = fd;
    name_ = name;
    restored_ = false;
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
    // Writes to a file with no name left succeed and are lost with it.
    if (S_ISREG(status.st_mode) && status.st_nlink == 0 && !restoreRemovedFile(status.st_size, error))
        return false;

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

bool PosixTextFileChannel::restoreRemovedFile(off_t size, QString* error)
{
    // O_EXCL: a file that someone has put at the path since is not ours.
    const int fresh = openRetrying(name_.constData(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC);
    if (fresh < 0) {
        setError(error, errno);
        return false;
    }
    if (const int errorCode = copyBytes(fd_, fresh, size)) {
        ::close(fresh);
        setError(error, errorCode);
        return false;
    }
    ::close(fd_);
    fd_ = fresh;
    restored_ = true;
    return true;
}

bool PosixTextFileChannel::takeRestored()
{
    const bool restored = restored_;
    restored_ = false;
    return restored;
}

void PosixTextFileChannel::close()
{
    if (fd_ < 0)
        return;
    // Linux releases the descriptor even when close reports an error, so
    // retrying after EINTR could close someone else's file.
    ::close(fd_);
    fd_ = -1;
    restored_ = false;
}

} // namespace tavelin
