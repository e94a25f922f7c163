#include "platform/qt/mosquitto_client.h"

#include "platform/qt/mosquitto_failures.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <mosquitto.h>
#include <poll.h>

namespace tavelin {

MosquittoClient::MosquittoClient(Options options, MqttConnectionEvents& events, QObject* parent)
    : QObject(parent), options_(std::move(options)), events_(events)
{
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
    login_ = MosquittoLogin::start(options_, this, [this](mosquitto* handle, const MqttCondition& failure) {
        loginDone(handle, failure);
    });
}

// The handle is logged in: from now on it is driven here, with this
// client's callbacks.
void MosquittoClient::loginDone(mosquitto* handle, const MqttCondition& failure)
{
    login_.reset();
    if (!handle) {
        ended(failure);
        return;
    }
    mosq_ = handle;
    mosquitto_user_data_set(mosq_, this);
    mosquitto_connect_callback_set(mosq_, nullptr);
    mosquitto_publish_callback_set(mosq_, &MosquittoClient::onPublish);
    mosquitto_message_callback_set(mosq_, &MosquittoClient::onMessage);
    mosquitto_log_callback_set(mosq_, &MosquittoClient::onLog);
    lastError_.clear();
    connected_ = true;
    retryMs_ = kFirstRetryMs;
    watchSocket();
    misc_.start();
    report({MqttState::Connected, QString()});
    events_.connected();
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
        ended(mosquittoFailure(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc, savedErrno, connected_,
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
    login_.reset(); // abandoned: its worker ends by itself, touching nothing of ours
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

void MosquittoClient::onPublish(mosquitto*, void* self, int messageId)
{
    static_cast<MosquittoClient*>(self)->events_.acknowledged(messageId);
}

void MosquittoClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    static_cast<MosquittoClient*>(self)->events_.messageArrived(QString::fromUtf8(message->topic), payload);
}

void MosquittoClient::onLog(mosquitto*, void* self, int level, const char* text)
{
    if (level == MOSQ_LOG_ERR)
        static_cast<MosquittoClient*>(self)->lastError_ = mosquittoErrorLine(text);
}

} // namespace tavelin
