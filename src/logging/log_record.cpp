#include "log_record.h"

#include "platform/number_text.h"

#include <QFile>

namespace tavelin {

namespace {

const char kTerminator[] = "\r\n";
const char kProgramTitle[] = "Veltrane Logging Program";
const char kVersionText[] = "1.0";
const char kColumnNames[] = "Time, Frequency, Liters / min, Total Liters";

} // namespace

LogRecord& LogRecord::text(const QString& text)
{
    return textBytes(text.toUtf8());
}

LogRecord& LogRecord::textBytes(const QByteArray& bytes)
{
    items_.append('"' + bytes + '"');
    return *this;
}

LogRecord& LogRecord::number(double value)
{
    items_.append(plainDecimalText(value).toLatin1());
    return *this;
}

LogRecord& LogRecord::date(const QDate& date)
{
    // Formatted by hand: QDate::toString would pick up the locale's digits.
    items_.append(QByteArray("#") + QByteArray::number(date.year()).rightJustified(4, '0') + '-'
                  + QByteArray::number(date.month()).rightJustified(2, '0') + '-'
                  + QByteArray::number(date.day()).rightJustified(2, '0') + '#');
    return *this;
}

QByteArray LogRecord::bytes() const
{
    QByteArray line;
    for (int i = 0; i < items_.size(); ++i) {
        if (i > 0)
            line += ',';
        line += items_.at(i);
    }
    return line + kTerminator;
}

QList<QByteArray> logHeaderRecords(const QString& path, const QDate& today)
{
    return {
        LogRecord().bytes(),
        LogRecord().text(QLatin1String(kProgramTitle)).date(today).bytes(),
        LogRecord().text(QStringLiteral("Version: ") + QLatin1String(kVersionText)).bytes(),
        LogRecord().bytes(),
        LogRecord().textBytes("Log File: " + QFile::encodeName(path)).bytes(),
        LogRecord().bytes(),
        LogRecord().text(QLatin1String(kColumnNames)).bytes(),
        LogRecord().bytes(),
    };
}

QByteArray logDataRow(const QString& timeOfDay, double frequency, double litersPerMin, const QString& litersText)
{
    return LogRecord().text(timeOfDay).number(frequency).number(litersPerMin).text(litersText).bytes();
}

} // namespace tavelin
