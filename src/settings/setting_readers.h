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

} // namespace tavelin
