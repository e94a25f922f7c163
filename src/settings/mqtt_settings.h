#pragma once
// The [mqtt] section of the settings file: where readings are published. MQTT
// is off while the url is empty. The password itself is never a setting: it
// is read from password_file when connecting.

#include <QString>

namespace tavelin {

struct MqttSettings {
    QString url;                       // mqtt://host[:port] or mqtts://host[:port]; empty: off
    QString deviceId;                  // empty: tavelin- and the host name
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

// "host:port", "[::1]:1883".
QString endpointText(const MqttEndpoint& endpoint);

// tavelin- and the host name lowered, keeping only [a-z0-9_-]; "tavelin"
// without a usable host name.
QString defaultDeviceId(const QString& hostName);

// The device id in use: the setting, else defaultDeviceId(hostName).
QString effectiveDeviceId(const MqttSettings& settings, const QString& hostName);

// Why a device id, topic prefix or discovery prefix cannot be used; empty
// when it can.
QString deviceIdProblem(const QString& id);
QString topicPrefixProblem(const QString& prefix, bool mayBeEmpty);

} // namespace tavelin
