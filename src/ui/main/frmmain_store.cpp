// What the instrument window remembers across runs, and the settings it runs
// with: the resettable total and the trend restored from the readings store,
// the meter, and new settings from the dialogs.
#include "frmmain.h"

#include "platform/number_text.h"
#include "platform/qt/settings_file.h"
#include "platform/readings_store.h"
#include "sensor/flow_sampler.h"
#include "sensor/sensor_constants.h"
#include "ui/trend/trend_window.h"

#include <QDateTime>
#include <QLabel>

namespace tavelin {

namespace {
constexpr std::int64_t kTrendHistoryMs = 24LL * 60 * 60 * 1000;
}

void frmmain::restoreTotal()
{
    if (!settings_.sensor.keepTotal || !services_.store)
        return;
    const std::optional<StoredReading> newest = services_.store->newest();
    if (!newest)
        return;
    MeasurementState& state = module_.state;
    state.dblPulseTotal = newest->pulseTotal;
    state.dblTotalLiters = roundHalfEven(state.dblPulseTotal / module_.pulsesPerLiter(), sensor::kRoundedDecimals);
    setLiters(generalNumberText(state.dblTotalLiters));
    setCWSlide2(state.dblTotalLiters);
}

void frmmain::restoreFromStore()
{
    if (!services_.store)
        return;
    const std::int64_t since = services_.clock.currentMSecsSinceEpoch() - kTrendHistoryMs;
    trend_.restore(services_.store->readingsSince(since));
    readingKept();
}

void frmmain::readingKept()
{
    const QString meter = meterText();
    liters_->setAccessibleDescription(meter);
    if (trendWindow_)
        trendWindow_->setMeterText(meter);
}

QString frmmain::meterText() const
{
    if (!services_.store || !services_.store->isOpen())
        return tr("Meter total: not kept (no readings store)");
    const double liters = double(storeRecorder_.meterCentipulses()) / 100.0 / module_.pulsesPerLiter();
    const QDate since = QDateTime::fromMSecsSinceEpoch(services_.store->createdUtcMs()).date();
    return tr("Meter total: %1 L since %2")
        .arg(QLocale().toString(liters, 'f', sensor::kRoundedDecimals), since.toString(Qt::ISODate));
}

void frmmain::applySettings(const Settings& settings)
{
    settings_ = settings;
    module_.setPulsesPerLiter(settings_.sensor.pulsesPerLiter);
    storeRecorder_.setRetentionDays(settings_.store.retentionDays);
}

QString frmmain::saveSettings(const Settings& settings)
{
    if (!services_.settingsFile)
        return tr("The settings cannot be written: the program runs without a settings file.");
    QString error;
    if (!services_.settingsFile->save(settings, &error))
        return error;
    applySettings(settings);
    return QString();
}

} // namespace tavelin
