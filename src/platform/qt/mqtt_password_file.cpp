#include "platform/qt/mqtt_password_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace tavelin {

bool readPasswordFile(const QString& path, QByteArray* password, QString* problem)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *problem = QStringLiteral("the password file %1 cannot be read: %2").arg(path, qt_error_string(errno));
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *problem = QStringLiteral("the password file %1 can be read by others than its owner, so it is not used; "
                                  "make it private with: chmod 600 %1")
                       .arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("the password file %1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    *password = line;
    return true;
}

bool readBrokerPassword(const QString& passwordFile, QByteArray* password, QString* problem)
{
    password->clear();
    if (!passwordFile.isEmpty())
        return readPasswordFile(passwordFile, password, problem);
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (credentials.isEmpty())
        return true;
    const QString credential = QDir(credentials).filePath(QLatin1String(kPasswordCredential));
    return !QFileInfo::exists(credential) || readPasswordFile(credential, password, problem);
}

} // namespace tavelin
