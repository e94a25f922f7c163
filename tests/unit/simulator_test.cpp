// The simulated module's own rules: reply format, command detection in a
// stream, fault shapes, reading sources, the stable link, and its record of
// traffic, checked on a raw pseudo-terminal without the program's port.

#include "simulator/module_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <ostream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace tavelin::sim {
namespace {

using namespace std::chrono_literals;

struct FormatCase {
    double reading;
    const char* reply;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.reading; }

class ReplyFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ReplyFormat, IsMarkerSignFiveDigitsPointTwoDigitsAndCarriageReturn)
{
    EXPECT_EQ(formatReply(GetParam().reading), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Readings, ReplyFormat, ::testing::Values(
    FormatCase{72.0, "*+00072.00\r"},
    FormatCase{0.0, "*+00000.00\r"},
    FormatCase{862.5, "*+00862.50\r"},
    FormatCase{90000.01, "*+90000.01\r"},
    FormatCase{230.456, "*+00230.46\r"},
    FormatCase{-3.5, "*-00003.50\r"},
    FormatCase{-0.001, "*+00000.00\r"},    // no negative zero
    FormatCase{123456.0, "*+99999.99\r"},  // clipped to five digits
    FormatCase{-123456.0, "*-99999.99\r"}));

struct ScanCase {
    const char* name;
    std::vector<std::string> pieces;
    int commands;
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }

class CommandDetection : public ::testing::TestWithParam<ScanCase> {};

TEST_P(CommandDetection, CountsReadCommandsHoweverTheStreamIsCut)
{
    CommandScanner scanner;
    int found = 0;
    for (const std::string& piece : GetParam().pieces)
        found += scanner.feed(piece);
    EXPECT_EQ(found, GetParam().commands);
}

INSTANTIATE_TEST_SUITE_P(Streams, CommandDetection, ::testing::Values(
    ScanCase{"whole", {"$?RD\r"}, 1},
    ScanCase{"in_two_pieces", {"$?", "RD\r"}, 1},
    ScanCase{"byte_by_byte", {"$", "?", "R", "D", "\r"}, 1},
    ScanCase{"two_in_one_piece", {"$?RD\r$?RD\r"}, 2},
    ScanCase{"two_across_pieces", {"$?RD\r$?", "RD\r"}, 2},
    ScanCase{"after_noise", {"xx\r$$?RD\r"}, 1},
    ScanCase{"restarted_inside", {"$?R$?RD\r"}, 1},
    ScanCase{"unterminated", {"$?RD"}, 0},
    ScanCase{"lower_case", {"$?rd\r"}, 0},
    ScanCase{"without_dollar", {"?RD\r"}, 0},
    ScanCase{"other_command", {"$?ID\r"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

std::string joined(const Answer& answer)
{
    std::string bytes;
    for (const Chunk& chunk : answer.chunks)
        bytes += chunk.bytes;
    return bytes;
}

TEST(FaultShapes, SplitReplyKeepsTheRestBackBeyondTheSettleDelay)
{
    const Answer answer = shapeAnswer(Fault::SplitReply, 72.0);
    ASSERT_EQ(answer.chunks.size(), 2u);
    EXPECT_EQ(answer.chunks[0].delay, 0ms);
    EXPECT_EQ(answer.chunks[0].bytes.front(), '*');
    EXPECT_EQ(answer.chunks[0].bytes.find('\r'), std::string::npos);
    EXPECT_GT(answer.chunks[1].delay, 50ms);
    EXPECT_EQ(joined(answer), "*+00072.00\r");
    EXPECT_FALSE(answer.accepted);
}

TEST(FaultShapes, HighBitRepliesDecodeToTheReplyOnceTheTopBitIsCleared)
{
    const std::string bytes = joined(shapeAnswer(Fault::HighBit, 72.0));
    std::string cleared;
    for (const char c : bytes) {
        EXPECT_TRUE(static_cast<unsigned char>(c) & 0x80u);
        cleared.push_back(static_cast<char>(static_cast<unsigned char>(c) & 0x7Fu));
    }
    EXPECT_EQ(cleared, "*+00072.00\r");
}

// Stray bytes must not themselves frame a reply, even with the top bit cleared.
TEST(FaultShapes, NoiseHoldsNoStartMarkerOrCarriageReturn)
{
    for (const Fault fault : {Fault::NoiseBefore, Fault::NoiseBurst}) {
        const std::string bytes = joined(shapeAnswer(fault, 72.0));
        const std::string reply = formatReply(72.0);
        ASSERT_GT(bytes.size(), reply.size());
        ASSERT_EQ(bytes.substr(bytes.size() - reply.size()), reply);
        const std::string noise = bytes.substr(0, bytes.size() - reply.size());
        for (const char c : noise) {
            const char low = static_cast<char>(static_cast<unsigned char>(c) & 0x7Fu);
            EXPECT_TRUE(low != '*' && low != '?' && low != '\r') << faultName(fault) << ": " << int(c);
        }
        if (fault == Fault::NoiseBurst) {
            EXPECT_GT(noise.size(), 1024u) << "must overflow the host's input buffer";
        }
    }
}

TEST(FaultShapes, EveryFaultHasAName)
{
    std::vector<std::string_view> names;
    for (const Fault fault : allFaults()) {
        EXPECT_EQ(faultFromName(faultName(fault)), fault);
        names.push_back(faultName(fault));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "names must differ";
    EXPECT_FALSE(faultFromName("bogus"));
}

TEST(ReadingSources, ListCyclesAndEmptyListReadsZero)
{
    ReadingList list({1.0, 2.0, 3.0});
    std::vector<double> drawn;
    for (int i = 0; i < 7; ++i)
        drawn.push_back(list.next());
    EXPECT_EQ(drawn, (std::vector<double>{1, 2, 3, 1, 2, 3, 1}));
    EXPECT_EQ(ReadingList({}).next(), 0.0);
}

TEST(ReadingSources, VaryingFlowIsRepeatableAndStaysInItsRange)
{
    VaryingFlow a(7), b(7), c(8);
    bool seedsDiffer = false;
    double lowest = 1e9, highest = -1e9;
    for (int i = 0; i < 20000; ++i) {
        const double reading = a.next();
        ASSERT_EQ(reading, b.next());
        seedsDiffer |= reading != c.next();
        lowest = std::min(lowest, reading);
        highest = std::max(highest, reading);
        ASSERT_EQ(reading, std::round(reading * 100.0) / 100.0) << "hundredths only";
    }
    EXPECT_TRUE(seedsDiffer);
    // About 115 to 345 Hz, with a few Hz of noise at the edges.
    EXPECT_GT(lowest, 100.0);
    EXPECT_LT(highest, 360.0);
    EXPECT_GT(highest - lowest, 150.0) << "the flow should wander over most of its range";
}

std::string temporaryDirectory()
{
    std::string pattern = ::testing::TempDir() + "tavelin-sim-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

TEST(DeviceLinkTest, PointsAtTheCurrentDeviceAndGoesAwayWhenRemoved)
{
    const std::string dir = temporaryDirectory();
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/module";
    char target[256] = {};
    {
        DeviceLink link(path);
        link.pointTo("/dev/null");
        link.pointTo("/dev/zero");
        ASSERT_GT(readlink(path.c_str(), target, sizeof target - 1), 0);
        EXPECT_STREQ(target, "/dev/zero");
        link.remove();
        EXPECT_NE(access(path.c_str(), F_OK), 0);
        link.pointTo("/dev/null");
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "the link outlived its owner";
    rmdir(dir.c_str());
}

// The host's side of the line, opened directly.
class RawHost {
public:
    explicit RawHost(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~RawHost() { if (fd_ >= 0) close(fd_); }
    bool ok() const { return fd_ >= 0; }
    void send(const std::string& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Reads until `count` bytes came or nothing more arrives within the wait.
    std::string receive(std::size_t count)
    {
        std::string bytes;
        pollfd p{fd_, POLLIN, 0};
        while (bytes.size() < count && poll(&p, 1, 5000) > 0) {
            char buffer[256];
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

private:
    int fd_;
};

TEST(ModuleSimulatorTest, AnswersCommandsSentInPiecesAndRecordsThem)
{
    ModuleSimulator module(readingList({72.0, 95000.0, 10.25}));
    RawHost host(module.devicePath());
    ASSERT_TRUE(host.ok());

    host.send("$?");
    host.send("RD\r");
    EXPECT_EQ(host.receive(11), "*+00072.00\r");
    host.send("$?RD\r$?RD\r");
    EXPECT_EQ(host.receive(22), "*+95000.00\r*+00010.25\r");

    ASSERT_TRUE(module.waitForCommands(3, 10s));
    const CommandStats stats = module.stats();
    EXPECT_EQ(stats.commands, 3u);
    EXPECT_EQ(stats.answered, 3u);
    EXPECT_DOUBLE_EQ(stats.acceptedReadingSum, 72.0 + 0.0 + 10.25); // over the limit counts 0
    ASSERT_EQ(stats.commandTimes.size(), 3u);
    EXPECT_TRUE(std::is_sorted(stats.commandTimes.begin(), stats.commandTimes.end()));
    EXPECT_EQ(module.received(), "$?RD\r$?RD\r$?RD\r");
}

TEST(ModuleSimulatorTest, SilenceCountsTheCommandButSendsNothing)
{
    ModuleSimulator module;
    module.setFault(Fault::Silence);
    RawHost host(module.devicePath());
    ASSERT_TRUE(host.ok());
    host.send("$?RD\r");
    ASSERT_TRUE(module.waitForCommands(1, 10s));
    EXPECT_TRUE(module.waitUntilAnswered(1, 10s));
    EXPECT_FALSE(module.waitUntilAnswered(2, 1ms)) << "no second command was sent";
    ASSERT_TRUE(module.waitUntilSent(10s));
    module.setFault(Fault::None);
    host.send("$?RD\r");
    EXPECT_EQ(host.receive(11), "*+00072.00\r") << "nothing may come before the second reply";
    EXPECT_EQ(module.stats().answered, 1u);
}

TEST(ModuleSimulatorTest, UnplugHangsUpTheHostAndPlugInOffersAFreshLine)
{
    ModuleSimulator module;
    const std::string first = module.slavePath();
    RawHost host(first);
    ASSERT_TRUE(host.ok());

    module.unplug();
    EXPECT_FALSE(module.isPlugged());
    EXPECT_EQ(module.slavePath(), "");
    EXPECT_EQ(host.receive(1), "") << "a hung-up line reads end of file";

    module.plugIn();
    ASSERT_TRUE(module.isPlugged());
    RawHost again(module.slavePath());
    ASSERT_TRUE(again.ok());
    again.send("$?RD\r");
    EXPECT_EQ(again.receive(11), "*+00072.00\r");
}

} // namespace
} // namespace tavelin::sim
