#include "serial_port_list.h"

#include <QSerialPortInfo>

namespace tavelin {

namespace {

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

// One line per port: a tab or line break in a description would break it.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

} // namespace

QList<SerialPortEntry> availableSerialPorts()
{
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        SerialPortEntry entry;
        entry.path = info.systemLocation();
        entry.description = oneLine(info.description());
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            entry.vendorProduct = hex4(info.vendorIdentifier()) + QLatin1Char(':') + hex4(info.productIdentifier());
        ports.append(entry);
    }
    return ports;
}

QString portListLine(const SerialPortEntry& port)
{
    return port.path + QLatin1Char('\t') + port.description + QLatin1Char('\t') + port.vendorProduct;
}

QString portMenuText(const SerialPortEntry& port)
{
    QString text = port.path;
    if (!port.description.isEmpty())
        text += QStringLiteral(" - ") + port.description;
    if (!port.vendorProduct.isEmpty())
        text += QStringLiteral(" (") + port.vendorProduct + QLatin1Char(')');
    return text;
}

} // namespace tavelin
