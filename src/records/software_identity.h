#pragma once
// What identifies the running program: its version and the SHA-256 of the
// executable the system started (read through /proc/self/exe, so it is the
// file running even when the path has since been replaced), and the user
// it runs as.

#include <QString>

namespace tavelin {

// The executable's SHA-256 in hex, read once and kept; empty when it cannot
// be read. *path (when given) gets the file's path.
QString executableSha256(QString* path = nullptr);

// "tavelin 1.0.0\nsha256 <hex>  <path>\n": what --version prints.
QString versionText(const QString& program, const QString& version);

// The login name of the user the program runs as (for the service under
// DynamicUser, its dynamic user's name); the uid when it has none.
QString loginName();

} // namespace tavelin
