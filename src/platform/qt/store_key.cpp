#include "platform/qt/store_key.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tavelin {

namespace {
QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

QString storeKeyPath(const QString& storePath)
{
    return storePath + QStringLiteral(".key");
}

bool readStoreKey(const QString& path, QByteArray* key, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the key %1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    *key = file.read(kStoreKeyBytes + 1);
    if (key->size() != kStoreKeyBytes) {
        *error = QStringLiteral("the key %1 is not a key (%2 bytes, not %3)").arg(path).arg(key->size()).arg(kStoreKeyBytes);
        return false;
    }
    return true;
}

bool makeStoreKey(const QString& path, QByteArray* key, QString* error)
{
    QByteArray bytes(kStoreKeyBytes, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(bytes.data()),
                                         reinterpret_cast<quint32*>(bytes.data() + bytes.size()));
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("the key %1 cannot be made: %2").arg(path, systemReason());
        return false;
    }
    const bool written = ::write(fd, bytes.constData(), bytes.size()) == bytes.size() && ::fsync(fd) == 0;
    const QString reason = written ? QString() : systemReason();
    ::close(fd);
    if (!written) {
        ::unlink(QFile::encodeName(path).constData()); // never a short key left behind
        *error = QStringLiteral("the key %1 cannot be written: %2").arg(path, reason);
        return false;
    }
    *key = bytes;
    return true;
}

} // namespace tavelin
