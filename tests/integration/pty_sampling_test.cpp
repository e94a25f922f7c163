// Sampling cycles over a real pseudo-terminal: the program's serial port, its
// settle delay and the module answering on its own thread meanwhile.

#include "pty_rig.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace tavelin::test {
namespace {

using sim::Fault;

TEST(PtySampling, OneCycleReadsTheModuleAndUpdatesStateAndDisplayInOrder)
{
    PtyRig rig;
    ASSERT_TRUE(rig.port.isOpen()) << rig.port.errorString().toStdString();

    rig.tick();

    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
    EXPECT_EQ(rig.state.dblFrequency, 72.0);
    EXPECT_EQ(rig.state.dblLitersPerMin, 0.63);
    EXPECT_EQ(rig.state.dblPulseTotal, 72.0);
    EXPECT_EQ(rig.state.dblTotalLiters, 0.01);
    EXPECT_EQ(rig.display.writes, (QStringList{"lblHz=72", "lblLitersPerMin=0.63", "CWSlide1=0.63",
                                               "liters=0.01", "CWSlide2=0.01"}));
    ASSERT_TRUE(rig.module.waitForCommands(1, kPatience));
    EXPECT_EQ(rig.module.received(), "$?RD\r") << "the command goes out unchanged, nothing added";
}

struct FaultCase {
    Fault fault;
    std::optional<double> taken; // the reading the cycle takes; none: rejected with a message
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << sim::faultName(c.fault); }

std::string faultCaseName(const ::testing::TestParamInfo<FaultCase>& info)
{
    std::string name(sim::faultName(info.param.fault));
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

class PtyFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PtyFaults, CycleTakesTheReadingOrRejectsTheReplyLeavingStateAlone)
{
    PtyRig rig;
    ASSERT_TRUE(rig.port.isOpen()) << rig.port.errorString().toStdString();
    rig.state = MeasurementState{5.0, 0.04, 100.0, 0.01};
    rig.module.setFault(GetParam().fault);

    rig.tick();

    if (const auto reading = GetParam().taken) {
        EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
        EXPECT_EQ(rig.state.dblFrequency, *reading);
        EXPECT_EQ(rig.state.dblPulseTotal, 100.0 + *reading);
        EXPECT_EQ(rig.display.writes.size(), 5);
    } else {
        EXPECT_EQ(rig.messages.prompts, QStringList{kNoValidReturn});
        EXPECT_EQ(rig.state.dblFrequency, 5.0);
        EXPECT_EQ(rig.state.dblLitersPerMin, 0.04);
        EXPECT_EQ(rig.state.dblPulseTotal, 100.0);
        EXPECT_EQ(rig.state.dblTotalLiters, 0.01);
        EXPECT_TRUE(rig.display.writes.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, PtyFaults, ::testing::Values(
    FaultCase{Fault::None, 72.0},
    FaultCase{Fault::NoiseBefore, 72.0},
    FaultCase{Fault::HighBit, 72.0},
    FaultCase{Fault::Echo, 72.0},
    FaultCase{Fault::DoubleReply, 72.0},    // the later reply wins
    FaultCase{Fault::NoiseBurst, 72.0},     // more than the 1024-byte buffer, nothing lost
    FaultCase{Fault::OverLimit, 0.0},
    FaultCase{Fault::Silence, std::nullopt},
    FaultCase{Fault::SplitReply, std::nullopt},
    FaultCase{Fault::TrailingLineFeed, std::nullopt},
    FaultCase{Fault::QuestionReply, std::nullopt},
    FaultCase{Fault::NonNumeric, std::nullopt},
    FaultCase{Fault::Endless, std::nullopt}), // cut off by the drain's time bound
    faultCaseName);

TEST(PtySampling, RestOfASplitReplyIsSupersededByTheNextCyclesReply)
{
    PtyRig rig(sim::readingList({72.0, 50.0}));
    rig.module.setFault(Fault::SplitReply);

    rig.tick(); // only "*+000" is there when the settle delay ends
    EXPECT_EQ(rig.messages.prompts, QStringList{kNoValidReturn});
    EXPECT_EQ(rig.state.dblPulseTotal, 0.0);

    rig.module.setFault(Fault::None);
    rig.messages.prompts.clear();
    rig.tick(); // "72.00\r" still waits in the port, then "*+00050.00\r"

    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
    EXPECT_EQ(rig.state.dblFrequency, 50.0);
    EXPECT_EQ(rig.state.dblPulseTotal, 50.0);
}

// A module that streams without pause is cut off at each collection; the
// digits it leaves in the line are drained once it behaves, and its first
// reply after that counts.
TEST(PtySampling, EndlessSenderIsCutOffAndSamplingRecoversOnceItStops)
{
    PtyRig rig;
    rig.module.setFault(Fault::Endless);
    rig.tick();
    rig.tick();
    EXPECT_EQ(rig.messages.prompts, (QStringList{kNoValidReturn, kNoValidReturn}));

    rig.module.setFault(Fault::None);
    int cycles = 0;
    while (rig.state.dblPulseTotal == 0.0 && cycles < 5) {
        rig.tick();
        ++cycles;
    }
    EXPECT_EQ(rig.state.dblFrequency, 72.0) << "no valid reading in " << cycles << " cycles";
    rig.messages.prompts.clear();
    rig.tick();
    EXPECT_TRUE(rig.messages.prompts.isEmpty()) << rig.messages.prompts.join('|').toStdString();
    EXPECT_EQ(rig.state.dblPulseTotal, 144.0);
}

// Over a run with the module misbehaving now and then, the program's total
// is exactly what the module handed out in replies it had to accept.
TEST(PtySampling, PulseTotalMatchesTheReadingsTheModuleSent)
{
    PtyRig rig(sim::varyingFlow(3));
    const Fault run[] = {Fault::None,    Fault::SplitReply, Fault::None,      Fault::DoubleReply,
                         Fault::Silence, Fault::HighBit,    Fault::OverLimit, Fault::NoiseBurst,
                         Fault::Echo,    Fault::None};
    for (const Fault fault : run) {
        rig.module.setFault(fault);
        rig.tick();
    }

    const sim::CommandStats stats = rig.module.stats();
    EXPECT_EQ(stats.commands, std::size(run));
    EXPECT_GT(rig.state.dblPulseTotal, 1000.0) << "most cycles should have taken a reading";
    EXPECT_NEAR(rig.state.dblPulseTotal, stats.acceptedReadingSum, 1e-6);
}

} // namespace
} // namespace tavelin::test
