// The Modbus server on loopback with raw TCP clients: the most clients at
// once, the lines written once per address, and a connection without answers
// closed after the idle time.
#include "platform/qt/modbus_tcp_server.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

using namespace tavelin;

namespace {

struct Rig {
    explicit Rig(ModbusTcpServer::Limits limits) : server(limits, [this](const QString& l) { lines.append(l); })
    {
        QTcpServer probe; // a free port
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
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

    QStringList lines;
    ModbusTcpServer server;
    int port = 0;
};

TEST(ModbusTcpServer, LetsInUpToTheMostAtOnceAndSaysSoOncePerAddress)
{
    Rig two({1, 2, {}, ModbusTcpServer::kIdleMs});
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 4; ++i)
        clients.push_back(two.connect());
    EXPECT_TRUE(QTest::qWaitFor([&] { return clients[2]->state() == QAbstractSocket::UnconnectedState; }, 1000));
    clients[0]->disconnectFromHost();
    EXPECT_TRUE(QTest::qWaitFor([&] { return two.server.clientCount() == 1; }, 1000));
    EXPECT_EQ(two.connect()->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(two.lines, (QStringList{QStringLiteral("Modbus: client 127.0.0.1 connected"),
                                      QStringLiteral("Modbus: client 127.0.0.1 refused: 2 clients are connected "
                                                     "already (max_clients)")}));
}

TEST(ModbusTcpServer, ClosesAConnectionWithoutAnswersForTheIdleTime)
{
    Rig rig({1, 8, {}, 400});
    auto quiet = rig.connect();
    auto asking = rig.connect();
    auto wrongUnit = rig.connect(); // asks unit 9: never answered
    for (int i = 0; i < 4; ++i) {
        asking->write(QByteArray::fromHex("00070000000601" "0300000001"));
        wrongUnit->write(QByteArray::fromHex("00070000000609" "0300000001"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return asking->bytesAvailable() == 11; }, 1000));
        asking->readAll();
        QTest::qWait(150);
    }
    const auto gone = [](QTcpSocket& c) { return c.state() == QAbstractSocket::UnconnectedState; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone(*quiet) && gone(*wrongUnit); }, 1000));
    EXPECT_FALSE(gone(*asking));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.server.clientCount() == 0; }, 1000));
}

} // namespace
