#pragma once
// The [mqtt] section of the settings file: where readings are published. MQTT
// is off while the url is empty. The password itself is never a setting: it
// is read from password_file when connecting.

#include <QString>

namespace tavelin {

struct MqttSettings {
    QString url;                       // mqtt://host[:port] or mqtts://host[:port]; empty: off
    QString deviceId;                  // empty: tavelin-<host name>-<port name>
    QString topicPrefix = QStringLiteral("tavelin");
    QString username;
    QString passwordFile;
    QString caFile;                    // empty: the system's certificate authorities
    QString certFile;                  // a client certificate, with keyFile
    QString keyFile;
    bool insecureSkipVerify = false;   // mqtts:// without checking the broker's certificate
    QString discoveryPrefix = QStringLiteral("homeassistant"); // empty: no discovery

    bool operator==(const MqttSettings& other) const;
    bool operator!=(const MqttSettings& other) const { return !(*this == other); }
};

// A broker address taken apart.
struct MqttEndpoint {
    bool tls = false;
    QString host; // without brackets for an IPv6 address
    int port = 0;
};

// The endpoint of url; false with *reason set when it is not an MQTT address.
bool parseMqttUrl(const QString& url, MqttEndpoint* endpoint, QString* reason);

// url as it may be shown: the password of a user:password@ in it replaced by
// ***, however it is written (with @, / or : inside, percent-encoded, before
// an IPv6 host, without a scheme).
QString urlWithoutPassword(const QString& url);

// "host:port", "[::1]:1883".
QString endpointText(const MqttEndpoint& endpoint);

// tavelin-<host name>-<instance>, each part lowered keeping only
// [a-z0-9_-]; a part left empty is left out ("tavelin" with neither), so
// that two instances on one host never share an id.
QString defaultDeviceId(const QString& hostName, const QString& instance);

// The instance a device id names: the base name of the port's device path
// ("/dev/ttyUSB0": "ttyUSB0", a /dev/serial/by-id/ link its own name).
QString portInstance(const QString& devicePath);

// The device id in use: the setting, else defaultDeviceId(hostName, instance).
QString effectiveDeviceId(const MqttSettings& settings, const QString& hostName, const QString& instance);

// Why a device id, topic prefix or discovery prefix cannot be used; empty
// when it can.
QString deviceIdProblem(const QString& id);
QString topicPrefixProblem(const QString& prefix, bool mayBeEmpty);

} // namespace tavelin
