#pragma once
// The calendar clock and the system's default time-of-day format.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

namespace tavelin {

class WallClock {
public:
    virtual ~WallClock() = default;
    virtual QDate currentDate() = 0;
    virtual QTime currentTime() = 0;
    // The date and time in one reading, as milliseconds since the epoch (UTC).
    virtual qint64 currentMSecsSinceEpoch() { return QDateTime(currentDate(), currentTime()).toMSecsSinceEpoch(); }
};

class SystemWallClock : public WallClock {
public:
    QDate currentDate() override { return QDate::currentDate(); }
    QTime currentTime() override { return QTime::currentTime(); }
    qint64 currentMSecsSinceEpoch() override { return QDateTime::currentMSecsSinceEpoch(); }
};

// A Qt time format without its time-zone token: unquoted runs of 't' go,
// with the brackets around them and the blanks or comma that set them apart;
// '...' literals are left alone.
QString formatWithoutTimeZone(const QString& format);

// The locale's default time format with hours, minutes and seconds and no
// time zone: "14:05:09" in a 24-hour locale, "2:05:09 PM" in a 12-hour one.
QString timeOfDayFormat(const QLocale& locale = QLocale::system());
QString timeOfDayText(const QTime& time, const QLocale& locale = QLocale::system());

} // namespace tavelin
