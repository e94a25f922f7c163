#pragma once
// One command/reply exchange with the acquisition module: SendCommand writes
// a command, GetReply waits the settle delay and frames one reply out of what
// the module has sent, WaitMs is the busy wait that processes no events.

#include <QString>

namespace tavelin {

class SerialPort;
class MillisecondCounter;
class MessageBox;

class SerialTransaction {
public:
    SerialTransaction(SerialPort& port, MillisecondCounter& counter, MessageBox& messages)
        : port_(port), counter_(counter), messages_(messages) {}

    // Writes the command unchanged when the port is open; otherwise tells the
    // operator "Port Not open" and sends nothing.
    void SendCommand(const QString& command);
    // The reply from its last start marker ("*" or "?") without its final
    // carriage return; "TIMEOUT" without a complete reply; empty on a closed port.
    QString GetReply();
    // Returns once the whole milliseconds have passed on the counter.
    void WaitMs(float milliseconds);

private:
    SerialPort& port_;
    MillisecondCounter& counter_;
    MessageBox& messages_;
};

} // namespace tavelin
