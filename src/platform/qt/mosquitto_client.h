#pragma once
// The broker connection on libmosquitto, driven from the Qt event loop with
// no thread of its own: the socket in two QSocketNotifiers (writing watched
// only while libmosquitto has something to write), a one-second timer for
// its keep-alive and time-outs, a host lookup that never waits, and a
// reconnect after 1 s, doubling up to 60 s, reset by a login that succeeds.
// Each attempt starts from a fresh handle with the settings' files read
// anew (password file, certificates), so that fixing one needs no restart;
// what the broker had not acknowledged is the outbox's to send again.

#include "mqtt/mqtt_connection.h"
#include "platform/qt/host_lookup.h"
#include "settings/mqtt_settings.h"

#include <QObject>
#include <QTimer>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace tavelin {

class MosquittoClient : public QObject, public MqttConnection {
public:
    struct Options {
        MqttSettings settings;
        MqttEndpoint endpoint;
        QString clientId;
        QString willTopic;          // "offline", retained, when the connection dies
        int keepAliveSeconds = 10;  // a silent broker is given up after up to twice this
        int sendWindow = 64;        // QoS 1 messages unacknowledged at once
    };

    MosquittoClient(Options options, MqttConnectionEvents& events, QObject* parent = nullptr);
    ~MosquittoClient() override;

    // The first attempt, at once.
    void start();
    // A clean end: payload, retained, on topic, then a disconnect, waiting at
    // most timeoutMs for them to leave; the will is then not published.
    void finish(const QString& topic, const QByteArray& payload, int timeoutMs);

    std::optional<int> publish(const QString& topic, const QByteArray& payload, bool retain) override;
    void subscribe(const QString& topic) override;

    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLongestRetryMs = 60000;

private:
    void attempt();
    void connectResolved();
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

    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    Options options_;
    MqttConnectionEvents& events_;
    mosquitto* mosq_ = nullptr;
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    QTimer misc_;
    QTimer retry_;
    HostLookup lookup_;
    int retryMs_ = kFirstRetryMs;
    bool connected_ = false;
    std::optional<MqttCondition> refusal_; // from the broker's answer to the login
    QString lastError_;                    // libmosquitto's last error line (TLS)
};

} // namespace tavelin
