// Log records as bytes: how items are written and joined, and the exact
// header block and data row.
#include "logging/log_record.h"
#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <limits>

using namespace tavelin;

namespace {

std::string str(const QByteArray& bytes) { return bytes.toStdString(); }

struct NumberCase {
    const char* name;
    double value;
    const char* text;
};

class NumberItem : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberItem, IsPlainDecimalWithAPeriod)
{
    EXPECT_EQ(plainDecimalText(GetParam().value).toStdString(), GetParam().text);
    EXPECT_EQ(str(LogRecord().number(GetParam().value).bytes()), std::string(GetParam().text) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberItem,
    ::testing::Values(NumberCase{"Zero", 0.0, "0"}, NumberCase{"NegativeZero", -0.0, "0"},
                      NumberCase{"Whole", 72.0, "72"}, NumberCase{"NoThousandsSeparator", 90000.0, "90000"},
                      NumberCase{"OneDecimal", 251.5, "251.5"}, NumberCase{"TwoDecimals", 2.17, "2.17"},
                      NumberCase{"Rate", 782.61, "782.61"}, NumberCase{"LeadingZero", 0.63, "0.63"},
                      NumberCase{"Eighth", 0.125, "0.125"}, NumberCase{"NegativeHalf", -0.5, "-0.5"},
                      NumberCase{"BinaryNoise", 0.1 + 0.2, "0.3"}, NumberCase{"Tiny", 1e-7, "0.0000001"},
                      NumberCase{"TinyNegative", -1.5e-10, "-0.00000000015"},
                      NumberCase{"RoundedTo15Digits", 123456789012345678.0, "123456789012346000"},
                      NumberCase{"FifteenDigitsKept", 1234567.89012345, "1234567.89012345"},
                      NumberCase{"Huge", 1e21, "1000000000000000000000"},
                      NumberCase{"RoundsUpToNextPower", 9.9999999999999999e5, "1000000"},
                      NumberCase{"NegativeWhole", -40.0, "-40"}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

TEST(NumberItem, ExtremeMagnitudesNeverUseAnExponent)
{
    const double smallest = std::numeric_limits<double>::min(); // 2.2250738585072014e-308
    const double largest = std::numeric_limits<double>::max();  // 1.7976931348623157e308
    EXPECT_EQ(plainDecimalText(smallest), QStringLiteral("0.") + QString(307, QLatin1Char('0')) + "22250738585072");
    EXPECT_EQ(plainDecimalText(-largest), QStringLiteral("-179769313486232") + QString(294, QLatin1Char('0')));
}

TEST(NumberItem, UsesAPeriodWhateverTheDefaultLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string written = str(LogRecord().number(2.17).number(1234.5).bytes());
    QLocale::setDefault(saved);
    EXPECT_EQ(written, "2.17,1234.5\r\n");
}

TEST(LogRecordItems, JoinWithOneCommaAndEndInCrLf)
{
    EXPECT_EQ(str(LogRecord().bytes()), "\r\n");
    EXPECT_EQ(str(LogRecord().text("a").bytes()), "\"a\"\r\n");
    EXPECT_EQ(str(LogRecord().text("a").number(1).date(QDate(2026, 12, 7)).text("").bytes()),
              "\"a\",1,#2026-12-07#,\"\"\r\n");
}

TEST(LogRecordItems, TextIsQuotedButNothingInsideIsEscaped)
{
    EXPECT_EQ(str(LogRecord().text(QStringLiteral("say \"hi\", then, go")).bytes()),
              "\"say \"hi\", then, go\"\r\n");
    EXPECT_EQ(str(LogRecord().text(QStringLiteral("Grüße ∑")).bytes()), "\"Gr\xC3\xBC\xC3\x9F" "e \xE2\x88\x91\"\r\n");
    EXPECT_EQ(str(LogRecord().textBytes(QByteArray("\xFF\x01", 2)).bytes()), "\"\xFF\x01\"\r\n");
}

TEST(LogRecordItems, DatesArePaddedToFourAndTwoDigits)
{
    EXPECT_EQ(str(LogRecord().date(QDate(2026, 1, 2)).bytes()), "#2026-01-02#\r\n");
    EXPECT_EQ(str(LogRecord().date(QDate(987, 11, 30)).bytes()), "#0987-11-30#\r\n");
}

TEST(LogHeader, IsTheEightRecordsOfTheFileFormat)
{
    const QList<QByteArray> header = logHeaderRecords(QStringLiteral("C:\\Flow\\run1.txt"), QDate(2026, 12, 7));
    ASSERT_EQ(header.size(), 8);
    EXPECT_EQ(str(header.join()), "\r\n"
                                  "\"Veltrane Logging Program\",#2026-12-07#\r\n"
                                  "\"Version: 1.0\"\r\n"
                                  "\r\n"
                                  "\"Log File: C:\\Flow\\run1.txt\"\r\n"
                                  "\r\n"
                                  "\"Time, Frequency, Liters / min, Total Liters\"\r\n"
                                  "\r\n");
}

TEST(LogHeader, PathStandsAsTheFileIsNamed)
{
    const QString path = QStringLiteral("/tmp/Mess \"daten\", Lauf 1/öl €.txt");
    const QByteArray record = logHeaderRecords(path, QDate(2026, 12, 7)).at(4);
    EXPECT_EQ(str(record), str("\"Log File: " + QFile::encodeName(path) + "\"\r\n"));
    EXPECT_TRUE(record.contains("\xC3\xB6l \xE2\x82\xAC.txt")); // UTF-8 file names on this system
}

TEST(LogDataRow, HasFourItemsWithTheMiddleTwoBare)
{
    EXPECT_EQ(str(logDataRow(QStringLiteral("14:05:09"), 250, 2.17, QStringLiteral("13.5"))),
              "\"14:05:09\",250,2.17,\"13.5\"\r\n");
    EXPECT_EQ(str(logDataRow(QStringLiteral("2:05:09 PM"), 0, 0, QStringLiteral("000"))),
              "\"2:05:09 PM\",0,0,\"000\"\r\n");
    EXPECT_EQ(str(logDataRow(QStringLiteral("14:05:09"), 0.1, -0.0, QStringLiteral("1,5"))),
              "\"14:05:09\",0.1,0,\"1,5\"\r\n");
}

} // namespace
