// A login against sockets on loopback: its outcome comes back once on the
// event loop; given up, never, whether at once, with its outcome waiting for
// the event loop, or while the broker keeps silent (its worker then closes
// its own connection).
#include "platform/qt/mosquitto_login.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <poll.h>
#include <unistd.h>

using namespace tavelin;

namespace {

enum class GivenUp { Never, AtOnce, OutcomeWaiting, BrokerSilent };

TEST(MosquittoLogin, AnAttemptGivenUpNeverComesBackAndItsWorkerClosesItsConnection)
{
    for (const GivenUp when : {GivenUp::Never, GivenUp::AtOnce, GivenUp::OutcomeWaiting, GivenUp::BrokerSilent}) {
        SCOPED_TRACE(int(when));
        // Listening (and never accepting by itself) for a silent broker; closed
        // again for a connection refused at once.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        ::listen(listener, 4);
        if (when != GivenUp::BrokerSilent)
            ::close(listener);

        MqttClientOptions options;
        options.endpoint = {false, QStringLiteral("127.0.0.1"), ntohs(address.sin_port)};
        options.clientId = QStringLiteral("login-test");
        options.willTopic = QStringLiteral("test/status");
        QObject receiver;
        int outcomes = 0;
        auto login = MosquittoLogin::start(options, &receiver, [&outcomes](mosquitto* handle, const MqttCondition&) {
            ++outcomes;
            if (handle)
                mosquitto_destroy(handle);
        });
        pollfd incoming{listener, POLLIN, 0};
        const int connection =
            when == GivenUp::BrokerSilent && ::poll(&incoming, 1, 5000) == 1 ? ::accept(listener, nullptr, nullptr) : -1;
        if (when == GivenUp::OutcomeWaiting)
            ::usleep(500 * 1000); // refused at once: the outcome is queued, not yet delivered
        if (when != GivenUp::Never)
            login.reset(); // never waits for the worker

        if (when == GivenUp::BrokerSilent) {
            ASSERT_GE(connection, 0) << "the login did not connect";
            pollfd closed{connection, POLLIN, 0};
            char byte = 0;
            bool ended = false;
            while (!ended && ::poll(&closed, 1, 2000) == 1) // the CONNECT packet, then the end
                ended = ::recv(connection, &byte, 1, 0) <= 0;
            EXPECT_TRUE(ended) << "the abandoned worker kept its connection";
            ::close(connection);
            ::close(listener);
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 700)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(outcomes, when == GivenUp::Never ? 1 : 0);
    }
}

} // namespace
