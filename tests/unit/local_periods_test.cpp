// Periods of local time: their bounds and real lengths across changes to and
// from summer time, in zones a quarter or half hour off the hour, and ISO
// weeks across a year's end; the dates and times the export takes.
#include "history/civil_time.h"
#include "history/export_request.h"
#include "history/local_periods.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <ctime>

using namespace tavelin;

namespace {

void useZone(const char* zone)
{
    qputenv("TZ", zone);
    tzset();
}

std::int64_t utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
}

struct PeriodCase {
    const char* name;
    const char* zone;
    PeriodKind kind;
    const char* instant; // UTC
    const char* start;   // local, with its offset
    const char* end;
    std::int64_t seconds;
};

class PeriodBounds : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(PeriodBounds, StartAndEndInLocalTimeWithTheRealLength)
{
    const PeriodCase& c = GetParam();
    useZone(c.zone);
    const Period period = periodContaining(c.kind, utc(c.instant));
    EXPECT_EQ(localIsoText(period.startUtcMs).toStdString(), c.start);
    EXPECT_EQ(localIsoText(period.endUtcMs).toStdString(), c.end);
    EXPECT_EQ(period.seconds(), c.seconds);
    EXPECT_EQ(periodBefore(c.kind, periodAfter(c.kind, period)), period);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, PeriodBounds,
    ::testing::Values(
        PeriodCase{"BerlinLongDay", "Europe/Berlin", PeriodKind::Day, "2026-10-25T12:00:00Z",
                   "2026-10-25T00:00:00+02:00", "2026-10-26T00:00:00+01:00", 90000},
        PeriodCase{"BerlinShortDay", "Europe/Berlin", PeriodKind::Day, "2026-03-28T23:30:00Z",
                   "2026-03-29T00:00:00+01:00", "2026-03-30T00:00:00+02:00", 82800},
        PeriodCase{"BerlinFirstOfTheRepeatedHour", "Europe/Berlin", PeriodKind::Hour, "2026-10-25T00:45:00Z",
                   "2026-10-25T02:00:00+02:00", "2026-10-25T02:00:00+01:00", 3600},
        PeriodCase{"BerlinSecondOfTheRepeatedHour", "Europe/Berlin", PeriodKind::Hour, "2026-10-25T01:00:00Z",
                   "2026-10-25T02:00:00+01:00", "2026-10-25T03:00:00+01:00", 3600},
        PeriodCase{"BerlinHourBeforeTheGap", "Europe/Berlin", PeriodKind::Hour, "2026-03-29T00:59:59Z",
                   "2026-03-29T01:00:00+01:00", "2026-03-29T03:00:00+02:00", 3600},
        PeriodCase{"BerlinWeekWithTheLongDay", "Europe/Berlin", PeriodKind::Week, "2026-10-21T09:00:00Z",
                   "2026-10-19T00:00:00+02:00", "2026-10-26T00:00:00+01:00", 7 * 86400 + 3600},
        PeriodCase{"BerlinMonth", "Europe/Berlin", PeriodKind::Month, "2026-10-31T22:59:59Z",
                   "2026-10-01T00:00:00+02:00", "2026-11-01T00:00:00+01:00", 31 * 86400 + 3600},
        PeriodCase{"BerlinYearBothChanges", "Europe/Berlin", PeriodKind::Year, "2026-06-01T00:00:00Z",
                   "2026-01-01T00:00:00+01:00", "2027-01-01T00:00:00+01:00", 365 * 86400},
        PeriodCase{"KathmanduHour", "Asia/Kathmandu", PeriodKind::Hour, "2026-01-01T00:00:00Z",
                   "2026-01-01T05:00:00+05:45", "2026-01-01T06:00:00+05:45", 3600},
        PeriodCase{"KathmanduDayBeforeUtcMidnight", "Asia/Kathmandu", PeriodKind::Day, "2025-12-31T18:14:59Z",
                   "2025-12-31T00:00:00+05:45", "2026-01-01T00:00:00+05:45", 86400},
        PeriodCase{"IsoWeekOfNewYearsDay2027", "UTC", PeriodKind::Week, "2027-01-01T12:00:00Z",
                   "2026-12-28T00:00:00+00:00", "2027-01-04T00:00:00+00:00", 7 * 86400},
        PeriodCase{"IsoWeekOfNewYearsDay2026", "UTC", PeriodKind::Week, "2026-01-01T00:00:00Z",
                   "2025-12-29T00:00:00+00:00", "2026-01-05T00:00:00+00:00", 7 * 86400},
        PeriodCase{"SantiagoMidnightSkipped", "America/Santiago", PeriodKind::Day, "2026-09-06T12:00:00Z",
                   "2026-09-06T01:00:00-03:00", "2026-09-07T00:00:00-03:00", 82800},
        PeriodCase{"SantiagoLongSaturday", "America/Santiago", PeriodKind::Day, "2026-04-05T03:30:00Z",
                   "2026-04-04T00:00:00-03:00", "2026-04-05T00:00:00-04:00", 90000},
        PeriodCase{"LordHoweHalfHourForward", "Australia/Lord_Howe", PeriodKind::Day, "2026-10-04T06:00:00Z",
                   "2026-10-04T00:00:00+10:30", "2026-10-05T00:00:00+11:00", 84600},
        PeriodCase{"LordHoweShortHour", "Australia/Lord_Howe", PeriodKind::Hour, "2026-10-03T15:40:00Z",
                   "2026-10-04T02:30:00+11:00", "2026-10-04T03:00:00+11:00", 1800}),
    [](const ::testing::TestParamInfo<PeriodCase>& info) { return std::string(info.param.name); });

TEST(PeriodTiling, EveryKindTilesAYearOnWholeQuarterHoursInEveryZone)
{
    for (const char* zone : {"Europe/Berlin", "Asia/Kathmandu", "Australia/Lord_Howe", "America/Santiago", "UTC"}) {
        useZone(zone);
        for (PeriodKind kind : {PeriodKind::Hour, PeriodKind::Day, PeriodKind::Week, PeriodKind::Month}) {
            Period period = periodContaining(kind, utc("2026-01-01T00:00:00Z"));
            while (period.startUtcMs < utc("2027-01-01T00:00:00Z")) {
                const Period next = periodAfter(kind, period);
                ASSERT_EQ(next.startUtcMs, period.endUtcMs) << zone << " " << int(kind);
                ASSERT_GT(period.seconds(), 0);
                ASSERT_EQ(period.startUtcMs % 900000, 0) << zone << " " << int(kind);
                ASSERT_EQ(periodContaining(kind, period.endUtcMs - 1), period) << zone;
                period = next;
            }
        }
    }
}

struct TimeCase {
    const char* name;
    const char* zone;
    const char* text;
    const char* utc; // empty: not a DATE
};

class ExportTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ExportTimes, LocalDatesAndIsoTimes)
{
    const TimeCase& c = GetParam();
    useZone(c.zone);
    const std::optional<std::int64_t> time = exportTimeFrom(QString::fromLatin1(c.text));
    if (*c.utc == '\0') {
        EXPECT_FALSE(time) << *time;
        return;
    }
    ASSERT_TRUE(time);
    char text[kIsoTextMax];
    EXPECT_EQ(std::string(text, writeIsoUtc(text, *time)), c.utc);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExportTimes,
    ::testing::Values(TimeCase{"LocalMidnight", "Europe/Berlin", "2026-10-25", "2026-10-24T22:00:00.000Z"},
                      TimeCase{"MidnightSkipped", "America/Santiago", "2026-09-06", "2026-09-06T04:00:00.000Z"},
                      TimeCase{"RepeatedTimeIsTheFirst", "Europe/Berlin", "2026-10-25T02:30", "2026-10-25T00:30:00.000Z"},
                      TimeCase{"SkippedTimeIsTheGapsEnd", "Europe/Berlin", "2026-03-29T02:30", "2026-03-29T01:00:00.000Z"},
                      TimeCase{"Offset", "Europe/Berlin", "2026-10-25T06:00:00+01:00", "2026-10-25T05:00:00.000Z"},
                      TimeCase{"QuarterOffset", "UTC", "2026-01-01T06:00:00.5+05:45", "2026-01-01T00:15:00.500Z"},
                      TimeCase{"Zulu", "Asia/Kathmandu", "2026-10-25T06:07:08Z", "2026-10-25T06:07:08.000Z"},
                      TimeCase{"NoSuchDate", "UTC", "2026-13-45", ""},
                      TimeCase{"NoSuchHour", "UTC", "2026-10-25T24:00", ""},
                      TimeCase{"NotIso", "UTC", "25.10.2026", ""},
                      TimeCase{"Empty", "UTC", "", ""}),
    [](const ::testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.name); });

TEST(CivilTime, DaysAndTextAgreeWithQtAcrossCenturies)
{
    // From the year 53 on: Qt counts no year 0.
    for (std::int64_t days = -700000; days < 800000; days += 997) {
        const CivilDate date = civilFromDays(days);
        const QDate qt = QDate(1970, 1, 1).addDays(days);
        ASSERT_EQ(std::make_tuple(date.year, date.month, date.day), std::make_tuple(qt.year(), qt.month(), qt.day()));
        ASSERT_EQ(daysFromCivil(date), days);
        ASSERT_EQ(isoWeekday(days), qt.dayOfWeek());
    }
    char text[kIsoTextMax];
    EXPECT_EQ(std::string(text, writeIsoUtc(text, -1)), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(std::string(text, writeIsoLocal(text, 0, -(3 * 3600 + 30 * 60))), "1970-01-01T00:00:00-03:30");
}

} // namespace
