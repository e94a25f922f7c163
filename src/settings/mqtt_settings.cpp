#include "settings/mqtt_settings.h"

#include <QRegularExpression>
#include <QUrl>

namespace tavelin {

namespace {
constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;
const QString kNotAnAddress = QStringLiteral("not an MQTT address (mqtt://host[:port] or mqtts://host[:port])");
const QString kUserInAddress = QStringLiteral("an address with a user name in it (put the user name in username "
                                              "and the password in a file named by password_file)");

// Lowered, keeping only what a topic level and a client id take everywhere.
QString reduced(const QString& text)
{
    QString out;
    for (const QChar c : text.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('_') || c == QLatin1Char('-'))
            out.append(c);
    }
    return out;
}

// Where the part after the scheme starts (0 without a scheme).
int authorityStart(const QString& url)
{
    const int scheme = url.indexOf(QLatin1String("://"));
    return scheme < 0 ? 0 : scheme + 3;
}

} // namespace

bool MqttSettings::operator==(const MqttSettings& o) const
{
    return url == o.url && deviceId == o.deviceId && topicPrefix == o.topicPrefix && username == o.username
           && passwordFile == o.passwordFile && caFile == o.caFile && certFile == o.certFile && keyFile == o.keyFile
           && insecureSkipVerify == o.insecureSkipVerify && discoveryPrefix == o.discoveryPrefix;
}

bool parseMqttUrl(const QString& text, MqttEndpoint* endpoint, QString* reason)
{
    // Any @ after the scheme: QUrl takes "u:ab/cd@host" for a host "u" and a
    // path, but it is a login all the same.
    if (text.indexOf(QLatin1Char('@'), authorityStart(text)) >= 0) {
        *reason = kUserInAddress;
        return false;
    }
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))
        || url.host().isEmpty() || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery()
        || url.hasFragment()) {
        *reason = kNotAnAddress;
        return false;
    }
    endpoint->tls = scheme == QLatin1String("mqtts");
    endpoint->host = url.host();
    endpoint->port = url.port(endpoint->tls ? kTlsPort : kPlainPort);
    if (endpoint->port <= 0) {
        *reason = kNotAnAddress;
        return false;
    }
    return true;
}

// The userinfo ends at the last @ (a password may hold @, / and :) and the
// password starts after its first :, which percent-encoding never writes.
QString urlWithoutPassword(const QString& url)
{
    const int start = authorityStart(url);
    const int at = url.lastIndexOf(QLatin1Char('@'));
    const int colon = url.indexOf(QLatin1Char(':'), start);
    if (at < start || colon < 0 || colon > at)
        return url;
    return url.left(colon + 1) + QStringLiteral("***") + url.mid(at);
}

QString endpointText(const MqttEndpoint& endpoint)
{
    const QString host = endpoint.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(endpoint.host)
                                                                  : endpoint.host;
    return QStringLiteral("%1:%2").arg(host).arg(endpoint.port);
}

QString defaultDeviceId(const QString& hostName, const QString& instance)
{
    QString id = QStringLiteral("tavelin");
    for (const QString& part : {reduced(hostName), reduced(instance)}) {
        if (!part.isEmpty())
            id += QLatin1Char('-') + part;
    }
    return id;
}

QString portInstance(const QString& devicePath)
{
    return devicePath.mid(devicePath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString effectiveDeviceId(const MqttSettings& settings, const QString& hostName, const QString& instance)
{
    return settings.deviceId.isEmpty() ? defaultDeviceId(hostName, instance) : settings.deviceId;
}

QString deviceIdProblem(const QString& id)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]*$"));
    return allowed.match(id).hasMatch() ? QString()
                                        : QStringLiteral("not made of letters, digits, _ and - alone");
}

QString topicPrefixProblem(const QString& prefix, bool mayBeEmpty)
{
    if (prefix.isEmpty())
        return mayBeEmpty ? QString() : QStringLiteral("empty");
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) || prefix.contains(QChar(0)))
        return QStringLiteral("not a topic (it holds + or #)");
    if (prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/')))
        return QStringLiteral("not a topic (it starts or ends with /)");
    return QString();
}

} // namespace tavelin
