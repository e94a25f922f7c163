#include "platform/qt/modbus_tcp_server.h"

#include "modbus/modbus_requests.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace tavelin {

namespace {

// Addresses remembered for the lines written once: past this many the
// memory starts afresh rather than grow.
constexpr int kRememberedAddresses = 1024;

QModbusDataUnitMap registerMap()
{
    QModbusDataUnitMap map;
    for (const auto table : {QModbusDataUnit::HoldingRegisters, QModbusDataUnit::InputRegisters})
        map.insert(table, QModbusDataUnit(table, 0, modbus_map::kRegisterCount));
    return map;
}

// The client's address as the ranges know it; a dual-stack socket gives an
// IPv4 client as ::ffff:a.b.c.d, and a link-local one with its zone.
QHostAddress peerOf(const QTcpSocket* client)
{
    QHostAddress address = client->peerAddress();
    address.setScopeId(QString());
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

// Asks the server about each new client. The server owns it and deletes it
// with itself.
class ConnectionGate : public QModbusTcpConnectionObserver {
public:
    explicit ConnectionGate(std::function<bool(QTcpSocket*)> accept) : accept_(std::move(accept)) {}
    bool acceptNewConnection(QTcpSocket* client) override { return accept_(client); }

private:
    std::function<bool(QTcpSocket*)> accept_;
};

} // namespace

ModbusTcpServer::ModbusTcpServer(const Limits& limits, Lines lines, QObject* parent)
    : QModbusTcpServer(parent), limits_(limits), lines_(std::move(lines))
{
    setMap(registerMap());
    setServerAddress(limits_.unitId);
    installConnectionObserver(new ConnectionGate([this](QTcpSocket* client) { return acceptNewConnection(client); }));
}

ModbusTcpServer::~ModbusTcpServer()
{
    // No new client may reach this part of the server after now, and the
    // clients' own signals find it forgetting nobody. Each client is closed
    // and deleted while the whole server is still there: Qt's server frees
    // what it kept for a connection only when it sees the socket go (its
    // connections to the socket must stay for that).
    const QSet<QTcpSocket*> clients = std::exchange(clients_, {});
    for (QTcpSocket* client : clients) {
        client->abort();
        delete client;
    }
    installConnectionObserver(new ConnectionGate([](QTcpSocket*) { return false; }));
    disconnectDevice();
}

bool ModbusTcpServer::listen(const ListenAddress& address, QString* error)
{
    setConnectionParameter(QModbusDevice::NetworkAddressParameter, address.host);
    setConnectionParameter(QModbusDevice::NetworkPortParameter, address.port);
    if (connectDevice() && state() == QModbusDevice::ConnectedState)
        return true;
    *error = errorString();
    return false;
}

void ModbusTcpServer::setRegisters(const ModbusRegisters& words)
{
    // One call a table: no request is answered in between, since requests
    // are answered on this same thread.
    QModbusDataUnit unit(QModbusDataUnit::HoldingRegisters, 0, QVector<quint16>(words.begin(), words.end()));
    setData(unit);
    unit.setRegisterType(QModbusDataUnit::InputRegisters);
    setData(unit);
}

QModbusResponse ModbusTcpServer::processRequest(const QModbusPdu& request)
{
    const ModbusException refusal = checkRequest(request.functionCode(), request.data(), modbus_map::kRegisterCount);
    if (refusal != ModbusException::None)
        return QModbusExceptionResponse(request.functionCode(), QModbusPdu::ExceptionCode(refusal));
    return QModbusTcpServer::processRequest(request);
}

bool ModbusTcpServer::acceptNewConnection(QTcpSocket* client)
{
    const QHostAddress peer = peerOf(client);
    const QString address = peer.toString();
    const std::optional<IpAddress> ip = parseIpAddress(address);
    if (!ip || !isAllowed(limits_.allowed, *ip)) {
        writeOnce(refused_, address, QStringLiteral("Modbus: client %1 refused: not in allowed_clients").arg(address));
        return refuse(client);
    }
    if (clients_.size() >= limits_.maxClients) {
        writeOnce(turnedAway_, address,
                  QStringLiteral("Modbus: client %1 refused: %2 clients are connected already (max_clients)")
                      .arg(address)
                      .arg(clients_.size()));
        return refuse(client);
    }
    follow(client);
    writeOnce(connected_, address, QStringLiteral("Modbus: client %1 connected").arg(address));
    return true;
}

// Qt's server keeps what it made for a connection its observer turns down
// (its buffer, the socket until the server goes): one refused client after
// another would grow the program. So the connection is let in and closed
// before its first request can be read, and Qt's own clean-up of a closed
// connection takes all of it.
bool ModbusTcpServer::refuse(QTcpSocket* client)
{
    QMetaObject::invokeMethod(client, [client] { client->abort(); }, Qt::QueuedConnection);
    return true;
}

void ModbusTcpServer::follow(QTcpSocket* client)
{
    clients_.insert(client);
    // Idle: no answer for the idle time. A client that sends only what
    // cannot be answered (another unit id, a frame that never completes)
    // is idle too.
    auto* idle = new QTimer(client);
    idle->setSingleShot(true);
    idle->setInterval(limits_.idleMs);
    connect(idle, &QTimer::timeout, client, [client] { client->disconnectFromHost(); });
    connect(client, &QTcpSocket::bytesWritten, idle, [idle] { idle->start(); });
    idle->start();
    connect(client, &QTcpSocket::disconnected, this, [this, client] { forget(client); });
    connect(client, &QObject::destroyed, this, [this, client] { forget(client); });
    Q_EMIT clientCountChanged(clients_.size());
}

void ModbusTcpServer::forget(QTcpSocket* client)
{
    if (clients_.remove(client))
        Q_EMIT clientCountChanged(clients_.size());
}

void ModbusTcpServer::writeOnce(QSet<QString>& written, const QString& address, const QString& line)
{
    if (written.contains(address))
        return;
    if (written.size() >= kRememberedAddresses)
        written.clear();
    written.insert(address);
    if (lines_)
        lines_(line);
}

} // namespace tavelin
