#include "settings/modbus_settings.h"

#include "modbus/ip_ranges.h"
#include "settings/setting_readers.h"

#include <QRegularExpression>

namespace tavelin {

namespace {

constexpr int kMaxUnitId = 255;
constexpr int kMaxClientsLimit = 256;
const QString kNotAnAddress = QStringLiteral("not an address to listen on (a literal address and a port, such as "
                                             "127.0.0.1:1502 or [::1]:1502)");

} // namespace

bool ModbusSettings::operator==(const ModbusSettings& o) const
{
    return listen == o.listen && unitId == o.unitId && maxClients == o.maxClients
           && allowedClients == o.allowedClients;
}

bool parseListenAddress(const QString& text, ListenAddress* address, QString* reason)
{
    // The port is required: Modbus's own 502 is below 1024 and wants a
    // privilege, which nobody should get without having asked for it.
    static const QRegularExpression form(QStringLiteral("^(?:\\[([^\\]]+)\\]|([^:\\[\\]]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    const QString host = match.hasMatch() ? match.captured(1) + match.captured(2) : QString();
    const std::optional<IpAddress> ip = parseIpAddress(host);
    // Brackets are for IPv6 addresses, and an IPv6 address needs them.
    if (!ip || match.captured(1).isEmpty() != isIpv4(*ip)) {
        *reason = kNotAnAddress;
        return false;
    }
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535) {
        *reason = QStringLiteral("not an address to listen on (the port is 1 to 65535)");
        return false;
    }
    address->host = host;
    address->port = port;
    return true;
}

QString listenText(const ListenAddress& address)
{
    const QString host = address.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(address.host)
                                                                 : address.host;
    return QStringLiteral("%1:%2").arg(host).arg(address.port);
}

void readModbusSettings(const QMap<QString, QString>& values, ModbusSettings* modbus,
                        QVector<SettingsProblem>* problems)
{
    readTextSetting(
        values, settings_key::modbusListen,
        [](const QString& text) {
            ListenAddress address;
            QString reason;
            return text.isEmpty() || parseListenAddress(text, &address, &reason) ? QString() : reason;
        },
        &modbus->listen, problems);
    readIntegerSetting(values, settings_key::modbusUnitId, 1, kMaxUnitId, &modbus->unitId, problems);
    readIntegerSetting(values, settings_key::modbusMaxClients, 1, kMaxClientsLimit, &modbus->maxClients, problems);
    readTextSetting(
        values, settings_key::modbusAllowedClients,
        [](const QString& text) {
            QVector<IpRange> ranges;
            QString reason;
            return parseIpRanges(text, &ranges, &reason) ? QString() : reason;
        },
        &modbus->allowedClients, problems);
    for (const char* key : {settings_key::modbusListen, settings_key::modbusUnitId, settings_key::modbusMaxClients,
                            settings_key::modbusAllowedClients})
        modbus->inFile = modbus->inFile || values.contains(QLatin1String(key));
}

void addModbusValues(const ModbusSettings& modbus, QMap<QString, QString>* values, bool always)
{
    if (!always && !modbus.inFile && modbus == ModbusSettings{})
        return;
    values->insert(QLatin1String(settings_key::modbusListen), modbus.listen);
    values->insert(QLatin1String(settings_key::modbusUnitId), QString::number(modbus.unitId));
    values->insert(QLatin1String(settings_key::modbusMaxClients), QString::number(modbus.maxClients));
    values->insert(QLatin1String(settings_key::modbusAllowedClients), modbus.allowedClients);
}

} // namespace tavelin
