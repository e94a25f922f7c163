#include "instrument/instrument.h"

#include "platform/number_text.h"
#include "platform/qt/settings_file.h"
#include "platform/readings_store.h"
#include "platform/serial_port.h"
#include "platform/state_directory.h"
#include "records/event_log.h"
#include "sensor/flow_sampler.h"
#include "sensor/sensor_constants.h"
#include "sensor/sensor_display.h"

#include <QCoreApplication>
#include <QDateTime>

namespace tavelin {

namespace {
constexpr std::int64_t kTrendHistoryMs = 24LL * 60 * 60 * 1000;
}

Instrument::Instrument(Parts parts, SensorDisplay& display, std::function<QString()> totalText,
                       const Settings& settings, TimerHandlers handlers, QObject* timerOwner)
    : parts_(parts),
      display_(display),
      settings_(settings),
      module_(parts.port, parts.counter, parts.messages, display),
      tmrRd_(new QtWindowTimer(std::move(handlers.tmrRd), timerOwner)),
      tmrLogger_(new QtWindowTimer(std::move(handlers.tmrLogger), timerOwner)),
      logWriter_(parts.logChannel, parts.clock, module_.state, std::move(totalText), *tmrLogger_, parts.messages),
      trend_(parts.clock),
      storeRecorder_(parts.store, parts.clock, parts.messages),
      tmrAlarms_(new QtWindowTimer([this] { alarms_.tick(); }, timerOwner)),
      alarms_({parts.counter, *tmrAlarms_,
               {parts.alarmChannel, alarmJournalPath(), parts.store, parts.clock, parts.messages},
               parts.alarmNotifier})
{
    applySettings(settings_);
    listeners_.add(&storeRecorder_);
    listeners_.add(&trend_);
    listeners_.add(&calibration_);
    listeners_.add(&alarms_);
    module_.setSampleListener(&listeners_);
    addTickListener([this] { alarms_.tick(); });
    tmrAlarms_->setObjectName(QStringLiteral("tmrAlarms"));

    tmrRd_->setObjectName(QStringLiteral("tmrRd"));
    tmrRd_->setInterval(sensor::kSamplingIntervalMs);
    tmrRd_->setEnabled(false);
    tmrLogger_->setObjectName(QStringLiteral("tmrLogger"));
    tmrLogger_->setInterval(0); // enabled, but never ticks until logging sets an interval
    tmrLogger_->setEnabled(true);
}

QString Instrument::openPort()
{
    SerialPort& port = parts_.port;
    if (port.open())
        return QString();
    QString message = QCoreApplication::translate("tavelin::frmmain", "Serial port 1 (%1) cannot be opened: %2.")
                          .arg(port.deviceName(), port.errorString());
    const QString advice = port.openAdvice();
    if (!advice.isEmpty())
        message += QStringLiteral("\n\n") + advice;
    message += QStringLiteral("\n\n")
             + QCoreApplication::translate("tavelin::frmmain",
                                           "Until it opens, sampling reports \"Port Not open\"; the port is tried "
                                           "again at each sampling cycle.");
    return message;
}

QString Instrument::switchPort(const QString& device)
{
    parts_.port.setDeviceName(device);
    return openPort();
}

void Instrument::PollSensor()
{
    module_.PollSensor();
    for (const auto& listener : tickListeners_)
        listener();
}

void Instrument::setSampling(bool on)
{
    tmrRd_->setEnabled(on);
    trend_.samplingSwitched(); // no line across the time without sampling
    alarms_.samplingSwitched(on);
}

void Instrument::resetTotal()
{
    // Both edges of the momentary switch reset: the second finds nothing to record.
    if (parts_.events && module_.state.dblPulseTotal != 0.0) {
        const QLocale c = QLocale::c();
        parts_.events->record({QLatin1String(event_kind::totalReset), QStringLiteral("total"),
                               QStringLiteral("%1 pulses, %2 L")
                                   .arg(c.toString(module_.state.dblPulseTotal, 'f', 2),
                                        c.toString(module_.state.dblTotalLiters, 'f', QLocale::FloatingPointShortest)),
                               QStringLiteral("0 pulses, 0 L"), QLatin1String(event_source::resetSwitch)});
    }
    module_.state.dblPulseTotal = 0.0;
    alarms_.totalReset();
}

void Instrument::attachStore(ReadingsStore* store)
{
    parts_.store = store;
    storeRecorder_.attach(store);
    alarms_.attachStore(store);
}

bool Instrument::restoreTotal()
{
    if (!settings_.sensor.keepTotal || !parts_.store)
        return true;
    const std::optional<StoredReading> newest = parts_.store->newest();
    if (!newest)
        return !parts_.store->newestUnknown();
    MeasurementState& state = module_.state;
    state.dblPulseTotal += newest->pulseTotal;
    state.dblTotalLiters = roundHalfEven(state.dblPulseTotal / pulsesPerLiter(), sensor::kRoundedDecimals);
    display_.setLiters(generalNumberText(state.dblTotalLiters));
    display_.setCWSlide2(state.dblTotalLiters);
    return true;
}

QVector<StoredReading> Instrument::history()
{
    if (!parts_.store)
        return {};
    return parts_.store->readingsSince(parts_.clock.currentMSecsSinceEpoch() - kTrendHistoryMs);
}

QString Instrument::meterText() const
{
    if (!parts_.store || !parts_.store->isOpen())
        return QCoreApplication::translate("tavelin::frmmain", "Meter total: not kept (no readings store)");
    const double liters = storeRecorder_.meterLiters();
    const QDate since = QDateTime::fromMSecsSinceEpoch(parts_.store->createdUtcMs()).date();
    return QCoreApplication::translate("tavelin::frmmain", "Meter total: %1 L since %2")
        .arg(QLocale().toString(liters, 'f', sensor::kRoundedDecimals), since.toString(Qt::ISODate));
}

void Instrument::applySettings(const Settings& settings)
{
    settings_ = settings;
    module_.setPulsesPerLiter(settings_.sensor.pulsesPerLiter);
    storeRecorder_.setRetentionDays(settings_.store.retentionDays);
    storeRecorder_.setPulsesPerLiter(settings_.sensor.pulsesPerLiter);
    alarms_.configure(settings_.alarms);
}

QString Instrument::saveSettings(const Settings& settings)
{
    if (!parts_.settingsFile)
        return QCoreApplication::translate("tavelin::frmmain",
                                           "The settings cannot be written: the program runs without a settings "
                                           "file.");
    QString error;
    Settings saved;
    if (!parts_.settingsFile->saveChanges(settings_, settings, &saved, &error))
        return error;
    applySettings(saved); // what the file holds now, hand edits of other keys included
    return QString();
}

void Instrument::shutDown()
{
    tmrRd_->setEnabled(false);
    tmrLogger_->setEnabled(false);
    logWriter_.StopLogging(); // rows are already with the system; this closes the file
    alarms_.shutDown();
    parts_.port.close();
}

} // namespace tavelin
