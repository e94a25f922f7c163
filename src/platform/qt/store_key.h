#pragma once
// The key the store's seals are made with: 32 random bytes in a file beside
// the store ("readings.db.key"), readable by its owner alone, made with the
// store and never printed. Whoever can read it can make seals.

#include <QByteArray>
#include <QString>

namespace tavelin {

constexpr int kStoreKeyBytes = 32;

QString storeKeyPath(const QString& storePath);

// The key in the file at path; false with *error set when it cannot be read
// or is not a key.
bool readStoreKey(const QString& path, QByteArray* key, QString* error);

// Makes a new key file at path (mode 0600, synced; never over an existing
// file) and gives its key; false with *error set when it cannot.
bool makeStoreKey(const QString& path, QByteArray* key, QString* error);

} // namespace tavelin
