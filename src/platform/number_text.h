#pragma once
// Numbers as text in the general decimal form: at most 15 significant digits,
// no exponent, no trailing zeros, no trailing decimal separator, a 0 before the
// separator below 1, a leading minus for negative values and never "-0".

#include <QLocale>
#include <QString>

namespace tavelin {

// The plain form with a period, whatever the locale: 72, 2.17, 0.0000001.
QString plainDecimalText(double value);

// The same form with the locale's decimal separator, for readouts and lists.
QString generalNumberText(double value, const QLocale& locale = QLocale());

} // namespace tavelin
