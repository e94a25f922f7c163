#pragma once
// The broker password, read from the file that password_file names, else
// from the service's systemd credential mqtt-password: the first line,
// without the line end. A file that its group or others can read is
// refused, with the command that makes it private. The password is never
// put into any message.

#include <QByteArray>
#include <QString>

namespace tavelin {

// The credential's name in $CREDENTIALS_DIRECTORY.
constexpr const char* kPasswordCredential = "mqtt-password";

// False with *problem set (a sentence for the operator) when it cannot be used.
bool readPasswordFile(const QString& path, QByteArray* password, QString* problem);

// The password for a login: from passwordFile when it is set, else from the
// credential when systemd gave one ($CREDENTIALS_DIRECTORY), else none. Empty
// means no password: an empty credential (a unit's empty SetCredential=
// default) and an empty file alike.
bool readBrokerPassword(const QString& passwordFile, QByteArray* password, QString* problem);

} // namespace tavelin
