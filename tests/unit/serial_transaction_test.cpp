// Reply framing, the closed-port paths and the settle delay of one exchange,
// and what the operator is told when the port cannot be opened.
#include "fakes/fake_counter.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_serial_port.h"
#include "platform/serial_open_failure.h"
#include "sensor/serial_transaction.h"

#include <gtest/gtest.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

// One exchange over a port held in memory and a counter that steps by 1 ms a read.
struct Link {
    FakeSerialPort port;
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    SerialTransaction link{port, counter, messages};
};

struct FramingCase {
    const char* name;
    QByteArray input;
    QString expected;
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.name; }

class GetReplyFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(GetReplyFraming, FramesTheLastReplyEndingInCarriageReturn)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    port.arrive(GetParam().input);
    EXPECT_EQ(link.GetReply(), GetParam().expected);
    EXPECT_TRUE(port.received.isEmpty()) << "everything waiting is drained";
    EXPECT_TRUE(messages.prompts.isEmpty());
}

const QByteArray hi(const char* s)
{
    QByteArray b(s);
    for (auto& c : b)
        c = static_cast<char>(static_cast<unsigned char>(c) | 0x80);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetReplyFraming,
    ::testing::Values(
        FramingCase{"plain", "*+00072.00\r", "*+00072.00"},
        FramingCase{"noise_before", "xx\x01\xff*+00072.00\r", "*+00072.00"},
        FramingCase{"two_replies_later_wins", "*+00001.00\r*+00002.00\r", "*+00002.00"},
        FramingCase{"trailing_line_feed", "*+00072.00\r\n", "TIMEOUT"},
        FramingCase{"empty_input", "", "TIMEOUT"},
        FramingCase{"partial_reply", "*+000", "TIMEOUT"},
        FramingCase{"marker_and_cr_only", "*\r", "*"},
        FramingCase{"high_bit_bytes", hi("*+00072.00\r"), "*+00072.00"},
        FramingCase{"question_reply", "?ERR\r", "?ERR"},
        FramingCase{"echo_then_reply", "$?RD\r*+00072.00\r", "*+00072.00"},
        FramingCase{"echo_alone", "$?RD\r", "?RD"},
        FramingCase{"no_marker_at_all", "00072.00\r", "TIMEOUT"},
        FramingCase{"marker_inside_body_restarts", "*+0*7\r", "*7"},
        FramingCase{"carriage_return_in_body_kept", "*+0\r72\r", "*+0\r72"},
        FramingCase{"burst_beyond_the_buffer_read_whole", QByteArray(3000, 'x') + "*+00072.00\r", "*+00072.00"},
        FramingCase{"reply_at_the_length_bound", "*" + QByteArray(1118, '7') + "\r", "*" + QString(1118, '7')},
        FramingCase{"reply_over_the_length_bound", "*" + QByteArray(1119, '7') + "\r", "TIMEOUT"},
        FramingCase{"marker_after_an_overlong_text", "*" + QByteArray(2000, '7') + "*1\r", "*1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GetReply, HighBitBytesCountAsMarkersAndTerminator)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    port.arrive(QByteArray("\xaa" "AB\x8d", 4)); // 170 = '*', 141 = CR
    EXPECT_EQ(link.GetReply(), QStringLiteral("*AB"));
    port.arrive(QByteArray("\xbf" "X\r", 3)); // 191 = '?'
    EXPECT_EQ(link.GetReply(), QStringLiteral("?X"));
}

TEST(GetReply, BytesArrivingDuringTheDrainAreReadInTheSameCollection)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    port.arrive("*+000");
    port.arriveLater("72.");
    port.arriveLater("00\r");
    EXPECT_EQ(link.GetReply(), QStringLiteral("*+00072.00"));
}

TEST(GetReply, PartialReplyIsSupersededByTheNextCollection)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    port.arrive("*+0001");
    EXPECT_EQ(link.GetReply(), QStringLiteral("TIMEOUT"));
    port.arrive("2.00\r*+00005.00\r"); // rest of the old reply, then the new one
    EXPECT_EQ(link.GetReply(), QStringLiteral("*+00005.00"));
}

TEST(GetReply, SenderThatNeverStopsIsCutOffAfterTheDrainLimitAsNoValidReply)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    // Digits after one marker; and whole replies, 1024 bytes each, so that
    // wherever the drain is cut off the text so far is a complete reply.
    port.arrive("*");
    for (const QByteArray& chunk : {QByteArray("0123456789"), "*" + QByteArray(1022, '7') + "\r"}) {
        port.endless = chunk;
        const int countsBefore = port.countCalls;
        const std::uint32_t before = counter.now;
        EXPECT_EQ(link.GetReply(), QStringLiteral("TIMEOUT"));
        // The counter steps 1 ms a read and is read once per 1024 bytes drained.
        const int drained = port.countCalls - countsBefore;
        EXPECT_GE(drained, 1024) << "at least a full input buffer is read";
        EXPECT_LE(drained, 1024 * (SerialTransaction::kDrainLimitMs + 1));
        EXPECT_LE(counter.now - before, 50u + SerialTransaction::kDrainLimitMs + 3u);
    }
}

TEST(GetReply, ReadsOneCharacterAtATimeAfterTheSettleDelay)
{
    FakeSerialPort port;
    FakeMillisecondCounter counter(1000, 1);
    FakeMessageBox messages;
    SerialTransaction link(port, counter, messages);
    port.readLength = 99;

    port.arrive("*1\r");
    link.GetReply();
    EXPECT_EQ(port.readLength, 1);
    EXPECT_GE(counter.now - 1000u, 50u) << "the counter advanced through the settle delay";
}

TEST(GetReply, ClosedPortGivesEmptyTextAtOnceWithoutMessage)
{
    Link l;
    auto& [port, counter, messages, link] = l;
    port.lose();
    port.arrive("*+00072.00\r");

    EXPECT_EQ(link.GetReply(), QString());
    EXPECT_EQ(counter.reads, 0) << "no settle delay on a closed port";
    EXPECT_TRUE(messages.prompts.isEmpty());
}

TEST(SendCommand, WritesTheCommandUnchangedWhenOpen)
{
    Link l;
    auto& [port, counter, messages, link] = l;

    link.SendCommand(QStringLiteral("$?RD\r"));
    EXPECT_EQ(port.written, QByteArray("$?RD\r"));
    EXPECT_TRUE(messages.prompts.isEmpty());
}

TEST(SendCommand, ClosedPortShowsPortNotOpenAndSendsNothing)
{
    Link l;
    auto& [port, counter, messages, link] = l;
    port.lose();

    link.SendCommand(QStringLiteral("$?RD\r"));
    EXPECT_TRUE(port.written.isEmpty());
    ASSERT_EQ(messages.prompts.size(), 1);
    EXPECT_EQ(messages.prompts[0], QStringLiteral("Port Not open"));
    EXPECT_EQ(messages.titles[0], QStringLiteral("Port Failure"));
}

struct WaitCase {
    float argument;
    std::uint32_t start;
    std::uint32_t expectedElapsed;
    std::uint32_t expectedSlept; // the rest of the elapsed time passes in reads
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.argument << "ms_from_" << c.start; }

class WaitMsElapsed : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitMsElapsed, SleepsTheWholeMillisecondsAcrossTheWrap)
{
    const WaitCase c = GetParam();
    FakeSerialPort port;
    FakeMillisecondCounter counter(c.start, 1);
    FakeMessageBox messages;
    SerialTransaction link(port, counter, messages);

    link.WaitMs(c.argument);
    // The last read saw start + elapsed; the counter stands one step further.
    EXPECT_EQ(static_cast<std::uint32_t>(counter.now - c.start - 1u), c.expectedElapsed);
    EXPECT_EQ(counter.slept, c.expectedSlept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaitMsElapsed,
    ::testing::Values(WaitCase{50.0f, 0u, 50u, 48u}, WaitCase{50.9f, 7u, 50u, 48u}, WaitCase{0.0f, 7u, 1u, 0u},
                      WaitCase{-3.0f, 7u, 1u, 0u}, WaitCase{2.0f, 7u, 2u, 0u}, // the last millisecond is read
                      WaitCase{50.0f, 0x7FFFFFF0u, 50u, 48u},  // signed maximum passed during the wait
                      WaitCase{50.0f, 0xFFFFFFF0u, 50u, 48u})); // 32-bit wrap during the wait

using Cause = SerialOpenFailure::Cause;

struct AdviceCase {
    const char* name;
    SerialOpenFailure failure;
    QStringList says; // nothing: no advice beyond the system's reason
};

void PrintTo(const AdviceCase& c, std::ostream* os) { *os << c.name; }

class OpenFailureAdvice : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(OpenFailureAdvice, NamesTheDeviceAndWhatToDo)
{
    const QString advice = openFailureAdvice(GetParam().failure);
    if (GetParam().says.isEmpty()) {
        EXPECT_EQ(advice, QString());
        return;
    }
    EXPECT_TRUE(advice.contains(GetParam().failure.device)) << advice.toStdString();
    for (const QString& part : GetParam().says)
        EXPECT_TRUE(advice.contains(part)) << advice.toStdString() << "\nlacks: " << part.toStdString();
}

const QString usb = QStringLiteral("/dev/ttyUSB0");

INSTANTIATE_TEST_SUITE_P(
    Causes, OpenFailureAdvice,
    ::testing::Values(
        AdviceCase{"permission_group_named", {Cause::PermissionDenied, usb, "uucp", 0, {}},
                   {"group \"uucp\"", "sudo usermod -aG uucp $USER", "log out and in again"}},
        AdviceCase{"permission_group_unknown", {Cause::PermissionDenied, usb, "", 0, {}},
                   {"group \"dialout\"", "sudo usermod -aG dialout $USER", "log out and in again"}},
        AdviceCase{"in_use_by_a_known_process", {Cause::InUse, usb, "", 4242, {}},
                   {"Another program holds", "process 4242"}},
        AdviceCase{"in_use_without_lock_file", {Cause::InUse, usb, "", 0, {}},
                   {"Another program holds /dev/ttyUSB0. Close"}},
        AdviceCase{"no_device_ports_listed",
                   {Cause::NoSuchDevice, usb, "", 0, {"/dev/ttyS0", "/dev/ttyUSB1 (FT232R USB UART)"}},
                   {"There is no device", ":\n/dev/ttyS0\n/dev/ttyUSB1 (FT232R USB UART)"}},
        AdviceCase{"no_device_no_ports", {Cause::NoSuchDevice, usb, "", 0, {}},
                   {"no serial port was found"}},
        AdviceCase{"other_reason_alone", {Cause::Other, usb, "", 0, {}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
