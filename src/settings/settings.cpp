#include "settings/settings.h"

#include "settings/setting_readers.h"

#include <QDir>
#include <QLocale>
#include <QPair>
#include <QStringList>

#include <cmath>
#include <functional>

namespace tavelin {

namespace {

constexpr double kMaxPulsesPerLiter = 10000000.0;
constexpr double kMaxRetentionDays = 36500.0;
constexpr double kMaxIntervalYears = 1000.0;

QString modeText(FileOpenMode mode)
{
    return mode == FileOpenMode::Overwrite ? QStringLiteral("overwrite") : QStringLiteral("append");
}

void readLoggingSettings(const QMap<QString, QString>& values, LoggingSettings* logging,
                         QVector<SettingsProblem>* problems)
{
    logging->file = values.value(QLatin1String(settings_key::logFile)).trimmed();
    const auto mode = values.constFind(QLatin1String(settings_key::logMode));
    if (mode != values.constEnd()) {
        const QString text = mode.value().trimmed().toLower();
        if (text == QLatin1String("append") || text == QLatin1String("overwrite"))
            logging->mode = text == QLatin1String("append") ? FileOpenMode::Append : FileOpenMode::Overwrite;
        else if (problems)
            problems->append({QLatin1String(settings_key::logMode), mode.value(), modeText(logging->mode),
                              QStringLiteral("neither append nor overwrite")});
    }
    const auto interval = values.constFind(QLatin1String(settings_key::logIntervalS));
    if (interval == values.constEnd())
        return;
    static const double kEntries[] = {60, 30, 15, 10, 5, 2, 1, 0.5};
    bool ok = false;
    const double seconds = settingsFileLocale().toDouble(interval.value().trimmed(), &ok);
    for (double entry : kEntries) {
        if (ok && seconds == entry) {
            logging->intervalS = seconds;
            return;
        }
    }
    if (problems)
        problems->append({QLatin1String(settings_key::logIntervalS), interval.value(),
                          settingsNumberText(logging->intervalS),
                          QStringLiteral("not one of 60, 30, 15, 10, 5, 2, 1 and 0.5 seconds")});
}

const auto kAnyText = [](const QString&) { return QString(); };

// The password goes in the file that password_file names: a value that is
// not a path may be the password itself, so it is never repeated.
QString passwordFileProblem(const QString& path)
{
    return path.isEmpty() || QDir::isAbsolutePath(path)
               ? QString()
               : QStringLiteral("not an absolute path (name the file that holds the password: the password itself "
                                "never goes in the settings)");
}

// The value of the last problem, if one was added since before, as it may be shown.
void maskLastValue(QVector<SettingsProblem>* problems, int before, const std::function<QString(const QString&)>& mask)
{
    if (problems && problems->size() > before)
        problems->last().value = mask(problems->last().value);
}

void readMqttSettings(const QMap<QString, QString>& values, MqttSettings* mqtt, QVector<SettingsProblem>* problems)
{
    const int before = problems ? problems->size() : 0;
    readTextSetting(
        values, settings_key::mqttUrl,
        [](const QString& url) {
            MqttEndpoint endpoint;
            QString reason;
            return url.isEmpty() || parseMqttUrl(url, &endpoint, &reason) ? QString() : reason;
        },
        &mqtt->url, problems);
    maskLastValue(problems, before, urlWithoutPassword);
    readTextSetting(values, settings_key::mqttDeviceId, deviceIdProblem, &mqtt->deviceId, problems);
    readTextSetting(
        values, settings_key::mqttTopicPrefix, [](const QString& p) { return topicPrefixProblem(p, false); },
        &mqtt->topicPrefix, problems);
    readTextSetting(values, settings_key::mqttUsername, kAnyText, &mqtt->username, problems);
    const int beforePasswordFile = problems ? problems->size() : 0;
    readTextSetting(values, settings_key::mqttPasswordFile, passwordFileProblem, &mqtt->passwordFile, problems);
    maskLastValue(problems, beforePasswordFile, [](const QString&) { return QStringLiteral("***"); });
    readTextSetting(values, settings_key::mqttCaFile, kAnyText, &mqtt->caFile, problems);
    readTextSetting(values, settings_key::mqttCertFile, kAnyText, &mqtt->certFile, problems);
    readTextSetting(values, settings_key::mqttKeyFile, kAnyText, &mqtt->keyFile, problems);
    readBooleanSetting(values, settings_key::mqttInsecureSkipVerify, &mqtt->insecureSkipVerify, problems);
    readTextSetting(
        values, settings_key::mqttDiscoveryPrefix, [](const QString& p) { return topicPrefixProblem(p, true); },
        &mqtt->discoveryPrefix, problems);
}

void writeMqttSettings(const MqttSettings& mqtt, QMap<QString, QString>* values)
{
    const QList<QPair<const char*, QString>> texts = {
        {settings_key::mqttUrl, mqtt.url},
        {settings_key::mqttDeviceId, mqtt.deviceId},
        {settings_key::mqttTopicPrefix, mqtt.topicPrefix},
        {settings_key::mqttUsername, mqtt.username},
        {settings_key::mqttPasswordFile, mqtt.passwordFile},
        {settings_key::mqttCaFile, mqtt.caFile},
        {settings_key::mqttCertFile, mqtt.certFile},
        {settings_key::mqttKeyFile, mqtt.keyFile},
        {settings_key::mqttInsecureSkipVerify, booleanText(mqtt.insecureSkipVerify)},
        {settings_key::mqttDiscoveryPrefix, mqtt.discoveryPrefix}};
    for (const auto& [key, text] : texts)
        values->insert(QLatin1String(key), text);
}

// A value as quoted in a sentence: a long one is cut.
QString quotedValue(const QString& value)
{
    constexpr int kLongest = 60;
    QString shown = value;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (shown.size() > kLongest)
        shown = shown.left(kLongest - 3) + QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

} // namespace

Settings settingsFromValues(const QMap<QString, QString>& values, QVector<SettingsProblem>* problems)
{
    Settings settings; // the defaults; each usable value replaces its own
    readDecimalSetting(values, settings_key::pulsesPerLiter, positiveUpTo(kMaxPulsesPerLiter),
                       &settings.sensor.pulsesPerLiter, problems);
    readBooleanSetting(values, settings_key::keepTotal, &settings.sensor.keepTotal, problems);
    readDecimalSetting(values, settings_key::retentionDays, positiveUpTo(kMaxRetentionDays),
                       &settings.store.retentionDays, problems);
    readDecimalSetting(values, settings_key::intervalYears, zeroOrMoreUpTo(kMaxIntervalYears),
                       &settings.store.intervalYears, problems);
    readLoggingSettings(values, &settings.logging, problems);
    readAlarmSettings(values, &settings.alarms, problems);
    readMqttSettings(values, &settings.mqtt, problems);
    readModbusSettings(values, &settings.modbus, problems);
    return settings;
}

Settings settingsKeepingInUse(const QMap<QString, QString>& values, const Settings& inUse,
                              QVector<SettingsProblem>* problems)
{
    QVector<SettingsProblem> found;
    settingsFromValues(values, &found);
    QMap<QString, QString> usable = values;
    QMap<QString, QString> current = valuesFromSettings(inUse);
    current.insert(QLatin1String(settings_key::logMode), modeText(inUse.logging.mode));
    current.insert(QLatin1String(settings_key::logIntervalS), settingsNumberText(inUse.logging.intervalS));
    addModbusValues(inUse.modbus, &current, true);
    for (SettingsProblem& problem : found) {
        usable[problem.key] = current.value(problem.key);
        problem.defaultValue = current.value(problem.key);
    }
    if (problems)
        *problems += found;
    return settingsFromValues(usable, nullptr);
}

QMap<QString, QString> valuesFromSettings(const Settings& settings)
{
    QMap<QString, QString> values;
    values.insert(QLatin1String(settings_key::pulsesPerLiter), settingsNumberText(settings.sensor.pulsesPerLiter));
    values.insert(QLatin1String(settings_key::keepTotal), booleanText(settings.sensor.keepTotal));
    values.insert(QLatin1String(settings_key::retentionDays), settingsNumberText(settings.store.retentionDays));
    values.insert(QLatin1String(settings_key::intervalYears), settingsNumberText(settings.store.intervalYears));
    addAlarmValues(settings.alarms, &values);
    writeMqttSettings(settings.mqtt, &values);
    addModbusValues(settings.modbus, &values);
    return values;
}

SettingsChanges settingsChanges(const Settings& before, const Settings& after)
{
    const QMap<QString, QString> was = valuesFromSettings(before);
    const QMap<QString, QString> is = valuesFromSettings(after);
    SettingsChanges changes;
    for (auto it = is.constBegin(); it != is.constEnd(); ++it) {
        if (!was.contains(it.key()) || was.value(it.key()) != it.value())
            changes.values.insert(it.key(), it.value());
    }
    for (auto it = was.constBegin(); it != was.constEnd(); ++it) {
        if (!is.contains(it.key()))
            changes.removed.append(it.key());
    }
    return changes;
}

QString settingsNumberText(double value)
{
    const QLocale locale = settingsFileLocale();
    const double magnitude = std::fabs(value);
    if (value == 0.0)
        return QStringLiteral("0"); // also -0
    if (std::isfinite(value) && magnitude >= 1e-6 && magnitude < 1e16)
        return locale.toString(value, 'f', QLocale::FloatingPointShortest);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

QString settingsProblemReport(const QString& filePath, const QVector<SettingsProblem>& problems)
{
    QStringList sentences;
    for (const SettingsProblem& problem : problems) {
        const int slash = problem.key.lastIndexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QStringLiteral("General") : problem.key.left(slash);
        const QString name = problem.key.mid(slash + 1);
        sentences.append(QStringLiteral("The setting %1 in [%2] of %3 is %4, which is %5; %6 is used instead.")
                             .arg(name, section, filePath, quotedValue(problem.value), problem.reason,
                                  problem.defaultValue));
    }
    return sentences.join(QLatin1Char('\n'));
}

} // namespace tavelin
