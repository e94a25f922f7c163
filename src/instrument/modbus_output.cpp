#include "instrument/modbus_output.h"

#include "instrument/instrument.h"
#include "modbus/ip_ranges.h"
#include "platform/qt/modbus_tcp_server.h"
#include "platform/readings_store.h"
#include "platform/serial_port.h"

#include <QTimer>

#include <cstdio>

namespace tavelin {

namespace {
constexpr int kRefreshMs = 1000;
} // namespace

ModbusOutput::ModbusOutput(Instrument& instrument, std::function<bool()> mqttConnected, Lines lines, QObject* parent)
    : QObject(parent),
      instrument_(instrument),
      mqttConnected_(std::move(mqttConnected)),
      lines_(lines ? std::move(lines)
                   : [](const QString& line, bool) { std::fprintf(stderr, "tavelin: %s\n", qPrintable(line)); }),
      everySecond_(new QTimer(this)),
      self_(std::make_shared<ModbusOutput*>(this))
{
    everySecond_->setInterval(kRefreshMs);
    connect(everySecond_, &QTimer::timeout, this, &ModbusOutput::refresh);
    instrument_.addListener(this);
    instrument_.addTickListener([self = self_] {
        if (*self)
            (*self)->cycleDone();
    });
}

ModbusOutput::~ModbusOutput()
{
    *self_ = nullptr;
    instrument_.removeListener(this);
}

void ModbusOutput::follow()
{
    const ModbusSettings& wanted = instrument_.settings().modbus;
    if (following_ && wanted == settings_ && failure_.isEmpty())
        return; // a server that could not listen is tried again
    following_ = true;
    settings_ = wanted;
    everySecond_->stop();
    server_.reset(); // its clients go with it
    address_.clear();
    failure_.clear();
    if (!settings_.listen.isEmpty())
        start();
    updateStatus();
}

void ModbusOutput::start()
{
    ListenAddress address;
    QVector<IpRange> allowed;
    QString reason;
    // The settings were checked as they were read: this is only a guard.
    if (!parseListenAddress(settings_.listen, &address, &reason)
        || !parseIpRanges(settings_.allowedClients, &allowed, &reason)) {
        failure_ = reason;
        address_ = settings_.listen;
        lines_(QStringLiteral("Modbus: cannot listen on %1 (%2)").arg(address_, failure_), true);
        return;
    }
    address_ = listenText(address);
    const ModbusTcpServer::Limits limits{settings_.unitId, settings_.maxClients, allowed, ModbusTcpServer::kIdleMs};
    auto server = std::make_unique<ModbusTcpServer>(limits, [this](const QString& line) { lines_(line, false); });
    if (!server->listen(address, &failure_)) {
        lines_(QStringLiteral("Modbus: cannot listen on %1 (%2)").arg(address_, failure_), true);
        return;
    }
    connect(server.get(), &ModbusTcpServer::clientCountChanged, this, &ModbusOutput::updateStatus);
    server_ = std::move(server);
    refresh();
    everySecond_->start();
    lines_(QStringLiteral("Modbus: listening on %1, unit id %2").arg(address_).arg(settings_.unitId), false);
}

ModbusRegisters ModbusOutput::registers()
{
    ModbusReading reading = modbusReadingOf(instrument_.storeRecorder().lastStored(), instrument_.pulsesPerLiter());
    reading.status = instrumentStatus();
    return encodeRegisters(reading, instrument_.clock().currentMSecsSinceEpoch());
}

void ModbusOutput::sampleAccepted(const MeasurementState&)
{
    acceptedThisCycle_ = true; // the store, before this, has kept it
}

void ModbusOutput::cycleDone()
{
    lastReplyValid_ = acceptedThisCycle_;
    acceptedThisCycle_ = false;
    refresh();
}

void ModbusOutput::refresh()
{
    if (server_)
        server_->setRegisters(registers());
}

ModbusStatus ModbusOutput::instrumentStatus()
{
    ModbusStatus status;
    status.samplingOn = instrument_.tmrRd().isEnabled();
    status.portOpen = instrument_.port().isOpenWithoutRetry();
    status.lastReplyValid = lastReplyValid_;
    const ReadingsStore* store = instrument_.store();
    status.storeWriting = store && store->isOpen() && !instrument_.storeRecorder().lastAppendFailed();
    status.mqttConnected = mqttConnected_ && mqttConnected_();
    if (const AlarmRules* rules = instrument_.alarms().rules()) {
        for (int i = 0; i < kAlarmCount; ++i)
            status.alarms[std::size_t(i)] = rules->status(kAllAlarms[i]).holds;
    }
    return status;
}

void ModbusOutput::updateStatus()
{
    QString status;
    if (!failure_.isEmpty()) {
        status = QStringLiteral("Modbus: cannot listen on %1 (%2)").arg(address_, failure_);
    } else if (server_) {
        const int clients = server_->clientCount();
        status = QStringLiteral("Modbus: listening on %1, %2 %3")
                     .arg(address_)
                     .arg(clients)
                     .arg(clients == 1 ? QStringLiteral("client") : QStringLiteral("clients"));
    }
    if (status == status_)
        return;
    status_ = status;
    Q_EMIT statusChanged(status_);
}

} // namespace tavelin
