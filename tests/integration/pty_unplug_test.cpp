// The module unplugged and plugged back in while the program samples: the
// real serial port must notice the loss without spinning, report the port as
// not open, and pick the module up again at the same path; also when it was
// not there at start-up. A port that cannot be opened says why.

#include "platform/qt/qt_serial_open_failure.h"
#include "pty_rig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>
#include <grp.h>
#include <unistd.h>

namespace tavelin::test {
namespace {

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double wallSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs the event loop, which sleeps while nothing happens, for a while.
void idleInEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void expectPortNotOpenCycle(PtyRig& rig)
{
    rig.messages.prompts.clear();
    rig.messages.titles.clear();
    rig.tick();
    EXPECT_EQ(rig.messages.prompts, (QStringList{kPortNotOpen, kNoValidReturn}));
    EXPECT_EQ(rig.messages.titles, (QStringList{kPortFailure, QString()}));
}

// Between ticks the program idles in its event loop, where a hung-up line
// that is left open makes the port's read notifier fire without end.
TEST(PtyUnplug, LossSeenByTheEventLoopClosesThePortWithoutSpinning)
{
    PtyRig rig;
    rig.tick();
    ASSERT_EQ(rig.state.dblPulseTotal, 72.0);

    rig.module.unplug();
    const double cpuBefore = threadCpuSeconds();
    const double wallBefore = wallSeconds();
    idleInEventLoop(300);
    const double cpuUsed = threadCpuSeconds() - cpuBefore;
    const double wallUsed = wallSeconds() - wallBefore;

    EXPECT_TRUE(rig.port.isLost());
    // An idle event loop uses next to no processor time; a spinning one all it gets.
    EXPECT_LT(cpuUsed, 0.25 * wallUsed) << cpuUsed << " s of processor time in " << wallUsed << " s";

    expectPortNotOpenCycle(rig);
    expectPortNotOpenCycle(rig);
    EXPECT_EQ(rig.state.dblPulseTotal, 72.0);
    EXPECT_EQ(rig.state.dblFrequency, 72.0);
    EXPECT_EQ(rig.display.writes.size(), 5) << "only the first cycle wrote the display";
}

// Without events in between, the cycle itself runs into the loss.
TEST(PtyUnplug, LossMetInsideACycleEndsThatCycleAndTheNextSeesThePortClosed)
{
    PtyRig rig;
    rig.tick();
    rig.module.unplug();

    rig.messages.prompts.clear();
    rig.tick();
    ASSERT_FALSE(rig.messages.prompts.isEmpty());
    EXPECT_EQ(rig.messages.prompts.back(), kNoValidReturn);
    EXPECT_EQ(rig.state.dblPulseTotal, 72.0);

    expectPortNotOpenCycle(rig);
}

TEST(PtyUnplug, ModulePluggedBackInAtTheSamePathIsPickedUpWithTheTotalIntact)
{
    PtyRig rig(sim::readingList({72.0, 6900.0}));
    rig.tick();
    rig.module.unplug();
    idleInEventLoop(100);
    expectPortNotOpenCycle(rig);

    rig.module.plugIn();
    rig.messages.prompts.clear();
    rig.display.writes.clear();
    rig.tick();

    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_FALSE(rig.port.isLost());
    EXPECT_EQ(rig.state.dblFrequency, 6900.0);
    EXPECT_EQ(rig.state.dblPulseTotal, 6972.0);
    EXPECT_EQ(rig.display.writes, (QStringList{"lblHz=6900", "lblLitersPerMin=60", "CWSlide1=60",
                                               "liters=1.01", "CWSlide2=1.01"}));
    EXPECT_EQ(rig.module.stats().commands, 2u) << "no command can reach an unplugged module";
}

TEST(PtyUnplug, ModuleAbsentAtStartUpIsPickedUpAtTheFirstCycleAfterItAppears)
{
    PtyRig rig;
    rig.module.unplug();
    rig.port.close();
    ASSERT_FALSE(rig.port.open()) << "as at start-up, with no device at the path";
    expectPortNotOpenCycle(rig);
    expectPortNotOpenCycle(rig);

    rig.module.plugIn();
    rig.messages.prompts.clear();
    rig.tick();

    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
    EXPECT_EQ(rig.state.dblPulseTotal, 72.0);
}

// Two real causes: the port held by another program (here a second port in
// this process, which QSerialPort's lock file turns away) and no device at all.
TEST(PtyUnplug, OpenFailuresSayWhatToDo)
{
    PtyRig rig;
    QtSerialPort second(QString::fromStdString(rig.module.devicePath()));
    ASSERT_FALSE(second.open());
    const QString pid = QString::number(QCoreApplication::applicationPid());
    EXPECT_TRUE(second.openAdvice().contains(QStringLiteral("Another program holds ")
                                             + QString::fromStdString(rig.module.devicePath())
                                             + QStringLiteral(": process ") + pid))
        << second.openAdvice().toStdString();

    QtSerialPort absent(rig.directory.filePath(QStringLiteral("no-such-device")));
    ASSERT_FALSE(absent.open());
    EXPECT_EQ(absent.errorString(), QStringLiteral("No such file or directory"));
    EXPECT_TRUE(absent.openAdvice().startsWith(QStringLiteral("There is no device ") + absent.deviceName()))
        << absent.openAdvice().toStdString();

    // A permission case needs another user; the group lookup it uses, on a file.
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const gid_t group = getgid() != 0 ? getgid() : 20; // dialout on Debian
    ASSERT_EQ(chown(QFile::encodeName(file.fileName()).constData(), static_cast<uid_t>(-1), group), 0);
    EXPECT_EQ(deviceGroup(file.fileName()), QString::fromLocal8Bit(getgrgid(group)->gr_name));
    EXPECT_EQ(deviceGroup(QStringLiteral("/no/such/device")), QString());
}

} // namespace
} // namespace tavelin::test
