#include "platform/qt/mosquitto_login.h"

#include "platform/qt/mosquitto_failures.h"
#include "platform/qt/mosquitto_options.h"

#include <QElapsedTimer>

#include <atomic>
#include <cerrno>
#include <mosquitto.h>
#include <mutex>
#include <openssl/crypto.h>
#include <optional>
#include <poll.h>
#include <system_error>
#include <thread>
#include <utility>

namespace tavelin {

namespace {

// How often a worker looks whether it was abandoned, between its waits on
// the socket (not while the resolver or a blocking call holds it).
constexpr int kSliceMs = 100;

// Before libmosquitto initialises OpenSSL: without its clean-up at exit, a
// worker left behind (still at a TLS handshake, or destroying its handle)
// cannot find the library freed under it while the program ends.
void initialiseLibrary()
{
    static const int initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) + mosquitto_lib_init();
    Q_UNUSED(initialised)
}

struct Outcome {
    mosquitto* handle = nullptr;
    MqttCondition failure;
};

// The login itself, on the worker's thread: nothing here touches anything
// of the event loop's.
class Attempt {
public:
    Attempt(const MqttClientOptions& options, const std::atomic<bool>& abandoned)
        : options_(options), abandoned_(abandoned)
    {
    }

    Outcome run()
    {
        mosquitto* mosq = mosquitto_new(options_.clientId.toUtf8().constData(), true, this);
        if (!mosq)
            return failed(nullptr, {MqttState::Unusable,
                                    QStringLiteral("the MQTT client cannot start: %1").arg(qt_error_string(errno))});
        mosquitto_int_option(mosq, MOSQ_OPT_SEND_MAXIMUM, options_.sendWindow);
        mosquitto_connect_callback_set(mosq, &Attempt::onConnect);
        mosquitto_log_callback_set(mosq, &Attempt::onLog);
        QString problem;
        if (!configureMosquitto(mosq, options_.settings, options_.endpoint.tls, options_.willTopic, &problem))
            return failed(mosq, {MqttState::Unusable, problem});
        // The host name is looked up here, with a getaddrinfo that may take
        // the resolver's whole time-out: the reason for this thread.
        const int rc = mosquitto_connect_async(mosq, options_.endpoint.host.toUtf8().constData(),
                                               options_.endpoint.port, options_.keepAliveSeconds);
        const int savedErrno = errno;
        if (rc != MOSQ_ERR_SUCCESS)
            return failed(mosq, mosquittoFailure(rc, savedErrno, false, options_.endpoint.tls, lastError_));
        return awaitLogin(mosq);
    }

private:
    // The TCP connection, the TLS handshake and the broker's answer to the
    // login; libmosquitto's keep-alive check ends a login that the broker
    // never answers, and twice the keep-alive is the limit in any case.
    Outcome awaitLogin(mosquitto* mosq)
    {
        QElapsedTimer clock;
        clock.start();
        while (!abandoned_) {
            const int fd = mosquitto_socket(mosq);
            pollfd watch{fd, short(POLLIN | (mosquitto_want_write(mosq) ? POLLOUT : 0)), 0};
            const int ready = ::poll(&watch, 1, kSliceMs);
            int rc = MOSQ_ERR_SUCCESS;
            int savedErrno = 0;
            if (ready > 0 && (watch.revents & (POLLIN | POLLERR | POLLHUP))) {
                const QString failure = socketFailure(fd);
                if (!failure.isEmpty())
                    return failed(mosq, {MqttState::Unreachable, failure});
                rc = mosquitto_loop_read(mosq, 1);
                savedErrno = errno;
            }
            if (rc == MOSQ_ERR_SUCCESS && ready > 0 && (watch.revents & POLLOUT)) {
                rc = mosquitto_loop_write(mosq, 1);
                savedErrno = errno;
            }
            if (rc == MOSQ_ERR_SUCCESS) {
                rc = mosquitto_loop_misc(mosq);
                savedErrno = errno;
            }
            if (connected_)
                return {mosq, {}};
            if (refusal_)
                return failed(mosq, *refusal_);
            if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(mosq) < 0)
                return failed(mosq, mosquittoFailure(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc, savedErrno,
                                                     false, options_.endpoint.tls, lastError_));
            if (clock.elapsed() > 2000LL * options_.keepAliveSeconds)
                return failed(mosq, {MqttState::Unreachable, QStringLiteral("no answer to the login")});
        }
        return failed(mosq, {});
    }

    static Outcome failed(mosquitto* mosq, const MqttCondition& why)
    {
        if (mosq)
            mosquitto_destroy(mosq);
        return {nullptr, why};
    }

    static void onConnect(mosquitto*, void* self, int rc)
    {
        auto* attempt = static_cast<Attempt*>(self);
        if (rc == 0) {
            attempt->connected_ = true;
            return;
        }
        const QString why = libraryText(mosquitto_connack_string(rc));
        attempt->refusal_ = MqttCondition{rc == 4 || rc == 5 ? MqttState::LoginRefused : MqttState::Refused, why};
    }

    static void onLog(mosquitto*, void* self, int level, const char* text)
    {
        if (level == MOSQ_LOG_ERR)
            static_cast<Attempt*>(self)->lastError_ = mosquittoErrorLine(text);
    }

    MqttClientOptions options_;
    const std::atomic<bool>& abandoned_;
    bool connected_ = false;
    std::optional<MqttCondition> refusal_; // from the broker's answer to the login
    QString lastError_;                    // libmosquitto's last error line (TLS)
};

} // namespace

// What the worker and the event loop share; the worker's outcome goes from
// one to the other under the lock, so that exactly one of them destroys a
// handle that is not delivered.
struct MosquittoLogin::Shared {
    std::atomic<bool> abandoned{false};
    std::mutex mutex;
    mosquitto* handle = nullptr; // logged in, not yet delivered
};

namespace {

void work(const std::shared_ptr<MosquittoLogin::Shared>& shared, const MqttClientOptions& options,
          QObject* receiver, const MosquittoLogin::Done& done)
{
    const Outcome outcome = Attempt(options, shared->abandoned).run();
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->abandoned) {
        if (outcome.handle)
            mosquitto_destroy(outcome.handle);
        return;
    }
    shared->handle = outcome.handle;
    // receiver lives: it abandons the attempt, under this lock, before it goes.
    QMetaObject::invokeMethod(
        receiver,
        [shared, done, failure = outcome.failure] {
            mosquitto* handle = nullptr;
            {
                std::lock_guard<std::mutex> delivering(shared->mutex);
                if (shared->abandoned)
                    return;
                handle = std::exchange(shared->handle, nullptr);
            }
            done(handle, failure);
        },
        Qt::QueuedConnection);
}

} // namespace

std::unique_ptr<MosquittoLogin> MosquittoLogin::start(const MqttClientOptions& options, QObject* receiver, Done done)
{
    initialiseLibrary();
    auto shared = std::make_shared<Shared>();
    try {
        std::thread(work, shared, options, receiver, done).detach();
    } catch (const std::system_error& e) { // no thread to be had: a failed attempt, tried again later
        const MqttCondition failure{MqttState::Unusable,
                                    QStringLiteral("the MQTT client cannot start a thread: %1").arg(e.what())};
        QMetaObject::invokeMethod(
            receiver,
            [shared, done, failure] {
                if (!shared->abandoned)
                    done(nullptr, failure);
            },
            Qt::QueuedConnection);
    }
    return std::unique_ptr<MosquittoLogin>(new MosquittoLogin(std::move(shared)));
}

MosquittoLogin::MosquittoLogin(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

MosquittoLogin::~MosquittoLogin()
{
    mosquitto* handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->abandoned = true;
        handle = std::exchange(shared_->handle, nullptr);
    }
    if (handle)
        mosquitto_destroy(handle);
}

} // namespace tavelin
