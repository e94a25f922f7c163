// The slide gauge: values outside the scale are kept as given and survive
// scale changes, the scale stays readable after a new maximum, the operator
// cannot move it, and the channel fill is drawn from the minimum to the value.

#include "cw_snapshot.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/gauge_slider.h"

#include <QTest>
#include <qwt_scale_div.h>
#include <gtest/gtest.h>
#include <memory>

namespace tavelin {
namespace {

const QSize kGaugeSize(85, 285); // 1272 x 4272 twips
const QColor kFill(0, 65, 220);
const QColor kChannel(109, 109, 131);

std::unique_ptr<CWSlide> makeGauge(const QString& caption, double maximum, double major, double minor)
{
    auto gauge = std::make_unique<CWSlide>();
    gauge->setCaption(caption);
    gauge->setAxis(0.0, maximum, major, minor);
    gauge->resize(kGaugeSize);
    gauge->show(); // lays out the caption and pointer at once
    return gauge;
}

TEST(CWSlideValue, AboveTheScaleIsKeptAcrossLaterMaximumChanges)
{
    auto gauge = makeGauge(QStringLiteral("Total Liters"), 2.0, 0.2, 0.1);
    gauge->setValue(3.0);
    EXPECT_EQ(gauge->value(), 3.0);
    EXPECT_EQ(gauge->pointer()->value(), 2.0); // the thumb rests at the end

    gauge->setAxisMaximum(100.0);
    EXPECT_EQ(gauge->value(), 3.0);
    EXPECT_EQ(gauge->pointer()->value(), 3.0);
    EXPECT_EQ(gauge->axisMinimum(), 0.0);
    EXPECT_EQ(gauge->axisMaximum(), 100.0);

    gauge->setAxisMaximum(2.0);
    EXPECT_EQ(gauge->value(), 3.0);
    gauge->setAxisMaximum(25.0);
    EXPECT_EQ(gauge->value(), 3.0);
    EXPECT_EQ(gauge->pointer()->value(), 3.0);
}

TEST(CWSlideAxis, NewMaximumGetsReadableTicksAndLabelsItsEnd)
{
    auto gauge = makeGauge(QStringLiteral("Total Liters"), 2.0, 0.2, 0.1);
    for (const double maximum : {25.0, 100.0, 400.0, 135.0}) {
        gauge->setAxisMaximum(maximum);
        const QwtScaleDiv& div = gauge->pointer()->scaleDiv();
        const QList<double> majors = div.ticks(QwtScaleDiv::MajorTick);
        EXPECT_EQ(div.lowerBound(), 0.0) << maximum;
        EXPECT_EQ(div.upperBound(), maximum) << maximum;
        EXPECT_GE(majors.size(), 5) << maximum;
        EXPECT_LE(majors.size(), 11) << maximum;
        EXPECT_EQ(majors.first(), 0.0) << maximum;
        EXPECT_EQ(majors.last(), maximum) << maximum;
        const int minorsPerDivision = div.ticks(QwtScaleDiv::MinorTick).size() / (majors.size() - 1);
        EXPECT_GE(minorsPerDivision, 1) << maximum;
        EXPECT_LE(minorsPerDivision, 4) << maximum;
    }
}

TEST(CWSlide, OperatorCannotMoveTheThumb)
{
    auto gauge = makeGauge(QStringLiteral("L/min"), 5.0, 0.5, 0.25);
    gauge->setValue(1.0);
    auto* pointer = const_cast<GaugeSlider*>(gauge->pointer());
    const QPoint nearTop = pointer->channelRect().center() - QPoint(0, pointer->channelRect().height() / 3);

    QTest::mouseClick(pointer, Qt::LeftButton, Qt::NoModifier, nearTop);
    QTest::keyClick(gauge.get(), Qt::Key_Up);
    QTest::keyClick(pointer, Qt::Key_PageUp);
    EXPECT_EQ(gauge->value(), 1.0);
    EXPECT_EQ(pointer->value(), 1.0);
}

// Samples the channel's middle column from the bottom up and sorts each pixel
// into fill, bare channel or something else (the thumb).
struct ChannelColumn {
    int fill = 0;
    int bare = 0;
    int highestFill = -1;  // y of the topmost fill pixel
    int lowestBare = -1;   // y of the lowest bare pixel
};

ChannelColumn sampleChannel(CWSlide& gauge)
{
    const QImage image = gauge.grab().toImage();
    const GaugeSlider* pointer = gauge.pointer();
    const QRect channel = pointer->channelRect().translated(pointer->mapTo(&gauge, QPoint(0, 0)));
    ChannelColumn column;
    const int x = channel.center().x();
    for (int y = channel.bottom(); y >= channel.top(); --y) {
        const QColor colour = image.pixelColor(x, y);
        if (colour == kFill) {
            ++column.fill;
            column.highestFill = y;
        } else if (colour == kChannel) {
            ++column.bare;
            if (column.lowestBare < 0)
                column.lowestBare = y;
        }
    }
    return column;
}

TEST(CWSlideDrawing, FilledBlueBelowTheValueAndBareAbove)
{
    auto gauge = makeGauge(QStringLiteral("Total Liters"), 2.0, 0.2, 0.1);
    gauge->setValue(1.0);
    const ChannelColumn column = sampleChannel(*gauge);
    ASSERT_GT(column.fill, 0);
    ASSERT_GT(column.bare, 0);
    EXPECT_LT(column.lowestBare, column.highestFill); // all bare pixels lie above the fill
    // Halfway: the two parts are about as long, the thumb hiding a little of each.
    EXPECT_NEAR(column.fill, column.bare, 6);
    test::saveSnapshot(*gauge, QStringLiteral("gauge-total-half"));
}

TEST(CWSlideDrawing, AboveTheMaximumTheWholeChannelIsFilled)
{
    auto gauge = makeGauge(QStringLiteral("Total Liters"), 2.0, 0.2, 0.1);
    gauge->setValue(3.0);
    const ChannelColumn column = sampleChannel(*gauge);
    EXPECT_GT(column.fill, 0);
    EXPECT_EQ(column.bare, 0);
    test::saveSnapshot(*gauge, QStringLiteral("gauge-total-over"));

    // Raising the maximum above the kept value brings the bare part back.
    gauge->setAxisMaximum(25.0);
    EXPECT_GT(sampleChannel(*gauge).bare, 0);
    test::saveSnapshot(*gauge, QStringLiteral("gauge-total-max25"));
}

TEST(CWSlideDrawing, AtOrBelowTheMinimumNothingIsFilled)
{
    auto gauge = makeGauge(QStringLiteral("L/min"), 5.0, 0.5, 0.25);
    for (const double value : {0.0, -2.0}) {
        gauge->setValue(value);
        EXPECT_EQ(gauge->value(), value); // kept, though the thumb rests at 0
        const ChannelColumn column = sampleChannel(*gauge);
        EXPECT_EQ(column.fill, 0) << value;
        EXPECT_GT(column.bare, 0) << value;
    }
    test::saveSnapshot(*gauge, QStringLiteral("gauge-flow-below"));
}

TEST(CWSlideDrawing, ThumbIsNearWhite)
{
    auto gauge = makeGauge(QStringLiteral("L/min"), 5.0, 0.5, 0.25);
    gauge->setValue(2.5);
    const GaugeSlider* pointer = gauge->pointer();
    const QPoint thumbSpot(pointer->channelRect().left() + 3, pointer->transform(2.5) - 2);
    EXPECT_EQ(test::pixelAt(*gauge, pointer->mapTo(gauge.get(), thumbSpot)), QColor(250, 250, 250));
    gauge->setAxisMaximum(400.0);
    test::saveSnapshot(*gauge, QStringLiteral("gauge-max400"));
}

} // namespace
} // namespace tavelin
