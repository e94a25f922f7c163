// The Modbus server on loopback with raw TCP clients: who is let in and who is
// disconnected at once, the lines written once per address, and a connection
// without answers closed after the idle time.
#include "platform/qt/modbus_tcp_server.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

using namespace tavelin;

namespace {

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct Rig {
    explicit Rig(ModbusTcpServer::Limits limits)
        : server(limits, [this](const QString& line) { lines.append(line); })
    {
        QString error;
        EXPECT_TRUE(server.listen({QStringLiteral("127.0.0.1"), port}, &error)) << error.toStdString();
    }
    // A client once the server has decided about it.
    std::unique_ptr<QTcpSocket> connect()
    {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, quint16(port));
        EXPECT_TRUE(client->waitForConnected(2000));
        QTest::qWait(50);
        return client;
    }
    // Reads the first word of unit; the reply's bytes, none within waitMs.
    static QByteArray ask(QTcpSocket& client, char unit, int waitMs = 1000)
    {
        client.write(QByteArray::fromHex("000700000006") + unit + QByteArray::fromHex("0300000001"));
        if (!QTest::qWaitFor([&] { return client.bytesAvailable() > 0; }, waitMs))
            return QByteArray();
        return client.readAll();
    }

    int port = freePort();
    QStringList lines;
    ModbusTcpServer server;
};

bool disconnected(QTcpSocket& client, int waitMs = 1000)
{
    return QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, waitMs);
}

TEST(ModbusTcpServer, LetsInTheAllowedUpToTheMostAtOnceAndSaysSoOncePerAddress)
{
    QVector<IpRange> onlyTwo;
    QString reason;
    ASSERT_TRUE(parseIpRanges(QStringLiteral("127.0.0.2"), &onlyTwo, &reason));
    Rig refusing({1, 8, onlyTwo, ModbusTcpServer::kIdleMs});
    auto outsider = refusing.connect();
    EXPECT_TRUE(disconnected(*outsider));
    EXPECT_TRUE(disconnected(*refusing.connect()));
    EXPECT_EQ(refusing.server.clientCount(), 0);
    EXPECT_EQ(refusing.lines, QStringList{QStringLiteral("Modbus: client 127.0.0.1 refused: not in allowed_clients")});

    Rig two({1, 2, {}, ModbusTcpServer::kIdleMs});
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 4; ++i)
        clients.push_back(two.connect());
    EXPECT_EQ(two.server.clientCount(), 2);
    EXPECT_TRUE(disconnected(*clients[2]));
    EXPECT_EQ(clients[1]->state(), QAbstractSocket::ConnectedState);
    clients[0]->disconnectFromHost();
    EXPECT_TRUE(QTest::qWaitFor([&] { return two.server.clientCount() == 1; }, 1000));
    clients.push_back(two.connect());
    EXPECT_EQ(two.server.clientCount(), 2);
    EXPECT_EQ(clients[4]->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(two.lines, (QStringList{QStringLiteral("Modbus: client 127.0.0.1 connected"),
                                      QStringLiteral("Modbus: client 127.0.0.1 refused: 2 clients are connected "
                                                     "already (max_clients)")}));
}

TEST(ModbusTcpServer, ClosesAConnectionWithoutAnswersForTheIdleTimeAndAllAsItGoes)
{
    Rig rig({1, 8, {}, 400});
    auto quiet = rig.connect();
    auto asking = rig.connect();
    auto wrongUnit = rig.connect();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Rig::ask(*asking, 1).size(), 11);
        Rig::ask(*wrongUnit, 9, 0);
        QTest::qWait(150);
    }
    EXPECT_EQ(quiet->state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(wrongUnit->state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(asking->state(), QAbstractSocket::ConnectedState);
    EXPECT_TRUE(disconnected(*asking));
    EXPECT_EQ(rig.server.clientCount(), 0);

    auto gone = std::make_unique<Rig>(ModbusTcpServer::Limits{}); // its clients go with it
    auto client = gone->connect();
    gone.reset();
    EXPECT_TRUE(disconnected(*client));
}

} // namespace
