#include "settings/setting_readers.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace tavelin {

namespace {

// What a decimal number looks like: a number that QLocale cannot represent
// ("1e400", "1e-400") is out of range, not "not a number".
bool looksLikeDecimal(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return pattern.match(text).hasMatch();
}

QString rangeReason(DecimalRange range)
{
    const QString minimum = settingsNumberText(range.minimum);
    return QStringLiteral("out of range (%1, up to %2)")
        .arg(range.minimumIncluded ? QStringLiteral("%1 or more").arg(minimum)
                                   : QStringLiteral("greater than %1").arg(minimum),
             settingsNumberText(range.maximum));
}

bool inRange(double number, DecimalRange range)
{
    const bool aboveMinimum = range.minimumIncluded ? number >= range.minimum : number > range.minimum;
    return aboveMinimum && number <= range.maximum; // false for infinities too
}

// Reads a decimal within range; on failure the reason.
bool readDecimal(const QString& value, DecimalRange range, double* out, QString* reason)
{
    const QString text = value.trimmed();
    if (text.isEmpty()) {
        *reason = QStringLiteral("empty");
        return false;
    }
    bool ok = false;
    const double number = settingsFileLocale().toDouble(text, &ok);
    if (!ok) {
        *reason = looksLikeDecimal(text) ? rangeReason(range) : QStringLiteral("not a number");
        return false;
    }
    if (std::isnan(number)) {
        *reason = QStringLiteral("not a number");
        return false;
    }
    if (!inRange(number, range)) {
        *reason = rangeReason(range);
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

void addProblem(QVector<SettingsProblem>* problems, const char* key, const QString& value,
                const QString& defaultValue, const QString& reason)
{
    if (problems)
        problems->append({QLatin1String(key), value, defaultValue, reason});
}

} // namespace

QLocale settingsFileLocale()
{
    // Refusing group separators: "6,900" is not 6900 here, since the
    // operator may have meant 6.9.
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString optionalNumberText(const std::optional<double>& value)
{
    return value ? settingsNumberText(*value) : QString();
}

void readDecimalSetting(const QMap<QString, QString>& values, const char* key, DecimalRange range, double* target,
                        QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return; // missing: the default, silently
    QString reason;
    if (!readDecimal(it.value(), range, target, &reason))
        addProblem(problems, key, it.value(), settingsNumberText(*target), reason);
}

void readOptionalDecimalSetting(const QMap<QString, QString>& values, const char* key, DecimalRange range,
                                std::optional<double>* target, QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return;
    if (it.value().trimmed().isEmpty()) {
        target->reset();
        return;
    }
    double number = 0.0;
    QString reason;
    if (readDecimal(it.value(), range, &number, &reason))
        *target = number;
    else
        addProblem(problems, key, it.value(), *target ? settingsNumberText(**target) : QStringLiteral("off"),
                   reason);
}

void readBooleanSetting(const QMap<QString, QString>& values, const char* key, bool* target,
                        QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return;
    QString reason;
    if (!readBoolean(it.value(), target, &reason))
        addProblem(problems, key, it.value(), booleanText(*target), reason);
}

void readIntegerSetting(const QMap<QString, QString>& values, const char* key, int minimum, int maximum, int* target,
                        QVector<SettingsProblem>* problems)
{
    const auto it = values.constFind(QLatin1String(key));
    if (it == values.constEnd())
        return;
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = it.value().trimmed();
    QString reason = QStringLiteral("out of range (%1 to %2)").arg(minimum).arg(maximum);
    if (text.isEmpty()) {
        reason = QStringLiteral("empty");
    } else if (!integer.match(text).hasMatch()) {
        reason = QStringLiteral("not a whole number");
    } else {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok); // false beyond 64 bits: out of range
        if (ok && number >= minimum && number <= maximum) {
            *target = static_cast<int>(number);
            return;
        }
    }
    addProblem(problems, key, it.value(), QString::number(*target), reason);
}

} // namespace tavelin
