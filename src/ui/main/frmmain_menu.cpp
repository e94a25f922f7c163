// The instrument window's context menu and its commands: the serial port, the
// trend and history windows, the event log, the settings, a calibration run,
// acknowledging alarms and About. Nothing here is visible on the panel itself.
#include "frmmain.h"

#include "main_context_menu.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "history/glance_totals.h"
#include "records/event_log.h"
#include "records/software_identity.h"
#include "ui/calibration/calibration_dialog.h"
#include "ui/events/event_log_window.h"
#include "ui/history/history_window.h"
#include "ui/main/alarm_panel.h"
#include "ui/settings/settings_dialog.h"
#include "ui/trend/trend_window.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QScreen>

namespace tavelin {

void frmmain::createMenu()
{
    // On the window too, so that Ctrl+T works without opening the menu.
    trendAction_ = new QAction(tr("&Trend..."), this);
    trendAction_->setObjectName(QStringLiteral("mnuTrend"));
    trendAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    trendAction_->setShortcutVisibleInContextMenu(true);
    connect(trendAction_, &QAction::triggered, this, &frmmain::showTrend);
    addAction(trendAction_);
    historyAction_ = new QAction(tr("&History..."), this);
    historyAction_->setObjectName(QStringLiteral("mnuHistory"));
    historyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    historyAction_->setShortcutVisibleInContextMenu(true);
    connect(historyAction_, &QAction::triggered, this, &frmmain::showHistory);
    addAction(historyAction_);
    // Read from the store's intervals each time the menu opens; hidden without them.
    const auto glance = [this](QString (*line)(const GlanceTotals&, const QLocale&)) {
        const std::optional<GlanceTotals> totals =
            intervals_ ? glanceTotals(*intervals_, station_.clock().currentMSecsSinceEpoch()) : std::nullopt;
        return totals ? line(*totals, QLocale()) : QString();
    };

    auto* eventsAction = new QAction(tr("&Event log..."), this);
    eventsAction->setObjectName(QStringLiteral("mnuEvents"));
    connect(eventsAction, &QAction::triggered, this, &frmmain::showEvents);
    auto* settingsAction = new QAction(tr("Setti&ngs..."), this);
    settingsAction->setObjectName(QStringLiteral("mnuSettings"));
    connect(settingsAction, &QAction::triggered, this, &frmmain::showSettings);
    auto* calibrateAction = new QAction(tr("&Calibrate..."), this);
    calibrateAction->setObjectName(QStringLiteral("mnuCalibrate"));
    connect(calibrateAction, &QAction::triggered, this, &frmmain::showCalibration);

    contextMenu_ = new MainContextMenu(
        {trendAction_, historyAction_, eventsAction, settingsAction, calibrateAction, alarmPanel_->acknowledgeAction()},
        [] { return availableSerialPorts(); }, [this] { return station_.port().deviceName(); },
        {{QStringLiteral("mnuMeter"), [this] { return meterText(); }},
         {QStringLiteral("mnuToday"), [glance] { return glance(todayLine); }},
         {QStringLiteral("mnuThisMonth"), [glance] { return glance(monthLine); }},
         {QStringLiteral("mnuMqtt"), [this] { return mqtt() ? mqtt()->menuLine() : QString(); }},
         {QStringLiteral("mnuModbus"), [this] { return modbus() ? modbus()->status() : QString(); }}},
        this);
    connect(contextMenu_, &MainContextMenu::portChosen, this, &frmmain::switchPort);
    connect(contextMenu_, &MainContextMenu::otherPortRequested, this, &frmmain::askForPort);
    connect(contextMenu_, &MainContextMenu::aboutRequested, this, &frmmain::showAbout);

    // The Menu key reaches contextMenuEvent by itself; Shift+F10 does not in Qt 5.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this, [this] {
        QWidget* focus = focusWidget();
        const QPoint at = focus ? focus->mapTo(this, focus->rect().center()) : rect().center();
        contextMenu_->popup(mapToGlobal(at));
    });
    addAction(menuKey);

    instrument_.trend().setOnAppended([this] {
        readingKept();
        if (trendWindow_)
            trendWindow_->pointAdded();
    });
}

void frmmain::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click, the Menu key or Shift+F10, on the panel or any control
    // that has no menu of its own.
    contextMenu_->popup(event->globalPos());
    event->accept();
}

void frmmain::switchPort(const QString& device)
{
    const QString failure = station_.switchPort(device);
    if (!failure.isEmpty())
        station_.messages().show(failure);
}

void frmmain::askForPort()
{
    bool ok = false;
    const QString device = QInputDialog::getText(this, tr("Serial port"), tr("Device path:"), QLineEdit::Normal,
                                                 station_.port().deviceName(), &ok)
                               .trimmed();
    if (ok && !device.isEmpty())
        switchPort(device);
}

void frmmain::showTrend()
{
    if (!trendWindow_) {
        trendWindow_ = new TrendWindow(instrument_.trend().ring(), fileDialog_, station_.messages(), this);
        trendWindow_->setMeterText(meterText());
        // Beside the panel rather than over it, where the screen has room.
        const QRect beside(frameGeometry().topRight() + QPoint(1, 0), trendWindow_->frameGeometry().size());
        if (screen() && screen()->availableGeometry().contains(beside))
            trendWindow_->move(beside.topLeft());
    }
    trendWindow_->show();
    trendWindow_->raise();
    trendWindow_->activateWindow();
}

void frmmain::showHistory()
{
    if (!historyWindow_)
        historyWindow_ = new HistoryWindow(intervals_, station_.clock(), fileDialog_, station_.messages(), this);
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}

void frmmain::showEvents()
{
    if (!eventLogWindow_) {
        eventLogWindow_ = new EventLogWindow(
            [this] {
                QVector<StoredEvent> events;
                if (ReadingsStore* store = station_.store())
                    forEachEvent(*store, [&events](const StoredEvent& event) { events.append(event); });
                return events;
            },
            this);
        connect(&station_, &Station::eventsDurable, eventLogWindow_, &EventLogWindow::eventsAdded);
    }
    eventLogWindow_->show();
    eventLogWindow_->raise();
    eventLogWindow_->activateWindow();
}

void frmmain::showSettings()
{
    if (!instrument_.canSaveSettings()) {
        station_.messages().show(tr("The settings cannot be changed: the program runs without a settings file."));
        return;
    }
    SettingsDialog dialog(*station_.settingsFile(), instrument_.settings(), this);
    dialog.showMqttStatus(mqtt());
    dialog.showModbusStatus(modbus());
    if (dialog.exec() != QDialog::Accepted)
        return;
    station_.applySettings(dialog.settings(), QLatin1String(event_source::settingsDialog));
}

void frmmain::showCalibration()
{
    if (!calibrationDialog_) {
        calibrationDialog_ = new CalibrationDialog(
            instrument_.calibration(), [this] { return instrument_.pulsesPerLiter(); },
            [this](double pulsesPerLiter, double pulses, double volumeLiters) {
                Settings changed = instrument_.settings();
                changed.sensor.pulsesPerLiter = pulsesPerLiter;
                return station_.saveSettings(changed, calibrationSource(pulses, volumeLiters));
            },
            this);
    }
    calibrationDialog_->show();
    calibrationDialog_->raise();
    calibrationDialog_->activateWindow();
}

void frmmain::showAbout()
{
    ReadingsStore* store = station_.store();
    station_.messages().show(aboutText(executableSha256(), store && store->isOpen() ? store->eventCount() : -1),
                             tr("About tavelin"));
}

} // namespace tavelin
