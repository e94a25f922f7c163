#pragma once
// The register map served over Modbus TCP on Qt SerialBus, on the program's
// event loop: both tables hold the same words, changed all at once, and a
// request is answered from one state of them. Only reads within the map are
// answered; everything else gets an exception (modbus/modbus_requests.h). A
// client outside the allowed ranges, or beyond the most clients at once, is
// disconnected as soon as it connects; a connection that has had no answer
// for the idle time is closed.

#include "modbus/ip_ranges.h"
#include "modbus/modbus_registers.h"
#include "settings/modbus_settings.h"

#include <QModbusTcpServer>
#include <QSet>

#include <functional>

class QTcpSocket;

namespace tavelin {

class ModbusTcpServer : public QModbusTcpServer {
    Q_OBJECT
public:
    static constexpr int kIdleMs = 60000;

    struct Limits {
        int unitId = 1;
        int maxClients = 8;
        QVector<IpRange> allowed; // empty: any client
        int idleMs = kIdleMs;
    };
    // Where the lines about clients go (a connect, a refusal), each written
    // once per client address.
    using Lines = std::function<void(const QString& line)>;

    ModbusTcpServer(const Limits& limits, Lines lines, QObject* parent = nullptr);
    ~ModbusTcpServer() override;

    // False with *error set when the address cannot be listened on.
    bool listen(const ListenAddress& address, QString* error);
    void setRegisters(const ModbusRegisters& words);
    int clientCount() const { return clients_.size(); }

Q_SIGNALS:
    void clientCountChanged(int count);

protected:
    QModbusResponse processRequest(const QModbusPdu& request) override;

private:
    bool acceptNewConnection(QTcpSocket* client);
    bool refuse(QTcpSocket* client);
    void follow(QTcpSocket* client);
    void forget(QTcpSocket* client);
    void writeOnce(QSet<QString>& written, const QString& address, const QString& line);

    Limits limits_;
    Lines lines_;
    QSet<QTcpSocket*> clients_;
    QSet<QString> connected_; // the addresses whose connect was written
    QSet<QString> refused_;
    QSet<QString> turnedAway_; // refused for max_clients
};

} // namespace tavelin
