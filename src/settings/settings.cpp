#include "settings.h"

#include <QLocale>
#include <QPair>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace tavelin {

namespace {

// The C locale, refusing group separators: "6,900" is not 6900 here, since the
// operator may have meant 6.9.
QLocale fileLocale()
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

// What a decimal number looks like: a number that QLocale cannot represent
// ("1e400", "1e-400") is out of range, not "not a number".
bool looksLikeDecimal(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return pattern.match(text).hasMatch();
}

QString rangeReason(double maximum)
{
    return QStringLiteral("out of range (greater than 0, up to %1)").arg(settingsNumberText(maximum));
}

// Reads a decimal greater than 0 and up to maximum; on failure the reason.
bool readDecimal(const QString& value, double maximum, double* out, QString* reason)
{
    const QString text = value.trimmed();
    if (text.isEmpty()) {
        *reason = QStringLiteral("empty");
        return false;
    }
    bool ok = false;
    const double number = fileLocale().toDouble(text, &ok);
    if (!ok) {
        *reason = looksLikeDecimal(text) ? rangeReason(maximum) : QStringLiteral("not a number");
        return false;
    }
    if (std::isnan(number)) {
        *reason = QStringLiteral("not a number");
        return false;
    }
    if (!(number > 0.0 && number <= maximum)) { // also infinities
        *reason = rangeReason(maximum);
        return false;
    }
    *out = number;
    return true;
}

bool readBoolean(const QString& value, bool* out, QString* reason)
{
    const QString text = value.trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1")) {
        *out = true;
        return true;
    }
    if (text == QLatin1String("false") || text == QLatin1String("no") || text == QLatin1String("0")) {
        *out = false;
        return true;
    }
    *reason = text.isEmpty() ? QStringLiteral("empty")
                             : QStringLiteral("neither true nor false (true/false, yes/no or 1/0)");
    return false;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

constexpr double kMaxPulsesPerLiter = 10000000.0;
constexpr double kMaxRetentionDays = 36500.0;

void readDecimalSetting(const QMap<QString, QString>& values, const char* key, double maximum, double* target,
                        QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return; // missing: the default, silently
    QString reason;
    if (readDecimal(it.value(), maximum, target, &reason))
        return;
    if (problems)
        problems->append({QLatin1String(key), it.value(), settingsNumberText(*target), reason});
}

void readBooleanSetting(const QMap<QString, QString>& values, const char* key, bool* target,
                        QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return;
    QString reason;
    if (readBoolean(it.value(), target, &reason))
        return;
    if (problems)
        problems->append({QLatin1String(key), it.value(), booleanText(*target), reason});
}

// A text value, checked by problemOf (which returns why it cannot be used);
// trimmed, since a blank at either end is never meant.
template <typename Check>
void readTextSetting(const QMap<QString, QString>& values, const char* key, Check problemOf, QString* target,
                     QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return;
    const QString text = it.value().trimmed();
    const QString reason = problemOf(text);
    if (reason.isEmpty()) {
        *target = text;
        return;
    }
    if (problems)
        problems->append({QLatin1String(key), it.value(), QLatin1Char('"') + *target + QLatin1Char('"'), reason});
}

const auto kAnyText = [](const QString&) { return QString(); };

// An address with a password in it is never repeated whole.
QString withoutPassword(QString url)
{
    static const QRegularExpression password(QStringLiteral("(://[^/@]*:)[^/@]*@"));
    return url.replace(password, QStringLiteral("\\1***@"));
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
    if (problems && problems->size() > before)
        problems->last().value = withoutPassword(problems->last().value);
    readTextSetting(values, settings_key::mqttDeviceId, deviceIdProblem, &mqtt->deviceId, problems);
    readTextSetting(
        values, settings_key::mqttTopicPrefix, [](const QString& p) { return topicPrefixProblem(p, false); },
        &mqtt->topicPrefix, problems);
    readTextSetting(values, settings_key::mqttUsername, kAnyText, &mqtt->username, problems);
    readTextSetting(values, settings_key::mqttPasswordFile, kAnyText, &mqtt->passwordFile, problems);
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
    readDecimalSetting(values, settings_key::pulsesPerLiter, kMaxPulsesPerLiter, &settings.sensor.pulsesPerLiter,
                       problems);
    readBooleanSetting(values, settings_key::keepTotal, &settings.sensor.keepTotal, problems);
    readDecimalSetting(values, settings_key::retentionDays, kMaxRetentionDays, &settings.store.retentionDays,
                       problems);
    readMqttSettings(values, &settings.mqtt, problems);
    return settings;
}

QMap<QString, QString> valuesFromSettings(const Settings& settings)
{
    QMap<QString, QString> values;
    values.insert(QLatin1String(settings_key::pulsesPerLiter), settingsNumberText(settings.sensor.pulsesPerLiter));
    values.insert(QLatin1String(settings_key::keepTotal), booleanText(settings.sensor.keepTotal));
    values.insert(QLatin1String(settings_key::retentionDays), settingsNumberText(settings.store.retentionDays));
    writeMqttSettings(settings.mqtt, &values);
    return values;
}

QString settingsNumberText(double value)
{
    const QLocale locale = fileLocale();
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
