#include "settings.h"

#include <QLocale>
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
    const double seconds = fileLocale().toDouble(interval.value().trimmed(), &ok);
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
    readLoggingSettings(values, &settings.logging, problems);
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
