// The real log channel on the file system: open modes, records reaching the
// file at once, and failures carrying the system's reason. Tests run as root,
// so failures come from the shape of the path, never from permissions.
#include "platform/qt/posix_text_file_channel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace tavelin;

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void makeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class TextFileChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    PosixTextFileChannel channel;
    QString error;
};

TEST_F(TextFileChannelTest, BothModesCreateAMissingFile)
{
    for (FileOpenMode mode : {FileOpenMode::Append, FileOpenMode::Overwrite}) {
        const QString file = path(mode == FileOpenMode::Append ? "a.txt" : "o.txt");
        ASSERT_TRUE(channel.open(file, mode, &error)) << error.toStdString();
        EXPECT_TRUE(channel.isOpen());
        ASSERT_TRUE(channel.write("x\r\n", &error));
        channel.close();
        EXPECT_EQ(contentsOf(file), QByteArray("x\r\n"));
    }
}

TEST_F(TextFileChannelTest, AppendKeepsContentAndOverwriteDiscardsIt)
{
    const QByteArray old("old line without terminator \xFF", 29);
    const QString file = path("log.txt");
    makeFile(file, old);

    ASSERT_TRUE(channel.open(file, FileOpenMode::Append, &error));
    ASSERT_TRUE(channel.write("new\r\n", &error));
    channel.close();
    EXPECT_EQ(contentsOf(file), old + "new\r\n");

    ASSERT_TRUE(channel.open(file, FileOpenMode::Overwrite, &error));
    EXPECT_EQ(contentsOf(file), QByteArray());
    ASSERT_TRUE(channel.write("fresh\r\n", &error));
    channel.close();
    EXPECT_EQ(contentsOf(file), QByteArray("fresh\r\n"));
}

TEST_F(TextFileChannelTest, AppendWritesAtTheEndEvenWhenTheFileGrowsMeanwhile)
{
    const QString file = path("shared.txt");
    ASSERT_TRUE(channel.open(file, FileOpenMode::Append, &error));
    ASSERT_TRUE(channel.write("1\r\n", &error));
    QFile other(file);
    ASSERT_TRUE(other.open(QIODevice::Append));
    other.write("other\r\n");
    other.close();
    ASSERT_TRUE(channel.write("2\r\n", &error));
    channel.close();
    EXPECT_EQ(contentsOf(file), QByteArray("1\r\nother\r\n2\r\n"));
}

TEST_F(TextFileChannelTest, EveryRecordIsInTheFileBeforeClosing)
{
    const QString file = path("live.txt");
    ASSERT_TRUE(channel.open(file, FileOpenMode::Overwrite, &error));
    ASSERT_TRUE(channel.write("first\r\n", &error));
    EXPECT_EQ(contentsOf(file), QByteArray("first\r\n"));
    const QByteArray big(1 << 20, 'z');
    ASSERT_TRUE(channel.write(big, &error));
    EXPECT_EQ(contentsOf(file).size(), 7 + big.size());
}

TEST_F(TextFileChannelTest, OpeningAnImpossiblePathFailsWithTheSystemsReason)
{
    makeFile(path("plain"), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const struct {
        QString path;
        int errorCode;
    } cases[] = {
        {path("folder"), EISDIR},
        {path("plain/below.txt"), ENOTDIR},
        {path("missing/log.txt"), ENOENT},
        {QString(), ENOENT},
    };
    for (const auto& c : cases) {
        for (FileOpenMode mode : {FileOpenMode::Append, FileOpenMode::Overwrite}) {
            SCOPED_TRACE(c.path.toStdString());
            error.clear();
            EXPECT_FALSE(channel.open(c.path, mode, &error));
            EXPECT_FALSE(channel.isOpen());
            EXPECT_EQ(error.toStdString(), qt_error_string(c.errorCode).toStdString());
        }
    }
    EXPECT_EQ(contentsOf(path("plain")), QByteArray("x"));
}

TEST_F(TextFileChannelTest, AFullDeviceRefusesTheRecordWithItsReason)
{
    ASSERT_TRUE(channel.open(QStringLiteral("/dev/full"), FileOpenMode::Append, &error)) << error.toStdString();
    EXPECT_FALSE(channel.write("row\r\n", &error));
    EXPECT_EQ(error.toStdString(), qt_error_string(ENOSPC).toStdString());
}

// A file size limit makes the kernel take only part of a record, then refuse
// the rest, as a filling disk does: the channel must keep writing after the
// short write, report the refusal, and cut the torn record off again.
TEST_F(TextFileChannelTest, ShortWriteIsContinuedAndARefusedRestIsCutOff)
{
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);

    const QString file = path("limited.txt");
    const bool opened = channel.open(file, FileOpenMode::Overwrite, &error);
    const bool wroteFirst = opened && channel.write("row\r\n", &error);
    struct rlimit limited = saved;
    limited.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool wroteSecond = opened && channel.write("0123456789abcdef\r\n", &error);
    channel.close();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    ASSERT_TRUE(opened);
    EXPECT_TRUE(wroteFirst);
    EXPECT_FALSE(wroteSecond);
    EXPECT_EQ(error.toStdString(), qt_error_string(EFBIG).toStdString());
    EXPECT_EQ(contentsOf(file), QByteArray("row\r\n"));
}

// On Linux a removed file takes writes without complaint and loses them: the
// channel refuses them and says the file was removed; opening the path again
// starts a new file there, in either mode, and takes nothing from the old one.
TEST_F(TextFileChannelTest, RemovedFileRefusesRecordsUntilThePathIsOpenedAgain)
{
    for (FileOpenMode mode : {FileOpenMode::Append, FileOpenMode::Overwrite}) {
        const QString file = path(mode == FileOpenMode::Append ? "a.txt" : "o.txt");
        ASSERT_TRUE(channel.open(file, mode, &error));
        ASSERT_TRUE(channel.write("before\r\n", &error));
        EXPECT_FALSE(channel.wasRemoved());
        ASSERT_TRUE(QFile::remove(file));

        EXPECT_TRUE(channel.wasRemoved());
        EXPECT_FALSE(channel.write("lost\r\n", &error));
        EXPECT_EQ(error.toStdString(), qt_error_string(ENOENT).toStdString());
        EXPECT_FALSE(QFile::exists(file));
        ASSERT_TRUE(channel.open(file, mode, &error));
        EXPECT_FALSE(channel.wasRemoved());
        ASSERT_TRUE(channel.write("next\r\n", &error));
        channel.close();
        EXPECT_FALSE(channel.wasRemoved());
        EXPECT_EQ(contentsOf(file), QByteArray("next\r\n"));
    }

    // A file moved away (logrotate) still has a name: it takes the records.
    const QString moved = path("moved.txt");
    ASSERT_TRUE(channel.open(path("rotated.txt"), FileOpenMode::Overwrite, &error));
    ASSERT_TRUE(QFile::rename(path("rotated.txt"), moved));
    EXPECT_FALSE(channel.wasRemoved());
    EXPECT_TRUE(channel.write("row\r\n", &error));
    EXPECT_EQ(contentsOf(moved), QByteArray("row\r\n"));
}

TEST_F(TextFileChannelTest, ClosedChannelRefusesWritesAndClosesQuietly)
{
    channel.close();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_FALSE(channel.write("row\r\n", &error));
    EXPECT_FALSE(error.isEmpty());

    const QString file = path("once.txt");
    ASSERT_TRUE(channel.open(file, FileOpenMode::Overwrite, &error));
    channel.close();
    channel.close();
    EXPECT_FALSE(channel.write("late\r\n", &error));
    EXPECT_EQ(contentsOf(file), QByteArray());
}

TEST_F(TextFileChannelTest, OpeningAgainClosesTheFirstFile)
{
    ASSERT_TRUE(channel.open(path("one.txt"), FileOpenMode::Overwrite, &error));
    ASSERT_TRUE(channel.open(path("two.txt"), FileOpenMode::Overwrite, &error));
    ASSERT_TRUE(channel.write("r\r\n", &error));
    channel.close();
    EXPECT_EQ(contentsOf(path("one.txt")), QByteArray());
    EXPECT_EQ(contentsOf(path("two.txt")), QByteArray("r\r\n"));
}

TEST_F(TextFileChannelTest, FileNameWithBlanksCommasQuotesAndNonAsciiIsUsedAsGiven)
{
    const QString name = QStringLiteral("Lauf 1, \"öl\" €.txt");
    ASSERT_TRUE(channel.open(path(name), FileOpenMode::Append, &error)) << error.toStdString();
    channel.close();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).contains(name));
}

} // namespace
