#include "alarms/alarm_settings.h"

#include "settings/setting_readers.h"

namespace tavelin {

namespace {

// Generous bounds: they only keep out values no instrument could mean.
constexpr double kMaxFlowLMin = 1000000.0;
constexpr double kMaxLiters = 1000000000.0;
constexpr double kMaxSeconds = 86400.0;  // a day
constexpr double kMaxMinutes = 10080.0;  // a week
constexpr double kMaxDeadbandPercent = 50.0;

// Each key with where its value lies.
struct OptionalKey {
    const char* key;
    DecimalRange range;
    std::optional<double> AlarmSettings::*field;
};

const OptionalKey kOptionalKeys[] = {
    {settings_key::highFlow, positiveUpTo(kMaxFlowLMin), &AlarmSettings::highFlowLMin},
    {settings_key::lowFlow, positiveUpTo(kMaxFlowLMin), &AlarmSettings::lowFlowLMin},
    {settings_key::noReading, positiveUpTo(kMaxSeconds), &AlarmSettings::noReadingS},
    {settings_key::leakFlow, zeroOrMoreUpTo(kMaxFlowLMin), &AlarmSettings::leakFlowLMin},
    {settings_key::leakMinutes, positiveUpTo(kMaxMinutes), &AlarmSettings::leakMinutes},
    {settings_key::batch, positiveUpTo(kMaxLiters), &AlarmSettings::batchLiters},
};

} // namespace

bool AlarmSettings::isOn(AlarmId id) const
{
    switch (id) {
    case AlarmId::HighFlow:
        return highFlowLMin.has_value();
    case AlarmId::LowFlow:
        return lowFlowLMin.has_value();
    case AlarmId::NoReading:
        return noReadingS.has_value();
    case AlarmId::Leak:
        return leakOn();
    case AlarmId::Batch:
        break;
    }
    return batchLiters.has_value();
}

bool AlarmSettings::sameRules(const AlarmSettings& other) const
{
    return highFlowLMin == other.highFlowLMin && lowFlowLMin == other.lowFlowLMin
           && flowDelayS == other.flowDelayS && deadbandPercent == other.deadbandPercent
           && noReadingS == other.noReadingS && leakFlowLMin == other.leakFlowLMin
           && leakMinutes == other.leakMinutes && batchLiters == other.batchLiters && latching == other.latching;
}

bool AlarmSettings::sameRule(AlarmId id, const AlarmSettings& other) const
{
    if (isOn(id) != other.isOn(id))
        return false;
    if (!isOn(id))
        return true;
    if (latching != other.latching)
        return false;
    const bool sameFlowTiming = flowDelayS == other.flowDelayS && deadbandPercent == other.deadbandPercent;
    switch (id) {
    case AlarmId::HighFlow:
        return highFlowLMin == other.highFlowLMin && sameFlowTiming;
    case AlarmId::LowFlow:
        return lowFlowLMin == other.lowFlowLMin && sameFlowTiming;
    case AlarmId::NoReading:
        return noReadingS == other.noReadingS;
    case AlarmId::Leak:
        return leakFlowLMin == other.leakFlowLMin && leakMinutes == other.leakMinutes;
    case AlarmId::Batch:
        break;
    }
    return batchLiters == other.batchLiters;
}

void readAlarmSettings(const QMap<QString, QString>& values, AlarmSettings* alarms,
                       QVector<SettingsProblem>* problems)
{
    for (const OptionalKey& key : kOptionalKeys)
        readOptionalDecimalSetting(values, key.key, key.range, &(alarms->*key.field), problems);
    readDecimalSetting(values, settings_key::flowDelay, zeroOrMoreUpTo(kMaxSeconds), &alarms->flowDelayS, problems);
    readDecimalSetting(values, settings_key::deadband, zeroOrMoreUpTo(kMaxDeadbandPercent), &alarms->deadbandPercent,
                       problems);
    readBooleanSetting(values, settings_key::latching, &alarms->latching, problems);
    for (const OptionalKey& key : kOptionalKeys)
        alarms->inFile = alarms->inFile || values.contains(QLatin1String(key.key));
    for (const char* key : {settings_key::flowDelay, settings_key::deadband, settings_key::latching})
        alarms->inFile = alarms->inFile || values.contains(QLatin1String(key));
}

void addAlarmValues(const AlarmSettings& alarms, QMap<QString, QString>* values)
{
    if (!alarms.inFile && alarms.sameRules(AlarmSettings{}))
        return;
    for (const OptionalKey& key : kOptionalKeys)
        values->insert(QLatin1String(key.key), optionalNumberText(alarms.*key.field));
    values->insert(QLatin1String(settings_key::flowDelay), settingsNumberText(alarms.flowDelayS));
    values->insert(QLatin1String(settings_key::deadband), settingsNumberText(alarms.deadbandPercent));
    values->insert(QLatin1String(settings_key::latching), booleanText(alarms.latching));
}

} // namespace tavelin
