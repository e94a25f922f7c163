#include "platform/qt/mosquitto_failures.h"

#include <QByteArray>

#include <cerrno>
#include <mosquitto.h>
#include <netdb.h>
#include <sys/socket.h>

namespace tavelin {

QString libraryText(const char* text)
{
    QString line = QString::fromUtf8(text).trimmed();
    if (line.endsWith(QLatin1Char('.')))
        line.chop(1);
    return line;
}

QString mosquittoErrorLine(const char* text)
{
    QString line = QString::fromUtf8(text);
    if (line.startsWith(QLatin1String("OpenSSL Error")))
        line = line.mid(line.lastIndexOf(QLatin1Char(':')) + 1);
    else if (line.startsWith(QLatin1String("Error: ")))
        line = line.mid(7);
    return line.trimmed();
}

// A connection that failed (libmosquitto's TLS connect reads a refused socket
// as "nothing yet", and would be woken for it again and again), or one the
// broker closed.
QString socketFailure(int fd)
{
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0)
        return qt_error_string(error);
    char byte = 0;
    if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) != 0)
        return QString();
    // Closed: by the broker, or never connected (the TLS handshake's first
    // write has already taken the reason).
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
        return qt_error_string(ECONNREFUSED);
    return QStringLiteral("the broker closed the connection");
}

MqttCondition mosquittoFailure(int rc, int savedErrno, bool wasConnected, bool tls, const QString& lastError)
{
    if (wasConnected) {
        const QString why = rc == MOSQ_ERR_ERRNO ? qt_error_string(savedErrno)
                          : rc == MOSQ_ERR_KEEPALIVE ? QStringLiteral("the broker stopped answering")
                                                     : libraryText(mosquitto_strerror(rc));
        return {MqttState::Lost, why};
    }
    if (rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE || (tls && !lastError.isEmpty()))
        return {MqttState::TlsFailure, lastError.isEmpty() ? libraryText(mosquitto_strerror(rc)) : lastError};
    if (rc == MOSQ_ERR_EAI)
        return {MqttState::UnknownHost, savedErrno != 0 ? QString::fromLocal8Bit(gai_strerror(savedErrno))
                                                        : libraryText(mosquitto_strerror(rc))};
    if (rc == MOSQ_ERR_ERRNO)
        return {MqttState::Unreachable, qt_error_string(savedErrno)};
    if (rc == MOSQ_ERR_KEEPALIVE)
        return {MqttState::Unreachable, QStringLiteral("no answer to the login")};
    return {MqttState::Unreachable, libraryText(mosquitto_strerror(rc))};
}

} // namespace tavelin
