#pragma once
// The module's serial port on QSerialPort, polled without an event loop.
// A port whose device goes away is closed at the first error (left open, a
// lost pseudo-terminal makes QSerialPort spin). Once open() has been asked
// for, a port that is not open is tried again at each use, at the same path:
// a lost device that is back, one plugged in only after start-up, or one
// chosen while running.

#include "platform/serial_port.h"

#include <QObject>
#include <QSerialPort>

namespace tavelin {

class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(const QString& device, QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool isOpen() override;
    bool isOpenWithoutRetry() const override { return port_.isOpen(); }
    bool open() override;
    void close() override;
    QString errorString() const override { return errorString_; }
    QString openAdvice() const override;
    QString deviceName() const override { return device_; }
    void setDeviceName(const QString& device) override;

    void write(const QByteArray& bytes) override;
    void setReadLength(int bytes) override { readLength_ = bytes > 0 ? bytes : 1; }
    int bytesWaiting() override;
    QByteArray read() override;

    // True after the device was lost while open, until it has been reopened.
    bool isLost() const { return lost_; }

private:
    void handleError(QSerialPort::SerialPortError error);
    bool configure();

    QString device_;
    QSerialPort port_;
    QString errorString_;
    QSerialPort::SerialPortError openError_ = QSerialPort::NoError;
    int readLength_ = 1;
    bool lost_ = false;
    bool wanted_ = false; // open() was asked for and close() has not been since
};

// The device that stands for serial port number 1 on this system.
QString defaultSerialDevice();

} // namespace tavelin
