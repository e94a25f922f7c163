// The History window on intervals from a list: bars and rows of the hours of
// a day across the end of summer time, periods of low coverage set apart,
// moving through days, months and years, the CSV of the rows shown, and
// what it says when the history cannot be read.
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_interval_source.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_wall_clock.h"
#include "ui/history/history_chart.h"
#include "ui/history/history_table.h"
#include "ui/history/history_window.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <ctime>

using namespace tavelin;
using namespace tavelin::test;

namespace {

std::int64_t utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
}

struct History {
    History()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        // 25 October 2026 up to 12:00 (13 hours, the repeated one too), then half an hour.
        for (std::int64_t q = utc("2026-10-24T22:00:00Z"); q < utc("2026-10-25T11:30:00Z"); q += kQuarterHourMs)
            intervals.add(q, 900);
        intervals.add(utc("2026-10-24T12:00:00Z"), 900); // 24 October, 14:00, a quarter of the hour
        window = std::make_unique<HistoryWindow>(&intervals, clock, files, messages);
        window->show();
    }
    QString cell(int row, int column) const { return window->table()->item(row, column)->text(); }
    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(QLatin1String(name)); }

    FakeIntervalSource intervals;
    FakeWallClock clock{QDate(2026, 10, 25), QTime(12, 40)};
    FakeFileDialog files;
    FakeMessageBox messages;
    std::unique_ptr<HistoryWindow> window;
};

TEST(HistoryWindow, TheHoursOfTheLongDayAsBarsAndRowsWithTheirTotal)
{
    History h;
    EXPECT_EQ(h.window->rangeTitle(), QStringLiteral("Sunday, 25 October 2026"));
    ASSERT_EQ(h.window->rows().size(), 25);
    EXPECT_EQ(h.window->chart()->fullBars().size(), 13);
    ASSERT_EQ(h.window->chart()->lowCoverageBars().size(), 12); // 12:00 half sampled, the rest not at all
    EXPECT_EQ(h.window->chart()->lowCoverageBars().first(), QPointF(13, 900 * 2 * 250.0 / 6900.0));
    EXPECT_EQ(h.window->table()->rowCount(), 26);
    EXPECT_EQ(h.cell(2, 1), QStringLiteral("2026-10-25T02:00:00+02:00"));
    EXPECT_EQ(h.cell(3, 1), QStringLiteral("2026-10-25T02:00:00+01:00"));
    EXPECT_EQ(h.cell(3, 0), h.cell(2, 0)); // the same hour of the clock, twice
    EXPECT_EQ(h.cell(13, 5), QStringLiteral("50.0 %"));
    EXPECT_EQ(QStringList({h.cell(25, 0), h.cell(25, 3), h.cell(25, 4), h.cell(25, 5)}),
              QStringList({"Total", "1,760.9", "48,600", "54.0 %"})); // of 90 000 s
    EXPECT_TRUE(h.window->table()->item(13, 0)->font().italic());
    EXPECT_FALSE(h.button("cmdNext")->isEnabled()); // the rest of today has not come
    EXPECT_TRUE(h.window->table()->accessibleName().startsWith(QStringLiteral("Liters by hour, Sunday")));
}

TEST(HistoryWindow, PreviousNextTodayAndTheScales)
{
    History h;
    QTest::mouseClick(h.button("cmdPrevious"), Qt::LeftButton);
    EXPECT_EQ(h.window->rows().size(), 24);
    EXPECT_EQ(h.window->chart()->lowCoverageBars().value(14).y(), 900 * 250.0 / 6900.0);
    EXPECT_TRUE(h.button("cmdNext")->isEnabled());
    h.window->showScale(HistoryScale::DaysOfMonth);
    EXPECT_EQ(h.window->rangeTitle(), QStringLiteral("October 2026"));
    EXPECT_EQ(h.window->rows().size(), 31);
    EXPECT_EQ(h.window->rows().at(24).period.seconds(), 90000);
    h.window->showScale(HistoryScale::MonthsOfYear);
    EXPECT_EQ(h.window->rows().size(), 12);
    h.window->showScale(HistoryScale::Years);
    EXPECT_EQ(h.window->rangeTitle(), QStringLiteral("2017 to 2026"));
    QTest::mouseClick(h.button("cmdPrevious"), Qt::LeftButton);
    EXPECT_EQ(h.window->rangeTitle(), QStringLiteral("2007 to 2016"));
    EXPECT_EQ(h.window->rows().last().sums.readings, 0);
    h.window->showScale(HistoryScale::HoursOfDay);
    QTest::mouseClick(h.button("cmdToday"), Qt::LeftButton);
    EXPECT_EQ(h.window->rangeTitle(), QStringLiteral("Sunday, 25 October 2026"));
}

TEST(HistoryWindow, ExportWritesTheRowsShownOrSaysWhyNot)
{
    History h;
    QTemporaryDir dir;
    h.files.answer = dir.filePath(QStringLiteral("today.csv"));
    QTest::mouseClick(h.button("cmdExport"), Qt::LeftButton);
    QFile written(h.files.answer);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    ASSERT_EQ(lines.size(), 27); // the header, 25 hours and nothing after the last CRLF
    EXPECT_EQ(lines[14], "2026-10-25T12:00:00+01:00,2026-10-25T13:00:00+01:00,65.217,1800,50.0,2.00,2.00,2.00\r");
    h.files.answer = dir.filePath(QStringLiteral("no/folder/today.csv"));
    h.window->exportCsv();
    ASSERT_EQ(h.messages.prompts.size(), 1);
    EXPECT_TRUE(h.messages.prompts.first().startsWith(h.files.answer + QStringLiteral(" was not saved: ")));
}

TEST(HistoryWindow, SaysWhyWhenThereIsNoHistoryToRead)
{
    History h;
    const auto problem = [&h] { return h.window->findChild<QLabel*>(QStringLiteral("lblProblem")); };
    EXPECT_TRUE(problem()->isHidden());
    h.intervals.failing = true;
    h.window->showToday();
    EXPECT_EQ(problem()->text(), QStringLiteral("The readings store cannot be read: disk I/O error."));
    EXPECT_TRUE(h.window->rows().isEmpty());
    EXPECT_EQ(h.window->table()->rowCount(), 0);
    EXPECT_FALSE(h.button("cmdExport")->isEnabled());
    h.window->setSource(nullptr);
    EXPECT_EQ(problem()->text(), QStringLiteral("The history is kept in the readings store, which is not open."));
}

} // namespace
