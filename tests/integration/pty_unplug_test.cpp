// The module unplugged and plugged back in while the program samples: the
// real serial port must notice the loss without spinning, report the port as
// not open, and pick the module up again at the same path.

#include "pty_rig.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>

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

} // namespace
} // namespace tavelin::test
