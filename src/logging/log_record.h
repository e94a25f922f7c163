#pragma once
// The log file's records as bytes: items joined by single commas, text in
// double quotes with nothing escaped, numbers in plain decimal with a period,
// dates as #YYYY-MM-DD#, every record ended by CR LF.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

namespace tavelin {

class LogRecord {
public:
    // Text in UTF-8.
    LogRecord& text(const QString& text);
    // Text already encoded, placed between the quotes unchanged.
    LogRecord& textBytes(const QByteArray& bytes);
    LogRecord& number(double value);
    LogRecord& date(const QDate& date);

    // The record with its terminator; a record without items is an empty line.
    QByteArray bytes() const;

private:
    QList<QByteArray> items_;
};

// The eight records that open every logging run. The path stands in the
// file-system encoding, byte for byte as the file was named.
QList<QByteArray> logHeaderRecords(const QString& path, const QDate& today);

// One data row: time of day, frequency, flow rate, and the total as displayed.
QByteArray logDataRow(const QString& timeOfDay, double frequency, double litersPerMin, const QString& litersText);

} // namespace tavelin
