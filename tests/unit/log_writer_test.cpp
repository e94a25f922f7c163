// The periodic log writer: the whole file as the operator gets it, the two
// open modes, what a tick writes, and how logging stops on failure, or goes
// on trying.
#include "fakes/fake_counter.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/log_writer_rig.h"

#include <gtest/gtest.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kExamplePath = QStringLiteral("C:\\Flow\\run1.txt");

const char kExampleHeader[] = "\r\n"
                              "\"Veltrane Logging Program\",#2026-12-07#\r\n"
                              "\"Version: 1.0\"\r\n"
                              "\r\n"
                              "\"Log File: C:\\Flow\\run1.txt\"\r\n"
                              "\r\n"
                              "\"Time, Frequency, Liters / min, Total Liters\"\r\n"
                              "\r\n";

std::string str(const QByteArray& bytes) { return bytes.toStdString(); }

TEST(LogWriter, WritesTheWorkedExampleByteForByte)
{
    FakeTextFileChannel channel;
    channel.files[kExamplePath] = "former content\r\n";
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
    b.sample(250, 2.17, QStringLiteral("13.5"));
    b.tickAt(QTime(14, 5, 9));
    b.sample(251.5, 2.19, QStringLiteral("13.54"));
    b.tickAt(QTime(14, 5, 10));

    EXPECT_EQ(str(channel.files[kExamplePath]), std::string(kExampleHeader) +
                                                   "\"14:05:09\",250,2.17,\"13.5\"\r\n"
                                                   "\"14:05:10\",251.5,2.19,\"13.54\"\r\n");
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

TEST(LogWriter, AppendKeepsTheFileAndAddsTheHeaderRightAfterItsLastByte)
{
    FakeTextFileChannel channel;
    const QByteArray earlier("\"23:59:59\",1,0.01,\"7\"\r\nno terminator \xE4");
    channel.files[kExamplePath] = earlier;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Append));
    b.tickAt(QTime(0, 0, 1));

    EXPECT_EQ(str(channel.files[kExamplePath]),
              str(earlier) + kExampleHeader + "\"00:00:01\",0,0,\"000\"\r\n");
}

TEST(LogWriter, RowsBeforeTheFirstSampleHoldZerosAndTheStartUpText)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
    b.tickAt(QTime(14, 5, 9));
    EXPECT_TRUE(channel.files[kExamplePath].endsWith("\r\n\r\n\"14:05:09\",0,0,\"000\"\r\n"));
}

TEST(LogWriter, RowTimeFollowsTheLocalesClock)
{
    const struct {
        const char* locale;
        const char* row;
    } cases[] = {
        {"en_US", "\"2:05:09 PM\",250,2.17,\"13.5\"\r\n"},
        {"de_DE", "\"14:05:09\",250,2.17,\"13.5\"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        FakeTextFileChannel channel;
        LogWriterRig b(channel, QLocale(QString::fromLatin1(c.locale)));
        ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
        const int headerSize = channel.files[kExamplePath].size();
        b.sample(250, 2.17, QStringLiteral("13.5"));
        b.tickAt(QTime(14, 5, 9));
        EXPECT_EQ(str(channel.files[kExamplePath].mid(headerSize)), c.row);
    }
}

TEST(LogWriter, HeaderDateIsTheDayOfOpeningAndRowsCarryNoDate)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
    b.tickAt(QTime(23, 59, 59));
    b.clock.date = QDate(2026, 12, 8);
    b.tickAt(QTime(0, 0, 0));
    const QByteArray file = channel.files[kExamplePath];
    EXPECT_EQ(file.count('#'), 2);
    EXPECT_TRUE(file.contains("#2026-12-07#"));
    EXPECT_TRUE(file.endsWith("\"23:59:59\",0,0,\"000\"\r\n\"00:00:00\",0,0,\"000\"\r\n"));
}

TEST(LogWriter, OpeningASecondFileClosesTheFirst)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(QStringLiteral("/a.txt"), FileOpenMode::Overwrite));
    ASSERT_TRUE(b.writer.OpenLogFile(QStringLiteral("/b.txt"), FileOpenMode::Overwrite));
    b.tickAt(QTime(1, 2, 3));
    EXPECT_EQ(channel.events, QStringList({"open /a.txt", "close /a.txt", "open /b.txt"}));
    EXPECT_FALSE(channel.files["/a.txt"].contains("01:02:03"));
    EXPECT_TRUE(channel.files["/b.txt"].contains("01:02:03"));
}

TEST(LogWriter, TickWithNoFileOpenWritesNothing)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    b.tickAt(QTime(14, 5, 9));
    EXPECT_EQ(channel.writes, 0);
    EXPECT_TRUE(b.messages.prompts.isEmpty());
    EXPECT_TRUE(b.tmrLogger.isEnabled());
}

TEST(LogWriter, StopLoggingWithNoFileOnlyDisablesTheTimer)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    b.writer.StopLogging();
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
    EXPECT_TRUE(channel.events.isEmpty());
    EXPECT_TRUE(channel.files.isEmpty());
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

TEST(LogWriter, StopLoggingClosesTheFileAndKeepsTheInterval)
{
    FakeTextFileChannel channel;
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
    b.tickAt(QTime(14, 5, 9));
    b.writer.StopLogging();
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.events.last(), "close " + kExamplePath);

    const int writes = channel.writes;
    b.tickAt(QTime(14, 5, 10));
    EXPECT_EQ(channel.writes, writes);
}

TEST(LogWriter, OpenFailureReportsTheReasonAndLeavesNoFileOpen)
{
    FakeTextFileChannel channel;
    channel.openFailure = QStringLiteral("No such file or directory");
    LogWriterRig b(channel);
    QString error;
    EXPECT_FALSE(b.writer.OpenLogFile(QStringLiteral("/missing/log.txt"), FileOpenMode::Append, &error));
    EXPECT_EQ(error, channel.openFailure);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.writes, 0);
    EXPECT_TRUE(b.tmrLogger.isEnabled()); // the caller decides about the timer
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

TEST(LogWriter, HeaderWriteFailureClosesTheFileAndReportsTheReason)
{
    FakeTextFileChannel channel;
    channel.failingWrite = 3;
    LogWriterRig b(channel);
    QString error;
    EXPECT_FALSE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite, &error));
    EXPECT_EQ(error, channel.writeFailure);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.events.last(), "close " + kExamplePath);
}

TEST(LogWriter, RowWriteFailureStopsLoggingWithOneMessageAndKeepsEarlierRows)
{
    FakeTextFileChannel channel;
    channel.failingWrite = 8 + 3; // the header, two good rows, then the disk is full
    LogWriterRig b(channel);
    ASSERT_TRUE(b.writer.OpenLogFile(QStringLiteral("/data/run 1.txt"), FileOpenMode::Overwrite));
    bool stoppedWhileBoxOpen = false;
    b.messages.onShow = [&](const QString&) {
        stoppedWhileBoxOpen = !b.tmrLogger.isEnabled() && !channel.isOpen();
        b.tickAt(QTime(14, 5, 12)); // a tick delivered by the box's event loop
    };
    for (int second = 9; second <= 11; ++second)
        b.tickAt(QTime(14, 5, second));
    b.tickAt(QTime(14, 5, 13));

    EXPECT_EQ(b.messages.prompts, QStringList({"Cannot write to the log file /data/run 1.txt: "
                                               "No space left on device. Logging has stopped."}));
    EXPECT_EQ(b.messages.titles, QStringList({QString()}));
    EXPECT_TRUE(stoppedWhileBoxOpen);
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(channel.files["/data/run 1.txt"].endsWith("\"14:05:09\",0,0,\"000\"\r\n\"14:05:10\",0,0,\"000\"\r\n"));
    EXPECT_EQ(channel.writes, 11);
}

// The service's way: every tick tries again; the failure is told at once,
// then at most once a minute with the rows lost so far; the first row
// written again is told once.
TEST(LogWriter, RetriedWriteFailureIsToldAtMostOnceAMinuteAndTheRecoveryOnce)
{
    FakeTextFileChannel channel;
    channel.failingWrite = 8 + 2; // the header and one row, then six rows fail
    channel.failingUntil = 8 + 7;
    LogWriterRig b(channel);
    FakeMillisecondCounter counter(0, 0);
    b.writer.retryFailedWrites(counter);
    ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
    const int atSeconds[] = {0, 1, 30, 59, 60, 61, 62, 63, 200};
    for (int second : atSeconds) {
        counter.now = std::uint32_t(second) * 1000;
        b.tickAt(QTime(14, 5, 0).addSecs(second));
    }

    const QString failure = "Cannot write to the log file " + kExamplePath + ": No space left on device.";
    EXPECT_EQ(b.messages.prompts, QStringList({failure + " Logging goes on and tries again at each row.",
                                               failure + " 5 rows not written since it failed; still trying at "
                                                         "each row."}));
    EXPECT_EQ(b.messages.notices,
              QStringList({"The log file " + kExamplePath + " is written again; 6 rows could not be written."}));
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_EQ(str(channel.files[kExamplePath]), std::string(kExampleHeader) +
                                                   "\"14:05:00\",0,0,\"000\"\r\n"
                                                   "\"14:06:03\",0,0,\"000\"\r\n"
                                                   "\"14:08:20\",0,0,\"000\"\r\n");
}

// A file that cannot be opened at the start, or again after it was removed:
// the window is told and its run stops; the service goes on trying, and the
// file it opens later begins with its header.
TEST(LogWriter, FileThatCannotBeOpenedStopsTheWindowsRunAndIsRetriedByTheService)
{
    for (bool retried : {false, true}) {
        FakeTextFileChannel channel;
        LogWriterRig b(channel);
        FakeMillisecondCounter counter(0, 1000);
        if (retried)
            b.writer.retryFailedWrites(counter);
        ASSERT_TRUE(b.writer.OpenLogFile(kExamplePath, FileOpenMode::Overwrite));
        channel.remove();
        channel.openFailure = QStringLiteral("No such file or directory");
        b.tickAt(QTime(14, 5, 9));
        b.tickAt(QTime(14, 5, 10));
        EXPECT_EQ(b.tmrLogger.isEnabled(), retried);
        EXPECT_EQ(b.messages.prompts.size(), 1) << b.messages.prompts.join('|').toStdString();
        EXPECT_TRUE(b.messages.prompts.value(0).endsWith(retried ? "tries again at each row." : "Logging has stopped."));

        channel.openFailure.clear();
        b.tickAt(QTime(14, 5, 11));
        EXPECT_EQ(str(channel.files.value(kExamplePath)),
                  retried ? std::string(kExampleHeader) + "\"14:05:11\",0,0,\"000\"\r\n" : std::string());
        EXPECT_EQ(b.messages.notices.size(), retried ? 1 : 0);
    }
}

} // namespace
