#include "number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavelin {

namespace {

constexpr int kSignificantDigits = 15;

// Places the digits of a scientific rendering as a plain decimal number.
std::string plainFromScientific(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", kSignificantDigits - 1, value);
    std::string s(buf);
    const bool negative = s[0] == '-';
    if (negative)
        s.erase(0, 1);
    const auto ePos = s.find('e');
    const int exponent = std::atoi(s.c_str() + ePos + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2); // drop the point

    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (digits == "0")
        return "0";

    std::string out;
    const int pointAfter = exponent + 1; // digits before the decimal point
    if (pointAfter <= 0) {
        out = "0." + std::string(static_cast<size_t>(-pointAfter), '0') + digits;
    } else if (static_cast<size_t>(pointAfter) >= digits.size()) {
        out = digits + std::string(static_cast<size_t>(pointAfter) - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<size_t>(pointAfter)) + "." + digits.substr(static_cast<size_t>(pointAfter));
    }
    return negative ? "-" + out : out;
}

} // namespace

QString plainDecimalText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    return QString::fromStdString(plainFromScientific(value));
}

QString generalNumberText(double value, const QLocale& locale)
{
    QString text = plainDecimalText(value);
    const QString separator = QString(locale.decimalPoint());
    if (separator != QLatin1String("."))
        text.replace(QLatin1Char('.'), separator);
    return text;
}

} // namespace tavelin
