// What the instrument window shows of the readings store: the trend of
// earlier runs and the meter.
#include "frmmain.h"

#include "ui/main/alarm_panel.h"
#include "ui/trend/trend_window.h"

#include <QLabel>

namespace tavelin {

void frmmain::storeReady()
{
    instrument_.trend().restore(instrument_.history());
    readingKept();
}

void frmmain::readingKept()
{
    const QString meter = meterText();
    alarmPanel_->setDescription(liters_, meter);
    if (trendWindow_)
        trendWindow_->setMeterText(meter);
}

QString frmmain::meterText() const
{
    return instrument_.meterText();
}

} // namespace tavelin
