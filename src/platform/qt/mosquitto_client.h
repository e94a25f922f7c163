#pragma once
// The broker connection on libmosquitto. Each attempt logs in on a worker
// thread (MosquittoLogin: name lookup, connect, TLS, login), so that nothing
// on the event loop waits on the network; the logged-in handle is then
// driven from the Qt event loop: the socket in two QSocketNotifiers (writing
// watched only while libmosquitto has something to write) and a one-second
// timer for its keep-alive. A failed attempt or a lost connection is tried
// again after 1 s, doubling up to 60 s, reset by a login that succeeds.
// Each attempt starts from a fresh handle with the settings' files read
// anew (password file, certificates), so that fixing one needs no restart;
// what the broker had not acknowledged is the outbox's to send again.

#include "mqtt/mqtt_connection.h"
#include "platform/qt/mosquitto_login.h"

#include <QObject>
#include <QTimer>

#include <memory>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace tavelin {

class MosquittoClient : public QObject, public MqttConnection {
public:
    using Options = MqttClientOptions;

    MosquittoClient(Options options, MqttConnectionEvents& events, QObject* parent = nullptr);
    ~MosquittoClient() override;

    // The first attempt, at once.
    void start();
    // A clean end: payload, retained, on topic, then a disconnect, waiting at
    // most timeoutMs for them to leave; the will is then not published. An
    // attempt still logging in is abandoned, not waited for.
    void finish(const QString& topic, const QByteArray& payload, int timeoutMs);

    std::optional<int> publish(const QString& topic, const QByteArray& payload, bool retain) override;
    void subscribe(const QString& topic) override;

    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLongestRetryMs = 60000;

private:
    void attempt();
    void loginDone(mosquitto* handle, const MqttCondition& failure);
    void watchSocket();
    void readable();
    void writable();
    void misc();
    // After each call into libmosquitto: a connection that ended is closed and
    // tried again later; writing is watched while there is something to write.
    void afterPass(int rc, int savedErrno);
    void ended(const MqttCondition& condition);
    void report(const MqttCondition& condition);
    void dropHandle();

    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    Options options_;
    MqttConnectionEvents& events_;
    std::unique_ptr<MosquittoLogin> login_; // the attempt under way
    mosquitto* mosq_ = nullptr;             // logged in: ours alone
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    QTimer misc_;
    QTimer retry_;
    int retryMs_ = kFirstRetryMs;
    bool connected_ = false;
    QString lastError_; // libmosquitto's last error line
};

} // namespace tavelin
