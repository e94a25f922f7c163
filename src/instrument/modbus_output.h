#pragma once
// Serves an instrument's newest stored reading and its state as Modbus TCP
// registers while the [modbus] settings name an address to listen on. The
// registers change after each sampling cycle (so after each stored reading)
// and once a second (the seconds since the reading, the status); the server
// is made, remade or ended as the settings change. The window and the
// service each make one; Qt Core and Qt SerialBus only.

#include "modbus/modbus_registers.h"
#include "sensor/sample_listener.h"
#include "settings/modbus_settings.h"

#include <QObject>

#include <functional>
#include <memory>

class QTimer;

namespace tavelin {

class Instrument;
class ModbusTcpServer;

class ModbusOutput : public QObject, public SampleListener {
    Q_OBJECT
public:
    // Where lines about the server go (listening, a client's first connect,
    // a refusal); trouble when it cannot serve. Standard error by default.
    using Lines = std::function<void(const QString& line, bool trouble)>;

    // mqttConnected tells the status bit of that name.
    ModbusOutput(Instrument& instrument, std::function<bool()> mqttConnected, Lines lines = Lines(),
                 QObject* parent = nullptr);
    ~ModbusOutput() override;

    // Serves as the instrument's settings say: started, restarted with other
    // settings (or when it could not listen), or ended.
    void follow();
    // "Modbus: listening on 127.0.0.1:1502, 2 clients"; empty while off.
    QString status() const { return status_; }
    // What a client reads now.
    ModbusRegisters registers();

    void sampleAccepted(const MeasurementState& state) override;

Q_SIGNALS:
    void statusChanged(const QString& status);

private:
    void start();
    void cycleDone();
    void refresh();
    void updateStatus();
    ModbusStatus instrumentStatus();

    Instrument& instrument_;
    std::function<bool()> mqttConnected_;
    Lines lines_;
    bool following_ = false;
    ModbusSettings settings_;
    std::unique_ptr<ModbusTcpServer> server_;
    QTimer* everySecond_;
    QString address_; // "127.0.0.1:1502"
    QString failure_; // why it does not listen
    QString status_;
    bool lastReplyValid_ = false;
    bool acceptedThisCycle_ = false;
    std::shared_ptr<ModbusOutput*> self_; // the instrument's tick reaches this only while it lives
};

} // namespace tavelin
