#pragma once
// Text files held in memory, by path. Append keeps a file's bytes, Overwrite
// empties it. Opening can be made to fail, and so can the Nth write counted
// from construction (or a run of them), each with a given reason. A file can
// be removed while open.

#include "platform/text_file_channel.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace tavelin::test {

class FakeTextFileChannel : public TextFileChannel {
public:
    bool open(const QString& path, FileOpenMode mode, QString* error) override
    {
        close();
        events << QStringLiteral("open ") + path;
        if (!openFailure.isEmpty()) {
            if (error)
                *error = openFailure;
            return false;
        }
        if (mode == FileOpenMode::Overwrite)
            files[path].clear();
        else
            files[path]; // created when missing
        openPath_ = path;
        open_ = true;
        removed_ = false;
        return true;
    }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& record, QString* error) override
    {
        ++writes;
        const bool failing = writes == failingWrite || (failingWrite > 0 && writes > failingWrite && writes <= failingUntil);
        if (!open_ || removed_ || failing) {
            if (error)
                *error = !open_ ? QStringLiteral("Bad file descriptor")
                                : removed_ ? QStringLiteral("No such file or directory") : writeFailure;
            return false;
        }
        files[openPath_].append(record);
        return true;
    }
    bool wasRemoved() const override { return open_ && removed_; }
    // The open file goes from its folder: its bytes are lost.
    void remove()
    {
        files.remove(openPath_);
        removed_ = true;
    }
    void close() override
    {
        if (!open_)
            return;
        events << QStringLiteral("close ") + openPath_;
        open_ = false;
    }

    QMap<QString, QByteArray> files;
    QStringList events;        // "open <path>" and "close <path>", in order
    int writes = 0;            // write calls so far, failed ones included
    QString openFailure;       // non-empty: open fails with this reason
    int failingWrite = 0;      // this write call (1-based) fails; 0: none
    int failingUntil = 0;      // and so do the ones after it up to this one
    QString writeFailure = QStringLiteral("No space left on device");

private:
    QString openPath_;
    bool open_ = false;
    bool removed_ = false;
};

} // namespace tavelin::test
