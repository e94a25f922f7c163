#include "module_protocol.h"

#include <cmath>
#include <cstdio>

namespace tavelin::sim {

std::string formatReply(double reading)
{
    // Work in hundredths so that the digits are exact.
    double hundredths = std::round(std::fabs(reading) * 100.0);
    hundredths = std::fmin(hundredths, kLargestReading * 100.0);
    const long long whole = static_cast<long long>(hundredths);
    const bool negative = reading < 0 && whole != 0;

    char text[32];
    std::snprintf(text, sizeof text, "*%c%05lld.%02lld\r", negative ? '-' : '+', whole / 100, whole % 100);
    return text;
}

int CommandScanner::feed(std::string_view bytes)
{
    int found = 0;
    for (const char c : bytes) {
        if (c == kReadCommand[matched_]) {
            ++matched_;
        } else {
            // The command has no repeated prefix, so a mismatch can only
            // restart a match at its first byte.
            matched_ = c == kReadCommand[0] ? 1 : 0;
        }
        if (matched_ == kReadCommand.size()) {
            ++found;
            matched_ = 0;
        }
    }
    return found;
}

} // namespace tavelin::sim
