#pragma once
// The broker password, read from the file that password_file names: its
// first line, without the line end. A file that its group or others can read
// is refused, with the command that makes it private. The password is never
// put into any message.

#include <QByteArray>
#include <QString>

namespace tavelin {

// False with *problem set (a sentence for the operator) when it cannot be used.
bool readPasswordFile(const QString& path, QByteArray* password, QString* problem);

} // namespace tavelin
