// Tick spacing of the instrument scales: readable steps for any full scale,
// and where the labelled ticks fall.

#include "platform/widgets/scale_ticks.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tavelin {
namespace {

bool isOneTwoFive(double step)
{
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    for (const double allowed : {1.0, 2.0, 5.0}) {
        if (std::fabs(mantissa - allowed) < 1e-6)
            return true;
    }
    return false;
}

class ReadableSpacing : public ::testing::TestWithParam<double> {};

TEST_P(ReadableSpacing, GivesFourToTenMajorDivisionsOfOneTwoOrFiveWithTwoToFiveMinorEach)
{
    const double maximum = GetParam();
    const TickSpacing spacing = readableSpacing(0.0, maximum);
    ASSERT_GT(spacing.major, 0.0);
    EXPECT_TRUE(isOneTwoFive(spacing.major)) << spacing.major;
    const double divisions = maximum / spacing.major;
    EXPECT_GE(divisions, 4.0) << spacing.major;
    EXPECT_LE(divisions, 10.0 + 1e-9) << spacing.major;
    const double minorPerMajor = spacing.major / spacing.minor;
    EXPECT_NEAR(minorPerMajor, std::round(minorPerMajor), 1e-9);
    EXPECT_GE(minorPerMajor, 2.0);
    EXPECT_LE(minorPerMajor, 5.0);
}

// The knob's ends and some turns between, the gauges' own scales, and small
// and large extremes.
INSTANTIATE_TEST_SUITE_P(FullScales, ReadableSpacing,
                         ::testing::Values(25.0, 30.0, 100.0, 135.0, 245.0, 400.0, 2.0, 5.0, 0.07, 1e6));

TEST(ReadableSpacingMatchesTheGaugesStartingScales, ZeroToTwoAndZeroToFive)
{
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 2.0).major, 0.2);
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 2.0).minor, 0.1);
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 5.0).major, 0.5);
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 5.0).minor, 0.25);
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 400.0).major, 50.0);
    EXPECT_DOUBLE_EQ(readableSpacing(0.0, 400.0).minor, 25.0);
}

TEST(ReadableSpacing, EmptyOrReversedRangeHasNoTicks)
{
    EXPECT_EQ(readableSpacing(0.0, 0.0).major, 0.0);
    EXPECT_EQ(readableSpacing(5.0, 1.0).major, 0.0);
}

TEST(BuildScaleDiv, TicksOnMultiplesWithoutRoundingDrift)
{
    const QwtScaleDiv div = buildScaleDiv(0.0, 2.0, {0.2, 0.1});
    const QList<double> majors = div.ticks(QwtScaleDiv::MajorTick);
    ASSERT_EQ(majors.size(), 11);
    EXPECT_DOUBLE_EQ(majors.first(), 0.0);
    EXPECT_DOUBLE_EQ(majors.last(), 2.0);
    EXPECT_EQ(div.ticks(QwtScaleDiv::MinorTick).size(), 10); // the odd tenths
}

TEST(BuildScaleDiv, KnobScaleLabelsRoundFiftiesAndKeepsTheStartAsMinorTick)
{
    const QwtScaleDiv div = buildScaleDiv(25.0, 400.0, {50.0, 25.0});
    EXPECT_EQ(div.ticks(QwtScaleDiv::MajorTick),
              QList<double>({50, 100, 150, 200, 250, 300, 350, 400}));
    EXPECT_EQ(div.ticks(QwtScaleDiv::MinorTick), QList<double>({25, 75, 125, 175, 225, 275, 325, 375}));
}

TEST(BuildScaleDiv, AnOddFullScaleIsLabelledAndCrowdingTickBecomesMinor)
{
    // 135 with steps of 20: 120 is far enough from 135 to keep its label.
    const QwtScaleDiv far = buildScaleDiv(0.0, 135.0, {20.0, 10.0});
    EXPECT_EQ(far.ticks(QwtScaleDiv::MajorTick), QList<double>({0, 20, 40, 60, 80, 100, 120, 135}));
    EXPECT_EQ(far.ticks(QwtScaleDiv::MinorTick), QList<double>({10, 30, 50, 70, 90, 110, 130}));

    // 125: 120 would crowd the label of 125 and stays as a minor tick.
    const QwtScaleDiv near = buildScaleDiv(0.0, 125.0, {20.0, 10.0});
    EXPECT_EQ(near.ticks(QwtScaleDiv::MajorTick), QList<double>({0, 20, 40, 60, 80, 100, 125}));
    EXPECT_EQ(near.ticks(QwtScaleDiv::MinorTick), QList<double>({10, 30, 50, 70, 90, 110, 120}));

    // 130 is a minor multiple: it is drawn once, as the labelled end.
    const QwtScaleDiv onMinor = buildScaleDiv(0.0, 130.0, {20.0, 10.0});
    EXPECT_EQ(onMinor.ticks(QwtScaleDiv::MajorTick).last(), 130.0);
    EXPECT_FALSE(onMinor.ticks(QwtScaleDiv::MinorTick).contains(130.0));
}

} // namespace
} // namespace tavelin
