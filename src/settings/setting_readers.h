#pragma once
// Reading one value of the settings file: a decimal within its range, an
// optional decimal (empty: off) or a boolean. A value that cannot be used
// leaves the target as it was and adds a problem naming the default kept.

#include "settings/settings.h"

#include <QLocale>

#include <optional>

namespace tavelin {

// Where a decimal may lie: above the minimum (or at it, when included) and
// up to the maximum.
struct DecimalRange {
    double minimum;
    bool minimumIncluded;
    double maximum;
};

inline constexpr DecimalRange positiveUpTo(double maximum) { return {0.0, false, maximum}; }
inline constexpr DecimalRange zeroOrMoreUpTo(double maximum) { return {0.0, true, maximum}; }

// The C locale without group separators, in which the file's numbers are written.
QLocale settingsFileLocale();

// The text the file holds for a boolean: "true" or "false".
QString booleanText(bool value);
// The text the file holds for an optional decimal: empty when off.
QString optionalNumberText(const std::optional<double>& value);

// A missing key leaves the target as it is, silently.
void readDecimalSetting(const QMap<QString, QString>& values, const char* key, DecimalRange range, double* target,
                        QVector<SettingsProblem>* problems);
// An empty value sets the target off.
void readOptionalDecimalSetting(const QMap<QString, QString>& values, const char* key, DecimalRange range,
                                std::optional<double>* target, QVector<SettingsProblem>* problems);
void readBooleanSetting(const QMap<QString, QString>& values, const char* key, bool* target,
                        QVector<SettingsProblem>* problems);
// A whole number from minimum to maximum, written in decimal digits.
void readIntegerSetting(const QMap<QString, QString>& values, const char* key, int minimum, int maximum, int* target,
                        QVector<SettingsProblem>* problems);

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

} // namespace tavelin
