// The time of day in the locale's own format, without its time-zone token.
#include "platform/wall_clock.h"
#include "records/clock_watch.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace tavelin;

namespace {

struct LocaleCase {
    const char* locale;
    const char* format;
    const char* text; // 14:05:09
};

class TimeOfDayByLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(TimeOfDayByLocale, KeepsHoursMinutesSecondsAndDropsTheZone)
{
    const LocaleCase& c = GetParam();
    const QLocale locale(QString::fromUtf8(c.locale));
    EXPECT_EQ(timeOfDayFormat(locale).toStdString(), c.format);
    EXPECT_EQ(timeOfDayText(QTime(14, 5, 9), locale).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TimeOfDayByLocale,
    ::testing::Values(LocaleCase{"C", "HH:mm:ss", "14:05:09"},             // "HH:mm:ss t"
                      LocaleCase{"de_DE", "HH:mm:ss", "14:05:09"},         // "HH:mm:ss t"
                      LocaleCase{"en_GB", "HH:mm:ss", "14:05:09"},         //
                      LocaleCase{"en_US", "h:mm:ss AP", "2:05:09 PM"},     // "h:mm:ss AP t"
                      LocaleCase{"ca_ES", "H:mm:ss", "14:05:09"},          // "H:mm:ss (t)"
                      LocaleCase{"sq_AL", "h:mm:ss AP", "2:05:09 E PASDITES"},   // "h:mm:ss AP, t"
                      LocaleCase{"zh_HK", "APh:mm:ss", "下午2:05:09"},     // "APh:mm:ss [t]"
                      LocaleCase{"zh_CN", "APh:mm:ss", "下午2:05:09"},     // "t APh:mm:ss"
                      LocaleCase{"nn_NO", "'kl'. HH:mm:ss", "kl. 14:05:09"}, // literal in front
                      LocaleCase{"fr_CA", "HH 'h' mm 'min' ss 's'", "14 h 05 min 09 s"}),
    [](const ::testing::TestParamInfo<LocaleCase>& info) { return std::string(info.param.locale); });

struct FormatCase {
    const char* name;
    const char* in;
    const char* out;
};

class ZoneStripping : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ZoneStripping, RemovesOnlyUnquotedZoneRuns)
{
    EXPECT_EQ(formatWithoutTimeZone(QString::fromUtf8(GetParam().in)).toStdString(), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ZoneStripping,
    ::testing::Values(FormatCase{"NoZone", "HH:mm:ss", "HH:mm:ss"},
                      FormatCase{"QuotedTStays", "H 'et' mm 'tt' ss t", "H 'et' mm 'tt' ss"},
                      FormatCase{"EscapedQuoteIsNotALiteral", "HH''mm t", "HH''mm"},
                      FormatCase{"QuoteInsideLiteral", "H 'o''t' mm t", "H 'o''t' mm"},
                      FormatCase{"LongRun", "HH:mm:ss tttt", "HH:mm:ss"},
                      FormatCase{"Parenthesised", "HH:mm:ss (t)", "HH:mm:ss"},
                      FormatCase{"Bracketed", "HH:mm:ss [t]", "HH:mm:ss"},
                      FormatCase{"CommaBefore", "HH:mm:ss, t", "HH:mm:ss"},
                      FormatCase{"Leading", "t HH:mm:ss", "HH:mm:ss"},
                      FormatCase{"InTheMiddle", "HH:mm t ss", "HH:mm ss"},
                      FormatCase{"Twice", "t HH:mm:ss t", "HH:mm:ss"},
                      FormatCase{"UnbalancedBracketStays", "(HH:mm:ss t", "(HH:mm:ss"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Strips the literals, leaving the fields that the format really uses.
QString fieldsOf(const QString& format)
{
    QString fields = format;
    fields.remove(QRegularExpression(QStringLiteral("'[^']*'")));
    return fields;
}

TEST(TimeOfDayFormat, EveryKnownLocaleShowsHoursMinutesAndSecondsButNoZone)
{
    const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const QString format = timeOfDayFormat(locale);
        const QString fields = fieldsOf(format);
        SCOPED_TRACE(locale.name().toStdString() + " " + format.toStdString());
        EXPECT_FALSE(fields.contains(QLatin1Char('t')));
        EXPECT_TRUE(fields.contains(QLatin1Char('h'), Qt::CaseInsensitive));
        EXPECT_TRUE(fields.contains(QLatin1Char('m')));
        EXPECT_TRUE(fields.contains(QLatin1Char('s')));
        EXPECT_EQ(format, format.trimmed());
        EXPECT_FALSE(fields.contains(QLatin1String("()")) || fields.contains(QLatin1String("[]")));
    }
}

TEST(TimeOfDayText, MidnightAndNoonInBothClocks)
{
    const QLocale us(QStringLiteral("en_US"));
    const QLocale de(QStringLiteral("de_DE"));
    EXPECT_EQ(timeOfDayText(QTime(0, 0, 0), us).toStdString(), "12:00:00 AM");
    EXPECT_EQ(timeOfDayText(QTime(12, 0, 1), us).toStdString(), "12:00:01 PM");
    EXPECT_EQ(timeOfDayText(QTime(0, 0, 0), de).toStdString(), "00:00:00");
    EXPECT_EQ(timeOfDayText(QTime(23, 59, 59, 999), de).toStdString(), "23:59:59");
}

} // namespace

namespace {

// The wall clock watched against the monotonic counter, look after look.
TEST(ClockWatch, NamesAStepOfMoreThanTwoSecondsEitherWay)
{
    const struct {
        const char* name;
        std::int64_t wallMs;
        std::uint32_t ticks;
        std::int64_t stepMs; // 0: none
    } looks[] = {
        {"the first look starts the watch", 1'000'000, 4'294'966'000u, 0},
        {"a second later on both, the counter wrapping", 1'001'000, 704u, 0},
        {"slewed by 2 s: no step", 1'004'000, 1'704u, 0},
        {"set forward an hour", 4'605'000, 2'704u, 3'600'000},
        {"set back 2.5 s", 4'603'500, 3'704u, -2'500},
        {"a late look, both moved alike", 4'663'500, 63'704u, 0},
    };
    ClockWatch watch;
    for (const auto& look : looks) {
        SCOPED_TRACE(look.name);
        const std::optional<ClockStep> step = watch.look(look.wallMs, look.ticks);
        EXPECT_EQ(step ? step->stepMs() : 0, look.stepMs);
        if (step)
            EXPECT_EQ(step->foundMs, look.wallMs);
    }
}

} // namespace
