#include "platform/qt/mosquitto_client.h"

#include "platform/qt/mosquitto_failures.h"
#include "platform/qt/mosquitto_options.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <mosquitto.h>
#include <arpa/inet.h>
#include <poll.h>

namespace tavelin {

namespace {

bool isNumericHost(const QString& host)
{
    in6_addr address{};
    const QByteArray text = host.toLatin1();
    return inet_pton(AF_INET, text.constData(), &address) == 1 || inet_pton(AF_INET6, text.constData(), &address) == 1;
}

void initialiseLibrary()
{
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised)
}

} // namespace

MosquittoClient::MosquittoClient(Options options, MqttConnectionEvents& events, QObject* parent)
    : QObject(parent), options_(std::move(options)), events_(events), lookup_(this)
{
    initialiseLibrary();
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, &MosquittoClient::misc);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MosquittoClient::attempt);
}

MosquittoClient::~MosquittoClient()
{
    dropHandle();
}

void MosquittoClient::start()
{
    attempt();
}

void MosquittoClient::attempt()
{
    dropHandle();
    report({MqttState::Connecting, QString()});
    const QString& host = options_.endpoint.host;
    if (isNumericHost(host)) {
        connectResolved();
        return;
    }
    lookup_.start(host, [this](const QString& error) {
        if (error.isEmpty())
            connectResolved();
        else
            ended({MqttState::UnknownHost, error});
    });
}

// The name resolved a moment ago, so libmosquitto's own lookup of it is
// answered at once; the TCP connection and the TLS handshake do not block.
void MosquittoClient::connectResolved()
{
    mosq_ = mosquitto_new(options_.clientId.toUtf8().constData(), true, this);
    if (!mosq_) {
        ended({MqttState::Unusable, QStringLiteral("the MQTT client cannot start: %1").arg(qt_error_string(errno))});
        return;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_SEND_MAXIMUM, options_.sendWindow);
    mosquitto_connect_callback_set(mosq_, &MosquittoClient::onConnect);
    mosquitto_publish_callback_set(mosq_, &MosquittoClient::onPublish);
    mosquitto_message_callback_set(mosq_, &MosquittoClient::onMessage);
    mosquitto_log_callback_set(mosq_, &MosquittoClient::onLog);
    QString problem;
    if (!configureMosquitto(mosq_, options_.settings, options_.endpoint.tls, options_.willTopic, &problem)) {
        ended({MqttState::Unusable, problem});
        return;
    }
    refusal_.reset();
    lastError_.clear();
    const int rc = mosquitto_connect_async(mosq_, options_.endpoint.host.toUtf8().constData(),
                                           options_.endpoint.port, options_.keepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        ended(mosquittoFailure(rc, savedErrno, false, options_.endpoint.tls, lastError_));
        return;
    }
    watchSocket();
    misc_.start();
    afterPass(MOSQ_ERR_SUCCESS, 0);
}

void MosquittoClient::watchSocket()
{
    const int fd = mosquitto_socket(mosq_);
    reader_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(reader_, &QSocketNotifier::activated, this, &MosquittoClient::readable);
    writer_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    writer_->setEnabled(false);
    connect(writer_, &QSocketNotifier::activated, this, &MosquittoClient::writable);
}

void MosquittoClient::readable()
{
    if (!mosq_)
        return;
    const QString failure = socketFailure(mosquitto_socket(mosq_));
    if (!failure.isEmpty()) {
        ended({connected_ ? MqttState::Lost : MqttState::Unreachable, failure});
        return;
    }
    const int rc = mosquitto_loop_read(mosq_, 1);
    afterPass(rc, errno);
}

void MosquittoClient::writable()
{
    if (!mosq_)
        return;
    const int rc = mosquitto_loop_write(mosq_, 1);
    afterPass(rc, errno);
}

void MosquittoClient::misc()
{
    if (!mosq_)
        return;
    const int rc = mosquitto_loop_misc(mosq_);
    afterPass(rc, errno);
}

void MosquittoClient::afterPass(int rc, int savedErrno)
{
    if (!mosq_)
        return;
    const bool open = mosquitto_socket(mosq_) >= 0;
    if (rc != MOSQ_ERR_SUCCESS || !open) {
        ended(refusal_ ? *refusal_
                       : mosquittoFailure(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc, savedErrno, connected_,
                                          options_.endpoint.tls, lastError_));
        return;
    }
    events_.passDone();
    if (mosq_ && writer_)
        writer_->setEnabled(mosquitto_want_write(mosq_));
}

void MosquittoClient::ended(const MqttCondition& condition)
{
    const bool wasConnected = connected_;
    dropHandle();
    if (wasConnected)
        events_.disconnected();
    report(condition);
    retry_.start(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
}

void MosquittoClient::report(const MqttCondition& condition)
{
    events_.conditionChanged(condition);
}

void MosquittoClient::dropHandle()
{
    lookup_.cancel();
    misc_.stop();
    for (QSocketNotifier* notifier : {reader_, writer_}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater(); // its signal may be what called us
        }
    }
    reader_ = writer_ = nullptr;
    if (mosq_)
        mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    connected_ = false;
}

std::optional<int> MosquittoClient::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (!mosq_ || !connected_)
        return std::nullopt;
    int id = 0;
    const int rc = mosquitto_publish(mosq_, &id, topic.toUtf8().constData(), payload.size(), payload.constData(), 1,
                                     retain);
    if (writer_)
        writer_->setEnabled(mosquitto_want_write(mosq_));
    if (rc != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return id;
}

void MosquittoClient::subscribe(const QString& topic)
{
    if (mosq_ && connected_)
        mosquitto_subscribe(mosq_, nullptr, topic.toUtf8().constData(), 1);
}

void MosquittoClient::finish(const QString& topic, const QByteArray& payload, int timeoutMs)
{
    retry_.stop();
    if (mosq_ && connected_) {
        publish(topic, payload, true);
        mosquitto_disconnect(mosq_);
        // Out with what is written, then wait for the broker to close: closing
        // first, with its acknowledgements unread, would reset the connection.
        QElapsedTimer clock;
        clock.start();
        while (mosquitto_socket(mosq_) >= 0 && clock.elapsed() < timeoutMs) {
            pollfd watch{mosquitto_socket(mosq_), short(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0};
            if (::poll(&watch, 1, int(timeoutMs - clock.elapsed())) <= 0)
                break;
            const int rc = (watch.revents & POLLOUT) ? mosquitto_loop_write(mosq_, 1) : mosquitto_loop_read(mosq_, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                break;
        }
    }
    connected_ = false;
    dropHandle();
}

void MosquittoClient::onConnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MosquittoClient*>(self);
    if (rc != 0) {
        const QString why = libraryText(mosquitto_connack_string(rc));
        client->refusal_ = MqttCondition{rc == 4 || rc == 5 ? MqttState::LoginRefused : MqttState::Refused, why};
        return;
    }
    client->connected_ = true;
    client->retryMs_ = kFirstRetryMs;
    client->report({MqttState::Connected, QString()});
    client->events_.connected();
}

void MosquittoClient::onPublish(mosquitto*, void* self, int messageId)
{
    static_cast<MosquittoClient*>(self)->events_.acknowledged(messageId);
}

void MosquittoClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    static_cast<MosquittoClient*>(self)->events_.messageArrived(QString::fromUtf8(message->topic), payload);
}

// libmosquitto says why TLS failed only in its log: "OpenSSL Error[0]:
// error:0A000086:SSL routines::certificate verify failed".
void MosquittoClient::onLog(mosquitto*, void* self, int level, const char* text)
{
    if (level != MOSQ_LOG_ERR)
        return;
    QString line = QString::fromUtf8(text);
    if (line.startsWith(QLatin1String("OpenSSL Error")))
        line = line.mid(line.lastIndexOf(QLatin1Char(':')) + 1);
    else if (line.startsWith(QLatin1String("Error: ")))
        line = line.mid(7);
    static_cast<MosquittoClient*>(self)->lastError_ = line.trimmed();
}

} // namespace tavelin
