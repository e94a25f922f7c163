#pragma once
// One attempt to log in to the broker, on a thread of its own: a fresh
// libmosquitto handle told the settings (their files read now), the host
// name looked up, the TCP connection, the TLS handshake and the MQTT login,
// everything that can wait on the network or the resolver. The handle comes
// back to the event loop logged in, or the reason it failed does.
//
// Why a worker and not libmosquitto's own thread (mosquitto_loop_start):
// that thread belongs to the handle, and ending it (mosquitto_loop_stop,
// mosquitto_destroy) joins it, so a thread blocked in getaddrinfo, which
// cannot be cancelled, would hold up whoever ends or reconfigures MQTT; and
// every callback of a connected handle would then arrive on that thread. A
// worker that owns its handle until it hands it over can simply be left
// behind: the event loop keeps only the connected handle, driven as before
// from its socket, with no locks and no cross-thread callbacks.
//
// Who owns the handle: the worker, until it is done. Abandoning the attempt
// (a reconfiguration, the end) never waits: if the worker is still at work
// it destroys its handle itself when it returns, touching nothing but the
// shared state; if it has finished, the handle waiting for the event loop is
// destroyed at once. Each abandoned worker lives at most as long as its
// lookup, connect or login take.

#include "mqtt/mqtt_connection.h"
#include "settings/mqtt_settings.h"

#include <QObject>

#include <functional>
#include <memory>

struct mosquitto;

namespace tavelin {

// What a connection attempt is made with.
struct MqttClientOptions {
    MqttSettings settings;
    MqttEndpoint endpoint;
    QString clientId;
    QString willTopic;          // "offline", retained, when the connection dies
    int keepAliveSeconds = 10;  // a silent broker is given up after up to twice this
    int sendWindow = 64;        // QoS 1 messages unacknowledged at once
};

class MosquittoLogin {
public:
    // On the event loop's thread, once: a logged-in handle, now the
    // receiver's to drive and destroy, or nullptr and why the attempt failed.
    using Done = std::function<void(mosquitto* handle, const MqttCondition& failure)>;

    // Starts the attempt on a new thread; done is called on receiver's thread
    // unless the attempt is abandoned first. receiver must abandon the attempt
    // before it is destroyed.
    static std::unique_ptr<MosquittoLogin> start(const MqttClientOptions& options, QObject* receiver, Done done);

    // Abandons the attempt if it is still running or its outcome was not yet
    // delivered: never waits.
    ~MosquittoLogin();

    MosquittoLogin(const MosquittoLogin&) = delete;
    MosquittoLogin& operator=(const MosquittoLogin&) = delete;

    struct Shared;

private:
    explicit MosquittoLogin(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
};

} // namespace tavelin
