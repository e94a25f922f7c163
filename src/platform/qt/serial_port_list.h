#pragma once
// The serial ports the system knows now, as the port menu and --list-ports
// show them. Pseudo-terminals are not among them: they are typed by path.

#include <QList>
#include <QString>

namespace tavelin {

struct SerialPortEntry {
    QString path;          // the device to open, "/dev/ttyUSB0"
    QString description;   // the adapter's own description; may be empty
    QString vendorProduct; // USB "0403:6001" in hex; empty when not known
};

QList<SerialPortEntry> availableSerialPorts();

// "path<TAB>description<TAB>vendor:product", fields left empty when unknown.
QString portListLine(const SerialPortEntry& port);
// "path - description (vendor:product)", the parts that are known.
QString portMenuText(const SerialPortEntry& port);

} // namespace tavelin
