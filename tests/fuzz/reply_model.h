#pragma once
// What the reply framing must make of the bytes one collection drains,
// written out on its own so the fuzz targets can hold the program to it.

#include <QByteArray>
#include <QString>

namespace tavelin::fuzz {

inline const QString kTimeout = QStringLiteral("TIMEOUT");
// No reply on a 19200-baud line is longer than a full 1024-byte input
// buffer plus the 96 bytes that arrive during the 50 ms settle delay.
inline constexpr int kLongestReply = 1024 + 96;

// Every byte with its top bit cleared; the reply runs from the last "*" or
// "?" to the end and counts only when that end is a carriage return, which
// is then dropped, and when it is no longer than kLongestReply with the
// marker and the carriage return.
inline QString expectedReply(const QByteArray& drained)
{
    int start = -1;
    for (int i = 0; i < drained.size(); ++i) {
        const char c = static_cast<char>(static_cast<unsigned char>(drained[i]) & 0x7F);
        if (c == '*' || c == '?')
            start = i;
    }
    if (start < 0 || (static_cast<unsigned char>(drained.back()) & 0x7F) != '\r')
        return kTimeout;
    if (drained.size() - start > kLongestReply)
        return kTimeout;
    QString reply;
    for (int i = start; i < drained.size() - 1; ++i)
        reply.append(QLatin1Char(static_cast<char>(static_cast<unsigned char>(drained[i]) & 0x7F)));
    return reply;
}

} // namespace tavelin::fuzz
