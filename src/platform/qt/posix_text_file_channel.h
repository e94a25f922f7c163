#pragma once
// The log channel on a POSIX file descriptor. Each record goes to the kernel
// with write(2) as it is written, with no buffer of our own, so rows written
// before a crash or a full disk stay in the file. A record the disk takes only
// part of is taken back, so the file always ends with a whole record. A file
// removed while open takes no more records: they would be lost with it.

#include "platform/text_file_channel.h"

namespace tavelin {

class PosixTextFileChannel : public TextFileChannel {
public:
    PosixTextFileChannel() = default;
    ~PosixTextFileChannel() override;
    PosixTextFileChannel(const PosixTextFileChannel&) = delete;
    PosixTextFileChannel& operator=(const PosixTextFileChannel&) = delete;

    // A channel that is already open is closed first.
    bool open(const QString& path, FileOpenMode mode, QString* error) override;
    bool isOpen() const override { return fd_ >= 0; }
    bool write(const QByteArray& record, QString* error) override;
    void close() override;
    bool wasRemoved() const override;

private:
    int fd_ = -1;
};

} // namespace tavelin
