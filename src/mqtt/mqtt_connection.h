#pragma once
// A connection to a broker as the session uses it, and what it tells of
// itself. The real one drives libmosquitto from the event loop; tests use a
// fake.

#include <QByteArray>
#include <QString>

#include <optional>

namespace tavelin {

class MqttConnection {
public:
    virtual ~MqttConnection() = default;
    // Sends at QoS 1; the message id that acknowledged() names once the broker
    // has it, nothing when it cannot be sent now.
    virtual std::optional<int> publish(const QString& topic, const QByteArray& payload, bool retain) = 0;
    virtual void subscribe(const QString& topic) = 0;
};

// How the connection stands, for the status line.
enum class MqttState {
    Connecting,
    Connected,
    LoginRefused, // the broker refused the user name or password
    Refused,      // the broker refused for another reason
    TlsFailure,
    UnknownHost,
    Unreachable,  // no broker answers at the address
    Lost,         // a connection that was up went down
    Unusable,     // the settings or their files cannot be used: detail says why
};

struct MqttCondition {
    MqttState state = MqttState::Connecting;
    QString detail; // the reason in the library's or the system's words

    bool operator==(const MqttCondition& o) const { return state == o.state && detail == o.detail; }
    bool operator!=(const MqttCondition& o) const { return !(*this == o); }
};

class MqttConnectionEvents {
public:
    virtual ~MqttConnectionEvents() = default;
    virtual void connected() = 0; // the broker accepted the login
    virtual void disconnected() = 0;
    virtual void acknowledged(int messageId) = 0;
    virtual void messageArrived(const QString& topic, const QByteArray& payload) = 0;
    virtual void conditionChanged(const MqttCondition& condition) = 0;
    // After each pass over the socket or the timers, once its callbacks are done.
    virtual void passDone() = 0;
};

} // namespace tavelin
