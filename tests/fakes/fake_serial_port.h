#pragma once
// A serial port held in memory: tests feed the bytes "received" and read what
// was written. Chunks queued with arriveLater() appear one per bytesWaiting()
// call, as bytes arriving while the drain loop runs.

#include "platform/serial_port.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <functional>

namespace tavelin::test {

class FakeSerialPort : public SerialPort {
public:
    bool isOpen() override { return open_; }
    bool isOpenWithoutRetry() const override { return open_; }
    bool open() override
    {
        open_ = openSucceeds;
        return open_;
    }
    void close() override { open_ = false; }
    QString errorString() const override { return openSucceeds ? QString() : QStringLiteral("No such file or directory"); }
    QString openAdvice() const override { return openSucceeds ? QString() : advice; }
    QString deviceName() const override { return device; }
    void setDeviceName(const QString& name) override
    {
        open_ = false;
        device = name;
    }

    void write(const QByteArray& bytes) override
    {
        written.append(bytes);
        if (onWrite)
            onWrite(bytes);
    }
    void setReadLength(int bytes) override { readLength = bytes; }
    int bytesWaiting() override
    {
        ++countCalls;
        if (!later.isEmpty())
            received.append(later.takeFirst());
        if (received.isEmpty())
            received = endless;
        return std::min(received.size(), SerialSettings::kInputBufferBytes);
    }
    QByteArray read() override
    {
        const QByteArray piece = received.left(readLength);
        received.remove(0, piece.size());
        return piece;
    }

    void arrive(const QByteArray& bytes) { received.append(bytes); }
    void arriveLater(const QByteArray& chunk) { later.append(chunk); }
    void lose() { open_ = false; }

    bool openSucceeds = true;
    QString advice; // offered while opening fails
    QString device = QStringLiteral("/dev/fake");
    QByteArray written;
    QByteArray received;
    QList<QByteArray> later;
    QByteArray endless; // a device that never stops: comes again whenever all is read
    int readLength = 0;
    int countCalls = 0;
    std::function<void(const QByteArray&)> onWrite;

private:
    bool open_ = true;
};

} // namespace tavelin::test
