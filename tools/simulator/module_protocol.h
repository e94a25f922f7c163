#pragma once
// The acquisition module's side of the line protocol: finding read commands
// in the byte stream from the host, and writing the reply to one.

#include "sensor/sensor_constants.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tavelin::sim {

using sensor::kReadCommand;

// Largest magnitude the reply's five integer digits can carry.
inline constexpr double kLargestReading = 99999.99;

// The reply to a read command: "*", the sign, five digits, ".", two digits
// and a carriage return, e.g. "*+00072.00\r". Readings beyond five digits
// are clipped to the largest the format can carry.
std::string formatReply(double reading);

// Finds read commands in a stream that may arrive in pieces of any size.
// Other bytes are skipped.
class CommandScanner {
public:
    // Consumes the bytes; returns how many read commands they complete.
    int feed(std::string_view bytes);

private:
    std::size_t matched_ = 0; // bytes of kReadCommand matched so far
};

} // namespace tavelin::sim
