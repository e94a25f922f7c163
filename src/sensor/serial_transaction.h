#pragma once
// One command/reply exchange with the acquisition module: SendCommand writes
// a command, GetReply waits the settle delay and frames one reply out of what
// the module has sent, WaitMs is the wait that processes no events.

#include <QString>

#include <cstdint>

namespace tavelin {

class SerialPort;
class MillisecondCounter;
class MessageBox;

class SerialTransaction {
public:
    // Bounds of one collection. A device that never stops sending (a USB CDC
    // device or a pseudo-terminal ignores the baud rate) would otherwise keep
    // the drain going for ever. Draining stops once it has taken this long,
    // and a reply text (marker and carriage return included) may be at most
    // what the module's line can bring in one collection: a full 1024-byte
    // input buffer plus 19200 baud (1920 bytes a second) over the 50 ms
    // settle delay, 1024 + 96 characters. Either bound counts as no reply.
    static constexpr std::uint32_t kDrainLimitMs = 50;
    static constexpr int kLongestReply = 1120;

    SerialTransaction(SerialPort& port, MillisecondCounter& counter, MessageBox& messages)
        : port_(port), counter_(counter), messages_(messages) {}

    // Writes the command unchanged when the port is open; otherwise tells the
    // operator "Port Not open" and sends nothing.
    void SendCommand(const QString& command);
    // The reply from its last start marker ("*" or "?") without its final
    // carriage return; "TIMEOUT" without a complete reply or past a bound;
    // empty on a closed port.
    QString GetReply();
    // Returns once the whole milliseconds have passed on the counter; the
    // thread sleeps most of that time and processes no events meanwhile.
    void WaitMs(float milliseconds);

private:
    SerialPort& port_;
    MillisecondCounter& counter_;
    MessageBox& messages_;
};

} // namespace tavelin
