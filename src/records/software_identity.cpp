#include "records/software_identity.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace tavelin {

namespace {
const char kRunningExecutable[] = "/proc/self/exe";
} // namespace

QString executableSha256(QString* path)
{
    static const QString target = QFileInfo(QLatin1String(kRunningExecutable)).symLinkTarget();
    static const QString hash = [] {
        QFile file{QString::fromLatin1(kRunningExecutable)};
        QCryptographicHash sha256(QCryptographicHash::Sha256);
        if (!file.open(QIODevice::ReadOnly) || !sha256.addData(&file))
            return QString();
        return QString::fromLatin1(sha256.result().toHex());
    }();
    if (path)
        *path = target;
    return hash;
}

QString versionText(const QString& program, const QString& version)
{
    QString path;
    const QString hash = executableSha256(&path);
    return QStringLiteral("%1 %2\nsha256 %3  %4\n")
        .arg(program, version, hash.isEmpty() ? QStringLiteral("unknown") : hash, path);
}

QString loginName()
{
    const uid_t uid = ::geteuid();
    // getpwuid_r: the station's threads may look names up too.
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

} // namespace tavelin
