// Reply framing on arbitrary bytes arriving in arbitrary pieces.
//
// The input is a list of records, each a header byte and up to 63 bytes:
//   bits 0-5  how many bytes follow (cut short at the end of the input)
//   bit 6     the bytes arrive while the drain loop runs (arriveLater)
//             instead of being there already
//   bit 7     collect a reply after queueing them; with bit 6 and no bytes,
//             collect on a closed port instead
// A last collection follows the last record. Every collection is checked
// against the framing rules applied to exactly the bytes it drained. The
// fake counter steps 1 ms a read and the drain reads it once per 1024 bytes,
// so inputs of this size never reach the drain's time bound: every
// collection drains its input to the end.

#include "fakes/fake_counter.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_serial_port.h"
#include "reply_model.h"
#include "sensor/serial_transaction.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace tavelin;

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "reply framing: %s\n", what);
        std::abort();
    }
}

QByteArray pending(const test::FakeSerialPort& port)
{
    QByteArray all = port.received;
    for (const QByteArray& chunk : port.later)
        all.append(chunk);
    return all;
}

struct Rig {
    test::FakeSerialPort port;
    test::FakeMillisecondCounter counter{0xFFFFFFF0u}; // wraps during the settle delay
    test::FakeMessageBox messages;
    SerialTransaction link{port, counter, messages};

    void collect(bool portClosed)
    {
        if (portClosed)
            port.lose();
        const QByteArray before = pending(port);
        const std::uint32_t startTick = counter.now;
        const int countCallsBefore = port.countCalls;

        const QString reply = link.GetReply();

        const QByteArray after = pending(port);
        require(messages.prompts.isEmpty(), "collecting never shows a message");
        if (portClosed) {
            require(reply.isNull() || reply.isEmpty(), "a closed port gives the empty text");
            require(after == before, "a closed port is not read");
            require(counter.now == startTick, "a closed port is not waited for");
            port.openSucceeds = true;
            port.open();
            return;
        }
        require(!reply.isEmpty(), "an open port never gives the empty text");
        require(static_cast<std::uint32_t>(counter.now - startTick) >= 50, "the settle delay is 50 ms");
        require(port.readLength == 1, "one character per read");
        require(port.countCalls > countCallsBefore, "the input is counted after the delay");
        require(port.received.isEmpty(), "the drain stops only at an empty input");
        require(before.endsWith(after), "later bytes stay in order for the next collection");

        const QByteArray drained = before.left(before.size() - after.size());
        require(reply == fuzz::expectedReply(drained), "the reply follows the framing rules");
        if (reply != fuzz::kTimeout) {
            require(reply[0] == QLatin1Char('*') || reply[0] == QLatin1Char('?'), "a reply starts at its marker");
            for (int i = 0; i < reply.size(); ++i) {
                require(reply[i].unicode() < 128, "seven-bit characters only");
                require(i == 0 || (reply[i] != QLatin1Char('*') && reply[i] != QLatin1Char('?')),
                        "a later marker restarts the reply");
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Rig rig;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t header = data[at++];
        const std::size_t length = std::min<std::size_t>(header & 0x3F, size - at);
        const QByteArray bytes(reinterpret_cast<const char*>(data + at), static_cast<int>(length));
        at += length;
        const bool later = header & 0x40;
        const bool collect = header & 0x80;
        if (later)
            rig.port.arriveLater(bytes);
        else
            rig.port.arrive(bytes);
        if (collect)
            rig.collect(later && length == 0);
    }
    rig.collect(false);
    return 0;
}
