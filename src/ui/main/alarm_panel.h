#pragma once
// The alarms on the instrument panel, without moving anything: the digits of
// each readout an alarm concerns turn red (the flow for high flow, low flow
// and a possible leak, the total for a complete batch, all three for no
// reading), the window title starts with "ALARM: " and the alarms' names,
// and each readout concerned describes its alarm to assistive tools, as the
// title names the window. It holds "Acknowledge alarms" (Ctrl+K), there while
// the rules are on.

#include "alarms/alarm_view.h"

#include <QColor>
#include <QString>

class QAction;
class QLabel;
class QWidget;

namespace tavelin {

class Instrument;

class AlarmPanel : public AlarmView {
public:
    struct Readouts {
        QLabel* frequency;
        QLabel* flow;
        QLabel* total;
    };
    static constexpr QRgb kAlarmDigits = qRgb(255, 0, 0);

    AlarmPanel(QWidget& window, Instrument& instrument, Readouts readouts);
    ~AlarmPanel() override;
    AlarmPanel(const AlarmPanel&) = delete;
    AlarmPanel& operator=(const AlarmPanel&) = delete;

    QAction* acknowledgeAction() const { return acknowledge_; }
    // After the settings were applied: the action follows the rules.
    void rulesChanged();
    // What a readout says of itself while no alarm concerns it (the total's
    // meter line); an alarm's description comes before it.
    void setDescription(QLabel* readout, const QString& description);

    void showAlarms(const QVector<ShownAlarm>& shown) override;

private:
    struct Readout {
        QLabel* label;
        QColor digits;
        QString description;
        QString alarms; // the sentences of the alarms that concern it
    };

    void show(Readout& readout);

    QWidget& window_;
    Instrument& instrument_;
    QString title_;
    Readout readouts_[3];
    QAction* acknowledge_;
};

} // namespace tavelin
