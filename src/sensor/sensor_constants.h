#pragma once
// Constants of the flow sensor and its acquisition module, in one place
// (the module simulator answers the same read command).

#include <string_view>

namespace tavelin::sensor {

constexpr double kPulsesPerLiter = 6900.0;     // the K-factor without a settings file
constexpr double kMaxPulsesPerLiter = 1.0e7;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kReadingLimitHz = 90000.0; // a reading above it counts as 0
constexpr int kRoundedDecimals = 2;
constexpr float kSettleDelayMs = 50.0f;     // between command and collection
constexpr int kSamplingIntervalMs = 1000;

inline constexpr std::string_view kReadCommand = "$?RD\r"; // "$", "?", "RD" and a carriage return
constexpr char kValidReplyMarker = '*';
constexpr int kBodyStart = 3;  // 1-based position of the reading in a reply
constexpr int kBodyLength = 8; // five digits, a point and two digits

inline const char* const kNoValidReturnMessage = "NO VALID RETURN FROM pH MODULE";
inline const char* const kPortNotOpenMessage = "Port Not open";
inline const char* const kPortFailureTitle = "Port Failure";
inline const char* const kTimeoutReply = "TIMEOUT";

} // namespace tavelin::sensor
