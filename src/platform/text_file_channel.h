#pragma once
// A text file on a numbered channel: opened for appending or from empty,
// written one record at a time, closed. Every record reaches the operating
// system as it is written, so a crash loses at most the record being written.

#include <QByteArray>
#include <QString>

namespace tavelin {

enum class FileOpenMode { Append, Overwrite };

class TextFileChannel {
public:
    virtual ~TextFileChannel() = default;
    // Append: created when missing, content kept. Overwrite: created or emptied.
    // On failure returns false and sets *error to the system's reason.
    virtual bool open(const QString& path, FileOpenMode mode, QString* error) = 0;
    virtual bool isOpen() const = 0;
    // Writes the bytes of one whole record (terminator included) and flushes.
    // A file removed since it was opened takes nothing and fails.
    virtual bool write(const QByteArray& record, QString* error) = 0;
    // Closing a channel that is not open does nothing.
    virtual void close() = 0;
    // True when the open file has been removed from its folder: what it takes
    // would be lost with it. Opening the path again starts a new file there.
    virtual bool wasRemoved() const { return false; }
};

} // namespace tavelin
