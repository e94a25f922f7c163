#pragma once
// The instrument window's context menu: "Serial port" (the ports that exist
// now, read each time the menu opens, the current one checked, and "Other..."
// for a typed path such as a pseudo-terminal), the window's commands
// ("Trend...", "History...", "Event log...", "Settings...", "Calibrate..."),
// lines that tell rather than do (the meter total, today's and this month's
// liters, how MQTT and the Modbus server stand), and "About tavelin". It shows
// only when asked for and adds nothing to the panel.

#include "platform/qt/serial_port_list.h"

#include <QMenu>

#include <functional>

namespace tavelin {

class MainContextMenu : public QMenu {
    Q_OBJECT
public:
    using PortLister = std::function<QList<SerialPortEntry>()>;
    using CurrentPort = std::function<QString()>;
    // A line read again each time the menu opens; hidden while its text is empty.
    struct InfoLine {
        QString objectName;
        std::function<QString()> text;
    };

    MainContextMenu(const QList<QAction*>& commands, PortLister listPorts, CurrentPort currentPort,
                    const QList<InfoLine>& lines, QWidget* parent);

Q_SIGNALS:
    void portChosen(const QString& path);
    void otherPortRequested();
    void aboutRequested();

private:
    void refreshPorts();
    void addPort(const SerialPortEntry& port, bool current);

    QMenu* ports_;
    PortLister listPorts_;
    CurrentPort currentPort_;
};

// What "About tavelin" says: version and the executable's SHA-256 (the
// software's identity), the event counter (the event log's entries; below 0:
// no store), the Qt and Qwt it runs with, license.
QString aboutText(const QString& sha256, qint64 events);

} // namespace tavelin
