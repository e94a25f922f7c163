#pragma once
// The serial port as the sensor link uses it: strictly polled, no receive or
// transmit notifications, a settable number of characters per read.

#include <QByteArray>
#include <QString>

namespace tavelin {

// Fixed settings of the module's port; 8 data bits, no parity, one stop bit
// and no flow control are set where the port is opened.
struct SerialSettings {
    static constexpr int kBaudRate = 19200;
    static constexpr int kInputBufferBytes = 1024;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // True while the port is open and usable. A port that was lost (device
    // unplugged, hang-up) or could not be opened reads as closed.
    virtual bool isOpen() = 0;
    // The same, without trying a port that is not open: for a status line.
    virtual bool isOpenWithoutRetry() const = 0;
    // Opens the port with the fixed settings; false with errorString() on failure.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual QString errorString() const = 0;
    // What the operator can do about the last failed open(), in a sentence or
    // two; empty when the system's reason in errorString() is all there is.
    virtual QString openAdvice() const { return QString(); }
    virtual QString deviceName() const = 0;
    // Closes the port and makes device the one to open from now on; open()
    // then opens it, and until it is open each use of the port tries again.
    virtual void setDeviceName(const QString& device) = 0;

    // Sends the bytes; does not wait for them to leave.
    virtual void write(const QByteArray& bytes) = 0;
    // From now on each read() returns at most this many bytes.
    virtual void setReadLength(int bytes) = 0;
    // Received bytes not yet read (0 to the input buffer size), counting what
    // the system has received even when no events have been processed.
    virtual int bytesWaiting() = 0;
    // Removes and returns the oldest received bytes, at most the read length.
    virtual QByteArray read() = 0;
};

} // namespace tavelin
