// The sampling cycle: which replies are readings, what they do to the
// measurement state, and what the display shows, in which order.
#include "fakes/fake_counter.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_serial_port.h"
#include "fakes/recording_display.h"
#include "sensor/calibration_run.h"
#include "sensor/flow_sampler.h"
#include "sensor/measurement_state.h"
#include "sensor/sample_fanout.h"
#include "sensor/serial_transaction.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kNoValidReturn = QStringLiteral("NO VALID RETURN FROM pH MODULE");

// One sampler over a fake module that answers each command with the next reply.
struct Bench {
    FakeSerialPort port;
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    MeasurementState state;
    RecordingDisplay display;
    SerialTransaction link{port, counter, messages};
    FlowSampler sampler{link, messages, state, display, QLocale::c()};
    QList<QByteArray> replies;

    Bench()
    {
        sampler.setListener(&display);
        port.onWrite = [this](const QByteArray&) {
            if (!replies.isEmpty())
                port.arrive(replies.takeFirst());
        };
    }
    void cycle(const QByteArray& reply)
    {
        replies.append(reply);
        sampler.PollSensor();
    }
};

TEST(PollSensor, ValidReplyUpdatesStateAndDisplayInOrder)
{
    Bench b;
    b.cycle("*+00072.00\r");

    EXPECT_EQ(b.port.written, QByteArray("$?RD\r"));
    EXPECT_DOUBLE_EQ(b.state.dblFrequency, 72.0);
    EXPECT_DOUBLE_EQ(b.state.dblLitersPerMin, 0.63);
    EXPECT_DOUBLE_EQ(b.state.dblPulseTotal, 72.0);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 0.01);
    EXPECT_EQ(b.display.writes, QStringList({"lblHz=72", "lblLitersPerMin=0.63", "CWSlide1=0.63", "liters=0.01",
                                             "CWSlide2=0.01", "sampleAccepted=0.01"}));
    EXPECT_TRUE(b.messages.prompts.isEmpty());
}

struct ReadingCase {
    const char* name;
    QByteArray reply;
    double frequency;
    double litersPerMin;
    double totalLiters; // from a pulse total of 0
    const char* hzText;
    const char* flowText;
    const char* totalText;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class Readings : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(Readings, GiveFlowAndTotalRoundedHalfToEven)
{
    const ReadingCase c = GetParam();
    Bench b;
    b.cycle(c.reply);

    EXPECT_DOUBLE_EQ(b.state.dblFrequency, c.frequency);
    EXPECT_DOUBLE_EQ(b.state.dblLitersPerMin, c.litersPerMin);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, c.totalLiters);
    ASSERT_EQ(b.display.writes.size(), 6);
    EXPECT_EQ(b.display.writes[0], QStringLiteral("lblHz=") + QLatin1String(c.hzText));
    EXPECT_EQ(b.display.writes[1], QStringLiteral("lblLitersPerMin=") + QLatin1String(c.flowText));
    EXPECT_EQ(b.display.writes[3], QStringLiteral("liters=") + QLatin1String(c.totalText));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Readings,
    ::testing::Values(
        ReadingCase{"one_liter_per_6900", "*+06900.00\r", 6900, 60, 1, "6900", "60", "1"},
        ReadingCase{"limit_is_accepted", "*+90000.00\r", 90000, 782.61, 13.04, "90000", "782.61", "13.04"},
        ReadingCase{"above_limit_counts_as_zero", "*+90000.01\r", 0, 0, 0, "0", "0", "0"},
        ReadingCase{"half_to_even", "*+00862.50\r", 862.5, 7.5, 0.12, "862.5", "7.5", "0.12"},
        ReadingCase{"sign_position_ignored", "*-00072.00\r", 72, 0.63, 0.01, "72", "0.63", "0.01"},
        ReadingCase{"short_body_used_whole", "*+72\r", 72, 0.63, 0.01, "72", "0.63", "0.01"},
        ReadingCase{"characters_after_ten_ignored", "*+00072.00999\r", 72, 0.63, 0.01, "72", "0.63", "0.01"},
        ReadingCase{"negative_body_is_a_reading", "*+-0072.0\r", -72, -0.63, -0.01, "-72", "-0.63", "-0.01"},
        ReadingCase{"blanks_around_number", "*+ 72.5  \r", 72.5, 0.63, 0.01, "72.5", "0.63", "0.01"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RejectCase {
    const char* name;
    QByteArray reply;
    bool message;
};

void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }

class Rejected : public ::testing::TestWithParam<RejectCase> {};

TEST_P(Rejected, ChangesNothingAndTellsTheListenerNothing)
{
    const RejectCase c = GetParam();
    Bench b;
    b.cycle("*+00100.00\r");
    const MeasurementState before = b.state;
    b.display.writes.clear();

    b.cycle(c.reply);

    EXPECT_EQ(b.state.dblFrequency, before.dblFrequency);
    EXPECT_EQ(b.state.dblLitersPerMin, before.dblLitersPerMin);
    EXPECT_EQ(b.state.dblPulseTotal, before.dblPulseTotal);
    EXPECT_EQ(b.state.dblTotalLiters, before.dblTotalLiters);
    EXPECT_TRUE(b.display.writes.isEmpty());
    if (c.message)
        EXPECT_EQ(b.messages.prompts, QStringList({kNoValidReturn}));
    else
        EXPECT_TRUE(b.messages.prompts.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rejected,
    ::testing::Values(RejectCase{"timeout", "*+00072", true}, RejectCase{"question_marker", "?+00072.00\r", true},
                      RejectCase{"marker_alone", "*\r", false}, RejectCase{"marker_and_sign", "*+\r", false},
                      RejectCase{"letters", "*+00A72.00\r", true}, RejectCase{"two_points", "*+0.07.200\r", true},
                      RejectCase{"infinity", "*+inf\r", true}, RejectCase{"not_a_number", "*+nan\r", true},
                      RejectCase{"lone_sign", "*+-\r", true}, RejectCase{"exponent", "*+1e5\r", true},
                      RejectCase{"control_character", "*+00\x01" "72.0\r", true},
                      RejectCase{"blank_body", "*+   \r", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PollSensor, ClosedPortShowsBothMessagesAndChangesNothing)
{
    Bench b;
    b.port.lose();
    b.sampler.PollSensor();

    EXPECT_EQ(b.messages.prompts, QStringList({QStringLiteral("Port Not open"), kNoValidReturn}));
    EXPECT_EQ(b.messages.titles[0], QStringLiteral("Port Failure"));
    EXPECT_EQ(b.messages.titles[1], QString()) << "the application's title is shown";
    EXPECT_TRUE(b.display.writes.isEmpty());
    EXPECT_EQ(b.state.dblPulseTotal, 0.0);
}

TEST(PollSensor, PulseTotalIsTheExactSumOfReadingsAndResetRestartsIt)
{
    Bench b;
    b.cycle("*+00250.00\r");
    b.cycle("*+00251.50\r");
    EXPECT_DOUBLE_EQ(b.state.dblPulseTotal, 501.5);
    b.cycle("*+99999.00\r"); // over the limit: adds 0
    EXPECT_DOUBLE_EQ(b.state.dblPulseTotal, 501.5);

    b.state.dblPulseTotal = 0.0; // what Reset does
    b.cycle("*+06900.00\r");
    EXPECT_DOUBLE_EQ(b.state.dblPulseTotal, 6900.0);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 1.0);
}

TEST(PollSensor, KFactorAppliesFromTheNextCycleAndTheTotalIsRecomputedFromPulses)
{
    Bench b;
    b.sampler.setPulsesPerLiter(450.0);
    b.cycle("*+00450.00\r");
    EXPECT_DOUBLE_EQ(b.state.dblLitersPerMin, 60.0);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 1.0);

    b.sampler.setPulsesPerLiter(900.0); // the pulses already counted now count half
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 1.0) << "nothing changes before the next cycle";
    b.cycle("*+00450.00\r");
    EXPECT_DOUBLE_EQ(b.state.dblPulseTotal, 900.0);
    EXPECT_DOUBLE_EQ(b.state.dblLitersPerMin, 30.0);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 1.0);

    b.sampler.setPulsesPerLiter(0.3); // a tiny K: huge volumes, still rounded to two decimals
    b.cycle("*+00001.00\r");
    EXPECT_DOUBLE_EQ(b.state.dblLitersPerMin, 200.0);
    EXPECT_DOUBLE_EQ(b.state.dblTotalLiters, 3003.33);
}

TEST(PollSensor, TickDuringAnOpenMessageBoxStartsNoSecondCycle)
{
    Bench b;
    int nested = 0;
    b.messages.onShow = [&](const QString&) {
        ++nested;
        b.replies.append("*+00072.00\r");
        b.sampler.PollSensor(); // a timer tick delivered by the box's event loop
    };
    b.cycle("?bad\r");

    EXPECT_EQ(nested, 1);
    EXPECT_EQ(b.port.written, QByteArray("$?RD\r")) << "the nested tick sent nothing";
    EXPECT_EQ(b.state.dblPulseTotal, 0.0);
    EXPECT_FALSE(b.sampler.isCycleRunning());
}

TEST(PollSensor, ReadoutsUseTheLocaleDecimalSeparator)
{
    Bench b;
    FlowSampler german(b.link, b.messages, b.state, b.display, QLocale(QLocale::German, QLocale::Germany));
    b.replies.append("*+00862.50\r");
    german.PollSensor();
    EXPECT_EQ(b.display.writes, QStringList({"lblHz=862,5", "lblLitersPerMin=7,5", "CWSlide1=7.5", "liters=0,12",
                                             "CWSlide2=0.12"}));
}

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbour)
{
    EXPECT_DOUBLE_EQ(roundHalfEven(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.375, 2), 0.38);
    EXPECT_DOUBLE_EQ(roundHalfEven(-0.125, 2), -0.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(2.5, 0), 2.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.626086956, 2), 0.63);
}

} // namespace

TEST(CalibrationRun, CountsThePulsesOfAcceptedReadingsBetweenStartAndStop)
{
    Bench b;
    CalibrationRun run;
    SampleFanout listeners;
    listeners.add(&b.display);
    listeners.add(&run);
    b.sampler.setListener(&listeners);

    b.cycle("*+00100.00\r"); // before Start
    run.start();
    b.cycle("*+00250.00\r");
    b.cycle("?bad\r"); // rejected: counts nothing
    b.cycle("*+00250.50\r");
    run.stop();
    b.cycle("*+00300.00\r"); // after Stop
    EXPECT_DOUBLE_EQ(run.pulses(), 500.5);
    EXPECT_EQ(run.readings(), 2u);

    run.start(); // a new run starts from zero
    EXPECT_EQ(run.pulses(), 0.0);
}

struct CalibrationCase {
    const char* name;
    double pulses;
    double volume;
    double expectedK;       // 0 when refused
    double expectedPercent;
    const char* refusalWord; // a word the refusal must contain
};

void PrintTo(const CalibrationCase& c, std::ostream* os) { *os << c.name; }

class Calibrations : public ::testing::TestWithParam<CalibrationCase> {};

TEST_P(Calibrations, GiveTheKFactorOrSayWhyNot)
{
    const CalibrationCase c = GetParam();
    const Calibration result = calibrate(c.pulses, c.volume, 6900.0);
    if (c.expectedK == 0.0) {
        EXPECT_TRUE(result.refusal.contains(QLatin1String(c.refusalWord))) << result.refusal.toStdString();
        return;
    }
    EXPECT_TRUE(result.refusal.isEmpty()) << result.refusal.toStdString();
    EXPECT_NEAR(result.pulsesPerLiter, c.expectedK, 1e-9);
    EXPECT_NEAR(result.changePercent, c.expectedPercent, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Calibrations,
    ::testing::Values(CalibrationCase{"five_liters_read_as_more", 34500.0 * 1.788, 5.0, 12337.2, 78.8, ""},
                      CalibrationCase{"exact", 69000.0, 10.0, 6900.0, 0.0, ""},
                      CalibrationCase{"fewer_pulses", 3450.0, 1.0, 3450.0, -50.0, ""},
                      CalibrationCase{"zero_volume", 1000.0, 0.0, 0.0, 0.0, "greater than zero"},
                      CalibrationCase{"negative_volume", 1000.0, -2.0, 0.0, 0.0, "greater than zero"},
                      CalibrationCase{"no_pulses", 0.0, 5.0, 0.0, 0.0, "No pulses"},
                      CalibrationCase{"beyond_the_largest_k", 2.0e7, 1.0, 0.0, 0.0, "check the volume"}),
    [](const auto& info) { return std::string(info.param.name); });
