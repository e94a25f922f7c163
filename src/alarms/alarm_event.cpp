#include "alarms/alarm_event.h"

#include "platform/number_text.h"

#include <QCoreApplication>

namespace tavelin {

namespace {

struct AlarmText {
    const char* key;
    const char* name;
    const char* detail; // %1 the value, %2 the threshold
};

const AlarmText kTexts[kAlarmCount] = {
    {"high_flow", QT_TRANSLATE_NOOP("tavelin::alarms", "High flow"),
     QT_TRANSLATE_NOOP("tavelin::alarms", "Flow rate %1 L/min, above %2 L/min")},
    {"low_flow", QT_TRANSLATE_NOOP("tavelin::alarms", "Low flow"),
     QT_TRANSLATE_NOOP("tavelin::alarms", "Flow rate %1 L/min, below %2 L/min")},
    {"no_reading", QT_TRANSLATE_NOOP("tavelin::alarms", "No reading"),
     QT_TRANSLATE_NOOP("tavelin::alarms", "No reading for %1 s, allowed %2 s")},
    {"leak", QT_TRANSLATE_NOOP("tavelin::alarms", "Possible leak"),
     QT_TRANSLATE_NOOP("tavelin::alarms", "Flow rate %1 L/min, above %2 L/min without a pause")},
    {"batch", QT_TRANSLATE_NOOP("tavelin::alarms", "Batch complete"),
     QT_TRANSLATE_NOOP("tavelin::alarms", "Total %1 L, batch %2 L")},
};

const AlarmText& textOf(AlarmId id)
{
    return kTexts[static_cast<int>(id)];
}

} // namespace

QString alarmKey(AlarmId id)
{
    return QLatin1String(textOf(id).key);
}

bool alarmFromKey(const QString& key, AlarmId* id)
{
    for (AlarmId candidate : kAllAlarms) {
        if (key == QLatin1String(textOf(candidate).key)) {
            *id = candidate;
            return true;
        }
    }
    return false;
}

QString alarmName(AlarmId id)
{
    return QCoreApplication::translate("tavelin::alarms", textOf(id).name);
}

QString alarmEventName(AlarmEventKind kind)
{
    switch (kind) {
    case AlarmEventKind::Raised:
        return QStringLiteral("raised");
    case AlarmEventKind::Cleared:
        return QStringLiteral("cleared");
    case AlarmEventKind::Acknowledged:
        break;
    }
    return QStringLiteral("acknowledged");
}

QString alarmDetail(AlarmId id, double value, double threshold, const QLocale& locale)
{
    return QCoreApplication::translate("tavelin::alarms", textOf(id).detail)
        .arg(generalNumberText(value, locale), generalNumberText(threshold, locale));
}

} // namespace tavelin
