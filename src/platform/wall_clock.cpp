#include "wall_clock.h"

#include <QVector>

namespace tavelin {

namespace {

// For each character of a Qt date-time format: true when it lies inside a
// '...' literal (the quotes included), where letters are not fields.
QVector<bool> literalMask(const QString& format)
{
    QVector<bool> literal(format.size(), false);
    bool inside = false;
    for (int i = 0; i < format.size(); ++i) {
        if (format.at(i) == QLatin1Char('\'')) {
            literal[i] = true;
            inside = !inside; // '' inside or outside a literal toggles twice
            continue;
        }
        literal[i] = inside;
    }
    return literal;
}

bool isBlank(QChar c) { return c.isSpace(); }
bool opensGroup(QChar c) { return c == QLatin1Char('(') || c == QLatin1Char('['); }
bool closesGroup(QChar c) { return c == QLatin1Char(')') || c == QLatin1Char(']'); }

} // namespace

QString formatWithoutTimeZone(const QString& format)
{
    QString result = format;
    for (;;) {
        const QVector<bool> literal = literalMask(result);
        int begin = 0;
        while (begin < result.size() && (literal[begin] || result.at(begin) != QLatin1Char('t')))
            ++begin;
        if (begin == result.size())
            return result;
        int end = begin;
        while (end < result.size() && !literal[end] && result.at(end) == QLatin1Char('t'))
            ++end;

        // The zone may be wrapped in "(t)" or "[t]"; the wrapping goes with it.
        while (begin > 0 && end < result.size() && !literal[begin - 1] && !literal[end]
               && opensGroup(result.at(begin - 1)) && closesGroup(result.at(end))) {
            --begin;
            ++end;
        }
        // Separators that only set the zone apart: ", t" or " t" after the
        // time, "t " before it.
        if (begin > 0) {
            while (begin > 0 && !literal[begin - 1]
                   && (isBlank(result.at(begin - 1)) || result.at(begin - 1) == QLatin1Char(',')))
                --begin;
        } else {
            while (end < result.size() && !literal[end] && isBlank(result.at(end)))
                ++end;
        }
        result.remove(begin, end - begin);
    }
}

QString timeOfDayFormat(const QLocale& locale)
{
    return formatWithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString timeOfDayText(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, timeOfDayFormat(locale));
}

} // namespace tavelin
