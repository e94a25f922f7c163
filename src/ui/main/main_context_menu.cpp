#include "main_context_menu.h"

#include <QCoreApplication>

#include <qwt_global.h>

namespace tavelin {

namespace {
QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&")); // no accelerators from device names
}
} // namespace

MainContextMenu::MainContextMenu(const QList<QAction*>& commands, PortLister listPorts, CurrentPort currentPort,
                                 const QList<InfoLine>& lines, QWidget* parent)
    : QMenu(parent), listPorts_(std::move(listPorts)), currentPort_(std::move(currentPort))
{
    setObjectName(QStringLiteral("mnuContext"));
    ports_ = addMenu(tr("&Serial port"));
    ports_->setObjectName(QStringLiteral("mnuSerialPort"));
    // Read again at each opening of the menu: adapters come and go.
    connect(this, &QMenu::aboutToShow, this, &MainContextMenu::refreshPorts);
    addActions(commands);
    addSeparator();
    for (const InfoLine& line : lines) {
        QAction* action = addAction(menuText(line.text()));
        action->setObjectName(line.objectName);
        action->setEnabled(false); // a reading, not a command
        action->setVisible(!action->text().isEmpty());
        const auto text = line.text;
        connect(this, &QMenu::aboutToShow, action, [action, text] {
            action->setText(menuText(text()));
            action->setVisible(!action->text().isEmpty());
        });
    }
    addSeparator();
    addAction(tr("&About tavelin"), this, &MainContextMenu::aboutRequested);
}

void MainContextMenu::refreshPorts()
{
    ports_->clear();
    const QString current = currentPort_();
    const QList<SerialPortEntry> ports = listPorts_();
    bool currentListed = false;
    for (const SerialPortEntry& port : ports)
        currentListed = currentListed || port.path == current;
    if (!currentListed && !current.isEmpty())
        addPort(SerialPortEntry{current, QString(), QString()}, true); // a typed path, a pseudo-terminal
    for (const SerialPortEntry& port : ports)
        addPort(port, port.path == current);
    if (ports.isEmpty())
        ports_->addAction(tr("No serial ports found"))->setEnabled(false);
    ports_->addSeparator();
    ports_->addAction(tr("&Other..."), this, &MainContextMenu::otherPortRequested);
}

void MainContextMenu::addPort(const SerialPortEntry& port, bool current)
{
    QAction* action = ports_->addAction(menuText(portMenuText(port)));
    action->setCheckable(true);
    action->setChecked(current);
    const QString path = port.path;
    connect(action, &QAction::triggered, this, [this, path] { Q_EMIT portChosen(path); });
}

QString aboutText(const QString& sha256, qint64 events)
{
    const QString counter = events < 0 ? QCoreApplication::translate("about", "not kept (no readings store)")
                                       : QString::number(events);
    return QCoreApplication::translate("about",
                                       "tavelin %1\n"
                                       "SHA-256 %2\n"
                                       "Events recorded: %3\n\n"
                                       "Flow sensor instrument: a pulse-output flow sensor read through a serial "
                                       "acquisition module.\n\n"
                                       "Qt %4 (built with %5), Qwt %6\n\n"
                                       "License: MIT")
        .arg(QCoreApplication::applicationVersion(),
             sha256.isEmpty() ? QCoreApplication::translate("about", "unknown") : sha256, counter,
             QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR), QStringLiteral(QWT_VERSION_STR));
}

} // namespace tavelin
