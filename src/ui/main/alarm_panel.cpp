#include "ui/main/alarm_panel.h"

#include "instrument/instrument.h"

#include <QAction>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace tavelin {

namespace {

enum ReadoutIndex { kFrequency, kFlow, kTotal };

// Which readouts an alarm concerns.
QVector<int> readoutsOf(AlarmId id)
{
    switch (id) {
    case AlarmId::HighFlow:
    case AlarmId::LowFlow:
    case AlarmId::Leak:
        return {kFlow};
    case AlarmId::Batch:
        return {kTotal};
    case AlarmId::NoReading:
        break;
    }
    return {kFrequency, kFlow, kTotal};
}

// "Alarm: High flow, acknowledged. Flow rate 2.5 L/min, above 2 L/min."
QString sentenceOf(const ShownAlarm& alarm)
{
    QString state;
    if (alarm.acknowledged)
        state = QObject::tr(", acknowledged");
    else if (!alarm.holds)
        state = QObject::tr(", cleared, waiting for acknowledgement");
    return QObject::tr("Alarm: %1%2. %3.").arg(alarm.name, state, alarm.detail);
}

QColor digitsOf(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

AlarmPanel::AlarmPanel(QWidget& window, Instrument& instrument, Readouts readouts)
    : window_(window),
      instrument_(instrument),
      title_(window.windowTitle()),
      readouts_{{readouts.frequency, digitsOf(readouts.frequency), {}, {}},
                {readouts.flow, digitsOf(readouts.flow), {}, {}},
                {readouts.total, digitsOf(readouts.total), {}, {}}},
      acknowledge_(new QAction(QObject::tr("Ac&knowledge alarms"), &window))
{
    acknowledge_->setObjectName(QStringLiteral("mnuAcknowledgeAlarms"));
    acknowledge_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    acknowledge_->setShortcutVisibleInContextMenu(true);
    QObject::connect(acknowledge_, &QAction::triggered, acknowledge_, [this] { instrument_.acknowledgeAlarms(); });
    window.addAction(acknowledge_); // Ctrl+K without opening the menu
    rulesChanged();
    instrument_.setAlarmView(this);
}

AlarmPanel::~AlarmPanel()
{
    instrument_.setAlarmView(nullptr);
    QObject::disconnect(acknowledge_, &QAction::triggered, nullptr, nullptr); // the action outlives the panel
}

void AlarmPanel::rulesChanged()
{
    acknowledge_->setVisible(instrument_.alarmsOn()); // hidden, Ctrl+K does nothing
}

void AlarmPanel::setDescription(QLabel* readout, const QString& description)
{
    for (Readout& r : readouts_) {
        if (r.label == readout) {
            r.description = description;
            show(r);
        }
    }
}

void AlarmPanel::showAlarms(const QVector<ShownAlarm>& shown)
{
    QStringList sentences[3];
    QStringList names;
    for (const ShownAlarm& alarm : shown) {
        names.append(alarm.name);
        for (int index : readoutsOf(alarm.id))
            sentences[index].append(sentenceOf(alarm));
    }
    for (int i = 0; i < 3; ++i) {
        readouts_[i].alarms = sentences[i].join(QLatin1Char(' '));
        show(readouts_[i]);
    }
    const QString alarms = names.join(QStringLiteral(", "));
    window_.setWindowTitle(names.isEmpty() ? title_ : QObject::tr("ALARM: %1 - %2").arg(alarms, title_));
}

void AlarmPanel::show(Readout& readout)
{
    const QColor digits = readout.alarms.isEmpty() ? readout.digits : QColor(kAlarmDigits);
    if (digitsOf(readout.label) != digits) {
        QPalette palette = readout.label->palette();
        palette.setColor(QPalette::WindowText, digits);
        readout.label->setPalette(palette);
    }
    const QString description = readout.alarms.isEmpty() ? readout.description
                              : readout.description.isEmpty() ? readout.alarms
                                                              : readout.alarms + QLatin1Char(' ') + readout.description;
    if (readout.label->accessibleDescription() != description)
        readout.label->setAccessibleDescription(description);
}

} // namespace tavelin
