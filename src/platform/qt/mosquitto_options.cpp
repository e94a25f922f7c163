#include "platform/qt/mosquitto_options.h"

#include "platform/qt/mqtt_password_file.h"
#include "settings/mqtt_settings.h"

#include <QFile>

#include <mosquitto.h>

namespace tavelin {

namespace {

QByteArray fileName(const QString& path)
{
    return QFile::encodeName(path);
}

const char* orNull(const QByteArray& bytes)
{
    return bytes.isEmpty() ? nullptr : bytes.constData();
}

// openssl's SSL_VERIFY_PEER (the broker's certificate is checked against the
// authorities) and SSL_VERIFY_NONE (any certificate is taken).
constexpr int kVerifyPeer = 1;
constexpr int kVerifyNone = 0;

} // namespace

bool configureMosquitto(mosquitto* mosq, const MqttSettings& s, bool tls, const QString& willTopic, QString* problem)
{
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);

    if (!s.username.isEmpty()) {
        QByteArray password;
        if (!readBrokerPassword(s.passwordFile, &password, problem))
            return false;
        const int rc = mosquitto_username_pw_set(mosq, s.username.toUtf8().constData(),
                                                 password.isEmpty() ? nullptr : password.constData());
        password.fill('\0');
        if (rc != MOSQ_ERR_SUCCESS) {
            *problem = QStringLiteral("the user name cannot be used (%1)").arg(mosquitto_strerror(rc));
            return false;
        }
    }
    const QByteArray offline("offline");
    mosquitto_will_set(mosq, willTopic.toUtf8().constData(), offline.size(), offline.constData(), 1, true);
    if (!tls)
        return true;

    if (s.certFile.isEmpty() != s.keyFile.isEmpty()) {
        *problem = QStringLiteral("a client certificate needs both cert_file and key_file");
        return false;
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (s.caFile.isEmpty()) {
        rc = mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc == MOSQ_ERR_SUCCESS && !s.certFile.isEmpty())
            rc = mosquitto_tls_set(mosq, nullptr, "/etc/ssl/certs", fileName(s.certFile).constData(),
                                   fileName(s.keyFile).constData(), nullptr);
    } else {
        rc = mosquitto_tls_set(mosq, fileName(s.caFile).constData(), nullptr, orNull(fileName(s.certFile)),
                               orNull(fileName(s.keyFile)), nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *problem = QStringLiteral("the TLS files cannot be used (ca_file %1, cert_file %2, key_file %3): %4")
                       .arg(s.caFile.isEmpty() ? QStringLiteral("the system's") : s.caFile,
                            s.certFile.isEmpty() ? QStringLiteral("none") : s.certFile,
                            s.keyFile.isEmpty() ? QStringLiteral("none") : s.keyFile,
                            QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    }
    // The host-name check is a step of its own: insecure_skip_verify turns off
    // both, or a certificate no authority signed would still be refused.
    mosquitto_tls_opts_set(mosq, s.insecureSkipVerify ? kVerifyNone : kVerifyPeer, nullptr, nullptr);
    mosquitto_tls_insecure_set(mosq, s.insecureSkipVerify);
    return true;
}

} // namespace tavelin
