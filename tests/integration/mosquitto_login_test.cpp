// A login on a thread of its own, against sockets on loopback: its outcome
// comes back once, on the event loop; an attempt given up never comes back,
// however far it got, and its worker closes its own connection.
#include "platform/qt/mosquitto_login.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <utility>

using namespace tavelin;

namespace {

// A socket listening on 127.0.0.1 that never accepts by itself: the kernel
// completes a connection to it, and nothing ever answers the login.
struct SilentBroker {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;

    explicit SilentBroker(bool listening)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        if (listening)
            ::listen(fd, 4);
        else
            ::close(std::exchange(fd, -1)); // the port is free: a connection is refused
    }
    ~SilentBroker()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // The connection the login made, once it is there.
    int accepted(int timeoutMs) const
    {
        pollfd watch{fd, POLLIN, 0};
        return ::poll(&watch, 1, timeoutMs) == 1 ? ::accept(fd, nullptr, nullptr) : -1;
    }
};

MqttClientOptions optionsFor(int port)
{
    MqttClientOptions options;
    options.endpoint = {false, QStringLiteral("127.0.0.1"), port};
    options.clientId = QStringLiteral("login-test");
    options.willTopic = QStringLiteral("test/status");
    return options;
}

struct Outcomes {
    int count = 0;
    MqttCondition failure;

    MosquittoLogin::Done done()
    {
        return [this](mosquitto* handle, const MqttCondition& why) {
            ++count;
            failure = why;
            if (handle)
                mosquitto_destroy(handle);
        };
    }
};

void runEventLoopFor(int ms, const std::function<bool()>& until = [] { return false; })
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !until())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(MosquittoLogin, AFailedAttemptComesBackOnceWithTheReason)
{
    const SilentBroker none(false);
    QObject receiver;
    Outcomes outcomes;
    const auto login = MosquittoLogin::start(optionsFor(none.port), &receiver, outcomes.done());
    runEventLoopFor(5000, [&] { return outcomes.count > 0; });
    runEventLoopFor(200);
    EXPECT_EQ(outcomes.count, 1);
    EXPECT_EQ(outcomes.failure.state, MqttState::Unreachable);
    EXPECT_EQ(outcomes.failure.detail.toStdString(), "Connection refused");
}

TEST(MosquittoLogin, AnAttemptGivenUpNeverComesBack)
{
    for (const bool finishedFirst : {false, true}) {
        SCOPED_TRACE(finishedFirst ? "its outcome waiting for the event loop" : "at once");
        const SilentBroker none(false);
        QObject receiver;
        Outcomes outcomes;
        auto login = MosquittoLogin::start(optionsFor(none.port), &receiver, outcomes.done());
        if (finishedFirst)
            usleep(500 * 1000); // refused at once: the outcome is queued, not yet delivered
        login.reset();
        runEventLoopFor(700);
        EXPECT_EQ(outcomes.count, 0);
    }
}

TEST(MosquittoLogin, AWorkerGivenUpWhileTheBrokerIsSilentClosesItsOwnConnection)
{
    const SilentBroker silent(true);
    QObject receiver;
    Outcomes outcomes;
    auto login = MosquittoLogin::start(optionsFor(silent.port), &receiver, outcomes.done());
    const int connection = silent.accepted(5000);
    ASSERT_GE(connection, 0) << "the login did not connect";
    runEventLoopFor(300);
    EXPECT_EQ(outcomes.count, 0) << "the login is not answered";

    login.reset(); // does not wait for the worker
    pollfd closed{connection, POLLIN, 0};
    char byte = 0;
    bool ended = false;
    // The CONNECT packet first, then the end of the stream.
    while (!ended && ::poll(&closed, 1, 2000) == 1)
        ended = ::recv(connection, &byte, 1, 0) <= 0;
    ::close(connection);
    EXPECT_TRUE(ended) << "the abandoned worker kept its connection";
    runEventLoopFor(200);
    EXPECT_EQ(outcomes.count, 0);
}

} // namespace
