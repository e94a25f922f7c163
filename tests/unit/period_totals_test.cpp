// Periods summed from quarter-hour intervals: coverage over a period's real
// length, gaps listed as empty periods, the same rows whether summed by the
// source or streamed; today's and this month's liters; the rows as CSV.
#include "fakes/fake_interval_source.h"
#include "history/csv_writer.h"
#include "history/glance_totals.h"
#include "history/period_csv.h"
#include "history/period_totals.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>

#include <ctime>

using namespace tavelin;
using tavelin::test::FakeIntervalSource;

namespace {

std::int64_t utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
}

class PeriodTotals : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        // 24 October: twelve full hours. 25 October (25 hours long): every
        // quarter hour full. 26 October: nothing. 27 October: one reading.
        for (std::int64_t q = utc("2026-10-23T22:00:00Z"); q < utc("2026-10-24T10:00:00Z"); q += kQuarterHourMs)
            source.add(q, 900, 2.0);
        for (std::int64_t q = utc("2026-10-24T22:00:00Z"); q < utc("2026-10-25T23:00:00Z"); q += kQuarterHourMs)
            source.add(q, 900, q == utc("2026-10-25T00:15:00Z") ? 8.0 : 1.0);
        source.add(utc("2026-10-27T12:00:00Z"), 1, 0.5);
    }

    std::int64_t from = utc("2026-10-23T22:00:00Z"); // 24 October, local midnight
    std::int64_t to = utc("2026-10-27T23:00:00Z");   // 28 October
    FakeIntervalSource source;
};

TEST_F(PeriodTotals, DaysCountCoverageOverTheirRealLengthAndListGaps)
{
    QVector<PeriodRow> rows;
    ASSERT_TRUE(periodRows(source, PeriodKind::Day, from, to, &rows));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_DOUBLE_EQ(rows[0].coveragePercent(), 50.0);
    EXPECT_EQ(rows[1].period.seconds(), 90000);
    EXPECT_EQ(rows[1].sums.readings, 90000);
    EXPECT_DOUBLE_EQ(rows[1].coveragePercent(), 100.0);
    EXPECT_EQ(rows[1].sums.minFlow, 1.0);
    EXPECT_EQ(rows[1].sums.maxFlow, 8.0);
    EXPECT_NEAR(rows[1].sums.meanFlow(), (99.0 + 8.0) / 100.0, 1e-12);
    EXPECT_EQ(rows[2].sums.readings, 0);
    EXPECT_EQ(rows[3].sums.readings, 1);
    std::int64_t centipulses = 0;
    for (const PeriodRow& row : rows)
        centipulses += row.sums.centipulses;
    EXPECT_EQ(centipulses, (48 * 900 + 100 * 900 + 1) * std::int64_t(25000));
}

TEST_F(PeriodTotals, StreamedRowsAreTheSummedRowsAndCutAtTheRange)
{
    struct Case {
        PeriodKind kind;
        std::int64_t from, to;
    };
    for (const Case& c : {Case{PeriodKind::Hour, from, to}, Case{PeriodKind::Day, from, to},
                          Case{PeriodKind::Week, from, to}, Case{PeriodKind::Month, from + 3600000, to},
                          Case{PeriodKind::Day, to, to}}) {
        QVector<PeriodRow> summed, streamed;
        ASSERT_TRUE(periodRows(source, c.kind, c.from, c.to, &summed));
        PeriodStream stream(c.kind, c.from, c.to, [&streamed](const PeriodRow& row) {
            streamed.append(row);
            return true;
        });
        for (const QuarterHour& interval : source.intervals)
            ASSERT_TRUE(stream.add(interval));
        ASSERT_TRUE(stream.finish());
        ASSERT_EQ(streamed.size(), summed.size()) << int(c.kind);
        for (int i = 0; i < summed.size(); ++i) {
            EXPECT_EQ(streamed[i].period, summed[i].period) << int(c.kind) << " row " << i;
            EXPECT_EQ(streamed[i].sums.centipulses, summed[i].sums.centipulses) << int(c.kind) << " row " << i;
            EXPECT_EQ(streamed[i].sums.readings, summed[i].sums.readings);
        }
        if (!summed.isEmpty()) {
            EXPECT_EQ(summed.first().period.startUtcMs, c.from);
            EXPECT_EQ(summed.last().period.endUtcMs, c.to);
        }
    }
}

TEST_F(PeriodTotals, TodayYesterdayThisMonthLastMonth)
{
    const std::optional<GlanceTotals> totals = glanceTotals(source, utc("2026-10-25T22:59:59Z"));
    ASSERT_TRUE(totals);
    const double litersPerFull = 900 * 250.0 / 6900.0;
    EXPECT_NEAR(totals->todayLiters, 100 * litersPerFull, 1e-6);
    EXPECT_NEAR(totals->yesterdayLiters, 48 * litersPerFull, 1e-6);
    EXPECT_NEAR(totals->thisMonthLiters, (148 + 1 / 900.0) * litersPerFull, 1e-6);
    EXPECT_EQ(totals->lastMonthLiters, 0.0);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(todayLine(*totals, english), QString::fromUtf8("Today: 3,260.9 L \u00b7 Yesterday: 1,565.2 L"));
    EXPECT_EQ(monthLine({0, 0, 1234.56, 0}, QLocale(QLocale::German)),
              QString::fromUtf8("This month: 1.234,6 L \u00b7 Last month: 0,0 L"));
    source.failing = true;
    EXPECT_FALSE(glanceTotals(source, utc("2026-10-25T12:00:00Z")));
}

TEST_F(PeriodTotals, CsvRowsWithOffsetsAndEmptyFlowsOfEmptyPeriods)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvWriter csv(buffer);
    QString error;
    ASSERT_TRUE(writePeriods(source, PeriodKind::Day, {}, {}, csv, &error)) << error.toStdString();
    const QList<QByteArray> lines = buffer.data().split('\n');
    ASSERT_EQ(lines.size(), 6); // header, four days, nothing after the last CRLF
    EXPECT_EQ(lines[0], "start,end,liters,readings,coverage_percent,min_flow_l_min,mean_flow_l_min,max_flow_l_min\r");
    EXPECT_EQ(lines[2], "2026-10-25T00:00:00+02:00,2026-10-26T00:00:00+01:00,3260.870,90000,100.0,1.00,1.07,8.00\r");
    EXPECT_EQ(lines[3], "2026-10-26T00:00:00+01:00,2026-10-27T00:00:00+01:00,0.000,0,0.0,,,\r");
}

TEST(CsvWriter, QuotesOnlyWhatNeedsItAndWritesNumbersTheSameInEveryLocale)
{
    QLocale::setDefault(QLocale(QLocale::German));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvWriter csv(buffer);
    csv.text(QStringLiteral("plain"));
    csv.text(QStringLiteral("a,b"));
    csv.text(QString::fromUtf8("say \"Grüße\"\r\nagain"));
    csv.number(1234567.125, 2);
    csv.number(-0.004, 2);
    csv.number(-2.5, 1);
    csv.integer(-9007199254740993);
    csv.empty();
    csv.endRow();
    ASSERT_TRUE(csv.flush());
    EXPECT_EQ(QString::fromUtf8(buffer.data()),
              QString::fromUtf8("plain,\"a,b\",\"say \"\"Grüße\"\"\r\nagain\",1234567.12,0.00,-2.5,-9007199254740993,\r\n"));
    QLocale::setDefault(QLocale::c());
}

} // namespace
