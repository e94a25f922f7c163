// The log writer on the real log channel: a full disk, a disk filling up
// during a run, a removed file, a path that cannot be a file.
#include "fakes/log_writer_rig.h"
#include "logging/log_record.h"
#include "platform/qt/posix_text_file_channel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>

using namespace tavelin;
using namespace tavelin::test;

namespace {

// The real channel, whose descriptor the test can move to another file in
// the middle of a run, as when the disk under the log fills up.
class MovableChannel : public TextFileChannel {
public:
    bool open(const QString& path, FileOpenMode mode, QString* error) override { return real.open(path, mode, error); }
    bool isOpen() const override { return real.isOpen(); }
    bool write(const QByteArray& record, QString* error) override { return real.write(record, error); }
    void close() override { real.close(); }
    bool wasRemoved() const override { return real.wasRemoved(); }
    bool moveTo(const QString& path) { return real.open(path, FileOpenMode::Append, nullptr); }

    PosixTextFileChannel real;
};

TEST(LogWriterOnDisk, FullDeviceFailsTheHeader)
{
    PosixTextFileChannel channel;
    LogWriterRig b(channel);
    QString error;
    EXPECT_FALSE(b.writer.OpenLogFile(QStringLiteral("/dev/full"), FileOpenMode::Append, &error));
    EXPECT_EQ(error.toStdString(), qt_error_string(ENOSPC).toStdString());
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

TEST(LogWriterOnDisk, DiskFillingUpDuringARunGivesOneMessageAndStopsLogging)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("run.txt"));
    MovableChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(path, FileOpenMode::Overwrite));
    b.tickAt(QTime(14, 5, 9));
    ASSERT_TRUE(channel.moveTo(QStringLiteral("/dev/full")));
    b.tickAt(QTime(14, 5, 10));
    b.tickAt(QTime(14, 5, 11));

    EXPECT_EQ(b.messages.prompts, QStringList({"Cannot write to the log file " + path + ": "
                                               + qt_error_string(ENOSPC) + ". Logging has stopped."}));
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_FALSE(channel.isOpen());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("\r\n\r\n\"14:05:09\",0,0,\"000\"\r\n"));
}

TEST(LogWriterOnDisk, RemovedFileStartsAgainWithItsHeaderAndTheOperatorToldOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("run.txt"));
    PosixTextFileChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(path, FileOpenMode::Overwrite));
    b.tickAt(QTime(14, 5, 9));
    ASSERT_TRUE(QFile::remove(path));
    b.tickAt(QTime(14, 5, 10));
    b.tickAt(QTime(14, 5, 11));
    b.tickAt(QTime(14, 5, 12));

    // A notice that does not wait: a waiting box would hold the ticks back.
    EXPECT_EQ(b.messages.notices, QStringList({"The log file " + path + " was removed while logging. A new file "
                                               "with its own header has been started at its path, and logging "
                                               "goes on."}));
    EXPECT_TRUE(b.messages.prompts.isEmpty());
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_TRUE(channel.isOpen());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    EXPECT_EQ(data, logHeaderRecords(path, b.clock.currentDate()).join()
                        + "\"14:05:10\",0,0,\"000\"\r\n\"14:05:11\",0,0,\"000\"\r\n\"14:05:12\",0,0,\"000\"\r\n");
}

TEST(LogWriterOnDisk, PathBelowARegularFileFailsToOpenWithTheSystemsReason)
{
    QTemporaryFile plain;
    ASSERT_TRUE(plain.open());
    PosixTextFileChannel channel;
    LogWriterRig b(channel);
    QString error;
    EXPECT_FALSE(b.writer.OpenLogFile(plain.fileName() + "/log.txt", FileOpenMode::Overwrite, &error));
    EXPECT_EQ(error.toStdString(), qt_error_string(ENOTDIR).toStdString());
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

} // namespace
