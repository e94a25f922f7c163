#pragma once
// What shows the operator the alarms that are up: the window colours the
// readouts concerned and names them in its title; a program without a
// window has none.

#include "alarms/alarm_event.h"

#include <QString>
#include <QVector>

namespace tavelin {

struct ShownAlarm {
    AlarmId id = AlarmId::HighFlow;
    QString name;    // "High flow"
    QString detail;  // "Flow rate 2.5 L/min, above 2 L/min"
    bool holds = false;        // its condition still holds (else it waits for its acknowledgement)
    bool acknowledged = false;
};

class AlarmView {
public:
    virtual ~AlarmView() = default;
    // The alarms shown now, in the order of AlarmId; empty when none is.
    virtual void showAlarms(const QVector<ShownAlarm>& shown) = 0;
};

} // namespace tavelin
