#pragma once
// What the readings store does to files outside SQLite: making its folder and
// setting a damaged file aside. A damaged file is only ever renamed, never
// deleted, so whatever it still holds can be looked at later.

#include <QDateTime>
#include <QString>

namespace tavelin {

// Makes the folder that will hold filePath, and any folder above it that is
// missing. False, with *error naming the folder and the reason, when it cannot.
bool makeFolderFor(const QString& filePath, QString* error);

// True for a file that is there, holds something, and does not begin as an
// SQLite database does. Such a file must be set aside before SQLite opens it:
// SQLite would take a journal beside it for its own and remove it.
bool isForeignFile(const QString& path);

// The name a damaged file is set aside under: "<path>.damaged-<yyyyMMddTHHmmssZ>".
QString damagedFileName(const QString& path, const QDateTime& utcNow);

// Renames the file at path to damagedFileName() (with "-2", "-3"... when that
// is taken) together with its "-wal" and "-shm" journal files, so that the
// copy opens with its journal, and its ".key", so that its seals can still be
// checked; those go first. Returns the new path,
// or empty with *error set; a journal that cannot be moved fails too, since a
// fresh file must never meet an old journal.
QString setAsideDamagedFile(const QString& path, const QDateTime& utcNow, QString* error);

} // namespace tavelin
