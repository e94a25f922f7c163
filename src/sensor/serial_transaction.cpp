#include "serial_transaction.h"

#include "platform/message_box.h"
#include "platform/millisecond_counter.h"
#include "platform/serial_port.h"
#include "sensor_constants.h"

#include <cmath>
#include <cstdint>

namespace tavelin {

namespace {
constexpr char kCarriageReturn = '\r';
// A wait sleeps until this close to its deadline and reads the counter for
// the rest, so that it ends on the tick that reaches the deadline rather than
// up to a millisecond after it, at the cost of reading for under 1 ms.
constexpr std::uint32_t kReadOnlyMs = 1;

bool isStartMarker(char c) { return c == '*' || c == '?'; }

// The time spent draining is checked after each input buffer's worth of
// bytes, so whatever the buffer holds is always read whole, however late
// the program gets the processor.
constexpr int kDrainCheckBytes = SerialSettings::kInputBufferBytes;
} // namespace

void SerialTransaction::SendCommand(const QString& command)
{
    if (port_.isOpen()) {
        port_.write(command.toLatin1());
        return;
    }
    messages_.show(QString::fromLatin1(sensor::kPortNotOpenMessage),
                   QString::fromLatin1(sensor::kPortFailureTitle));
}

QString SerialTransaction::GetReply()
{
    if (!port_.isOpen())
        return QString();

    port_.setReadLength(1);
    WaitMs(sensor::kSettleDelayMs);

    QString reply;
    bool started = false;
    bool overlong = false; // the text since the last marker outgrew any reply
    const std::uint32_t drainStart = counter_.ticks();
    for (int drained = 0; port_.bytesWaiting() > 0; ++drained) {
        if (drained > 0 && drained % kDrainCheckBytes == 0
            && static_cast<std::uint32_t>(counter_.ticks() - drainStart) >= kDrainLimitMs)
            return QString::fromLatin1(sensor::kTimeoutReply); // a sender that never stops
        const QByteArray piece = port_.read();
        if (piece.isEmpty())
            break; // the port went away between the count and the read
        const char c = static_cast<char>(static_cast<unsigned char>(piece.at(0)) & 0x7F);
        if (isStartMarker(c)) {
            started = true;
            overlong = false;
            reply = QString(QLatin1Char(c));
        } else if (started && reply.size() < kLongestReply) {
            reply.append(QLatin1Char(c));
        } else if (started) {
            overlong = true;
        }
    }

    if (!overlong && !reply.isEmpty() && reply.back() == QLatin1Char(kCarriageReturn))
        return reply.chopped(1);
    return QString::fromLatin1(sensor::kTimeoutReply);
}

void SerialTransaction::WaitMs(float milliseconds)
{
    // Elapsed ticks in unsigned arithmetic, so the counter's wrap neither
    // shortens nor lengthens the wait.
    const double whole = std::floor(static_cast<double>(milliseconds));
    const std::uint32_t wait = whole <= 0.0 ? 0u
                             : whole >= 2147483647.0 ? 2147483647u
                             : static_cast<std::uint32_t>(whole);
    const std::uint32_t start = counter_.ticks();
    for (std::uint32_t elapsed = counter_.ticks() - start; elapsed < wait; elapsed = counter_.ticks() - start) {
        // No events are processed here: the thread only sleeps or reads.
        const std::uint32_t remaining = wait - elapsed;
        if (remaining > kReadOnlyMs)
            counter_.sleepFor(remaining - kReadOnlyMs);
    }
}

} // namespace tavelin
