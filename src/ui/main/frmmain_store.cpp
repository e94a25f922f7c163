// What the instrument window shows of the readings store: the trend of
// earlier runs, the meter and the history.
#include "frmmain.h"

#include "ui/history/history_window.h"
#include "ui/main/alarm_panel.h"
#include "ui/trend/trend_window.h"

#include <QLabel>

namespace tavelin {

void frmmain::storeReady()
{
    instrument_.trend().restore(instrument_.history());
    useIntervals(station_.intervals());
    readingKept();
}

void frmmain::useIntervals(IntervalSource* intervals)
{
    intervals_ = intervals;
    if (historyWindow_)
        historyWindow_->setSource(intervals);
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
