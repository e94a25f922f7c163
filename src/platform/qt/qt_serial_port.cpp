#include "qt_serial_port.h"

#include "qt_serial_open_failure.h"

#include <algorithm>

namespace tavelin {

QString defaultSerialDevice()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/ttyS0");
#endif
}

QtSerialPort::QtSerialPort(const QString& device, QObject* parent) : QObject(parent), device_(device)
{
    port_.setPortName(device);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

QtSerialPort::~QtSerialPort()
{
    port_.close();
}

bool QtSerialPort::open()
{
    wanted_ = true;
    if (port_.isOpen())
        return true;
    port_.setReadBufferSize(SerialSettings::kInputBufferBytes);
    if (!port_.open(QIODevice::ReadWrite)) {
        errorString_ = port_.errorString();
        openError_ = port_.error();
        port_.clearError();
        return false;
    }
    if (!configure()) {
        errorString_ = port_.errorString();
        openError_ = port_.error();
        port_.close();
        port_.clearError();
        return false;
    }
    errorString_.clear();
    openError_ = QSerialPort::NoError;
    lost_ = false;
    return true;
}

QString QtSerialPort::openAdvice() const
{
    if (openError_ == QSerialPort::NoError)
        return QString();
    return openFailureAdvice(diagnoseOpenFailure(device_, openError_, errorString_));
}

bool QtSerialPort::configure()
{
    return port_.setBaudRate(SerialSettings::kBaudRate)
        && port_.setDataBits(QSerialPort::Data8)
        && port_.setParity(QSerialPort::NoParity)
        && port_.setStopBits(QSerialPort::OneStop)
        && port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::close()
{
    port_.close();
    lost_ = false;
    wanted_ = false;
}

void QtSerialPort::setDeviceName(const QString& device)
{
    close();
    device_ = device;
    port_.setPortName(device);
    errorString_.clear();
    openError_ = QSerialPort::NoError;
}

bool QtSerialPort::isOpen()
{
    if (!port_.isOpen() && wanted_)
        open(); // the device may be back, or plugged in since start-up
    return port_.isOpen();
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        if (port_.isOpen()) {
            errorString_ = port_.errorString();
            lost_ = true;
            port_.close();
        }
        port_.clearError();
        break;
    default:
        break; // NoError on open, timeouts of the zero-wait poll
    }
}

void QtSerialPort::write(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return;
    port_.write(bytes);
    // QSerialPort writes from the event loop; the settle delay processes no
    // events, so hand the bytes to the system now.
    port_.flush();
}

int QtSerialPort::bytesWaiting()
{
    if (!port_.isOpen())
        return 0;
    // Pull what the system holds into our buffer: no event loop runs here.
    if (port_.bytesAvailable() < SerialSettings::kInputBufferBytes)
        port_.waitForReadyRead(0);
    if (port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
    if (!port_.isOpen())
        return 0;
    return static_cast<int>(std::min<qint64>(port_.bytesAvailable(), SerialSettings::kInputBufferBytes));
}

QByteArray QtSerialPort::read()
{
    if (!port_.isOpen())
        return QByteArray();
    return port_.read(readLength_);
}

} // namespace tavelin
