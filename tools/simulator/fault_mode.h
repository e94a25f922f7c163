#pragma once
// Ways the simulated module can misbehave when it answers a read command,
// and the bytes each puts on the line.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin::sim {

enum class Fault {
    None,          // a well-formed reply
    Silence,       // no reply at all
    NoiseBefore,   // a few stray bytes, then the reply
    HighBit,       // every reply byte with its top bit set
    SplitReply,    // part of the reply at once, the rest after kSplitDelay
    Echo,          // the command echoed back, then the reply
    TrailingLineFeed, // the reply followed by a line feed
    DoubleReply,   // a stale reply (reading 0) and the current one together
    QuestionReply, // the module's error reply, "?01"
    OverLimit,     // a reading of 95000 instead of the real one
    NonNumeric,    // a reply whose reading is not a number
    NoiseBurst,    // more stray bytes than the host's 1024-byte buffer, then the reply
    Endless,       // "*", then digits without pause, as long as the fault lasts
};

// Longer than the host's 50 ms settle delay, so the host sees only the first part.
inline constexpr std::chrono::milliseconds kSplitDelay{150};
inline constexpr double kOverLimitReading = 95000.0;
inline constexpr std::size_t kNoiseBurstBytes = 1500;

// Bytes to send after a delay from the arrival of the command.
struct Chunk {
    std::chrono::milliseconds delay{0};
    std::string bytes;
};

struct Answer {
    std::vector<Chunk> chunks; // empty: nothing is sent
    // The reading a host that follows the protocol takes from this answer:
    // none when it must reject the answer, 0 for a reading over the limit.
    std::optional<double> accepted;
    // After the chunks, digits go out without pause (the line is kept full).
    bool streams = false;
};

// The answer to one read command, given the reading drawn for it.
Answer shapeAnswer(Fault fault, double reading);

// Names for the command line: "none", "silence", "noise", "high-bit", "split",
// "echo", "line-feed", "double", "question", "over-limit", "non-numeric",
// "noise-burst", "endless".
std::string_view faultName(Fault fault);
std::optional<Fault> faultFromName(std::string_view name);
std::vector<Fault> allFaults();

} // namespace tavelin::sim
