#include "fault_mode.h"

#include "module_protocol.h"

#include <array>
#include <utility>

namespace tavelin::sim {

namespace {

constexpr double kReadingLimit = 90000.0; // the host counts a larger reading as 0

// Printable stray bytes that hold no start marker and no carriage return,
// not even once the host clears their top bit.
std::string noise(std::size_t length)
{
    static constexpr std::string_view kPattern = "#%&+-/0123456789:;<=>@ABCXYZabcxyz~";
    std::string bytes;
    bytes.reserve(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes.push_back(kPattern[(i * 11) % kPattern.size()]);
    return bytes;
}

std::string withHighBits(std::string bytes)
{
    for (char& c : bytes)
        c = static_cast<char>(static_cast<unsigned char>(c) | 0x80u);
    return bytes;
}

Answer now(std::string bytes, std::optional<double> accepted)
{
    Answer answer;
    answer.chunks.push_back({std::chrono::milliseconds(0), std::move(bytes)});
    answer.accepted = accepted;
    return answer;
}

constexpr std::array<std::pair<Fault, std::string_view>, 13> kNames{{
    {Fault::None, "none"},
    {Fault::Silence, "silence"},
    {Fault::NoiseBefore, "noise"},
    {Fault::HighBit, "high-bit"},
    {Fault::SplitReply, "split"},
    {Fault::Echo, "echo"},
    {Fault::TrailingLineFeed, "line-feed"},
    {Fault::DoubleReply, "double"},
    {Fault::QuestionReply, "question"},
    {Fault::OverLimit, "over-limit"},
    {Fault::NonNumeric, "non-numeric"},
    {Fault::NoiseBurst, "noise-burst"},
    {Fault::Endless, "endless"},
}};

} // namespace

Answer shapeAnswer(Fault fault, double reading)
{
    const std::string reply = formatReply(reading);
    const double taken = reading > kReadingLimit ? 0.0 : reading;
    switch (fault) {
    case Fault::None:
        return now(reply, taken);
    case Fault::Silence:
        return Answer{};
    case Fault::NoiseBefore:
        return now(noise(6) + reply, taken);
    case Fault::HighBit:
        return now(withHighBits(reply), taken);
    case Fault::SplitReply: {
        // Cut inside the reading, so the first part is a started reply.
        Answer answer;
        answer.chunks.push_back({std::chrono::milliseconds(0), reply.substr(0, 5)});
        answer.chunks.push_back({kSplitDelay, reply.substr(5)});
        return answer; // rejected in its cycle, superseded in the next
    }
    case Fault::Echo:
        return now(std::string(kReadCommand) + reply, taken);
    case Fault::TrailingLineFeed:
        return now(reply + "\n", std::nullopt);
    case Fault::DoubleReply:
        return now(formatReply(0.0) + reply, taken);
    case Fault::QuestionReply:
        return now("?01\r", std::nullopt);
    case Fault::OverLimit:
        return now(formatReply(kOverLimitReading), 0.0);
    case Fault::NonNumeric:
        return now("*+ABCDE.FG\r", std::nullopt);
    case Fault::NoiseBurst:
        return now(noise(kNoiseBurstBytes) + reply, taken);
    case Fault::Endless: {
        Answer answer = now("*", std::nullopt);
        answer.streams = true;
        return answer;
    }
    }
    return Answer{};
}

std::string_view faultName(Fault fault)
{
    for (const auto& [f, name] : kNames)
        if (f == fault)
            return name;
    return "none";
}

std::optional<Fault> faultFromName(std::string_view name)
{
    for (const auto& [f, n] : kNames)
        if (n == name)
            return f;
    return std::nullopt;
}

std::vector<Fault> allFaults()
{
    std::vector<Fault> faults;
    for (const auto& entry : kNames)
        faults.push_back(entry.first);
    return faults;
}

} // namespace tavelin::sim
