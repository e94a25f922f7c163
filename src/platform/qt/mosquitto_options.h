#pragma once
// What a new libmosquitto handle is told before it connects: MQTT 3.1.1, the
// login (the password read now from its file or the credential), the will
// ("offline", retained) and, for mqtts://, the certificates and their checks:
// the broker's certificate and host name are verified, and with
// insecure_skip_verify neither is (the connection is encrypted, but any
// certificate is taken).

#include <QString>

struct mosquitto;

namespace tavelin {

struct MqttSettings;

// False with *problem set (a sentence for the status line) when the settings
// or their files cannot be used.
bool configureMosquitto(mosquitto* mosq, const MqttSettings& settings, bool tls, const QString& willTopic,
                        QString* problem);

} // namespace tavelin
