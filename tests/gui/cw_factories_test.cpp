// The six widgets as the main window gets them: names, texts, scales,
// starting values and action, and the faces they are drawn in.

#include "cw_snapshot.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/fonts.h"
#include "platform/widgets/gauge_slider.h"
#include "ui/main/instrument_widgets.h"

#include <QFontInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <qwt_knob.h>
#include <qwt_scale_div.h>

namespace tavelin {
namespace {

struct SwitchRow {
    CWButton* (*make)(QWidget*);
    const char* name;
    const char* accessibleName;
    const char* offText;
    const char* onText;
    bool staysOnAfterClick;
};

void PrintTo(const SwitchRow& row, std::ostream* out) { *out << row.name; }

class Switches : public ::testing::TestWithParam<SwitchRow> {};

TEST_P(Switches, ConfiguredAsTheWindowNeedsThem)
{
    const SwitchRow& row = GetParam();
    std::unique_ptr<CWButton> button(row.make(nullptr));
    button->resize(73, 21);
    EXPECT_EQ(button->objectName(), QString::fromLatin1(row.name));
    EXPECT_EQ(button->accessibleName(), QString::fromLatin1(row.accessibleName));
    EXPECT_EQ(button->font().family(), instrumentFont().family());
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 7.8);
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(button->text(), QString::fromLatin1(row.offText));
    EXPECT_FALSE(test::saveSnapshot(*button, QStringLiteral("%1-off").arg(row.name)).isEmpty());

    QTest::mouseClick(button.get(), Qt::LeftButton);
    EXPECT_EQ(button->Value(), row.staysOnAfterClick);
    if (row.staysOnAfterClick) {
        EXPECT_EQ(button->text(), QString::fromLatin1(row.onText));
        EXPECT_FALSE(test::saveSnapshot(*button, QStringLiteral("%1-on").arg(row.name)).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    StartLoggingReset, Switches,
    ::testing::Values(SwitchRow{makeCWButton1, "CWButton1", "Start/Stop sampling", "Start", "Stop", true},
                      SwitchRow{makeCWButton2, "CWButton2", "Logging on/off", "Logging", "Logging", true},
                      SwitchRow{makeCWButton3, "CWButton3", "Reset total", "Reset", "Reset", false}),
    [](const ::testing::TestParamInfo<SwitchRow>& info) { return std::string(info.param.name); });

TEST(Knob, TankScaleFrom25To400StartingAt25)
{
    std::unique_ptr<CWKnob> knob(makeCWKnob1(nullptr));
    knob->resize(109, 105);
    EXPECT_EQ(knob->objectName(), QStringLiteral("CWKnob1"));
    EXPECT_EQ(knob->accessibleName(), QStringLiteral("Total liters tank scale"));
    EXPECT_EQ(knob->caption(), QStringLiteral("Total Liters tank scale"));
    EXPECT_EQ(knob->axisMinimum(), 25.0);
    EXPECT_EQ(knob->axisMaximum(), 400.0);
    EXPECT_EQ(knob->Value(), 25.0);
    EXPECT_EQ(knob->pointer()->objectName(), QStringLiteral("Pointer-1"));
    EXPECT_EQ(knob->pointer()->scaleDiv().ticks(QwtScaleDiv::MajorTick).size(), 8); // 50 .. 400
    EXPECT_FALSE(test::saveSnapshot(*knob, QStringLiteral("CWKnob1")).isEmpty());
}

struct GaugeRow {
    CWSlide* (*make)(QWidget*);
    const char* name;
    const char* accessibleName;
    const char* caption;
    double maximum;
    int majorTicks;
};

void PrintTo(const GaugeRow& row, std::ostream* out) { *out << row.name; }

class Gauges : public ::testing::TestWithParam<GaugeRow> {};

TEST_P(Gauges, ScaleFromZeroAtZero)
{
    const GaugeRow& row = GetParam();
    std::unique_ptr<CWSlide> gauge(row.make(nullptr));
    gauge->resize(85, 285);
    EXPECT_EQ(gauge->objectName(), QString::fromLatin1(row.name));
    EXPECT_EQ(gauge->accessibleName(), QString::fromLatin1(row.accessibleName));
    EXPECT_EQ(gauge->caption(), QString::fromLatin1(row.caption));
    EXPECT_EQ(gauge->axisMinimum(), 0.0);
    EXPECT_EQ(gauge->axisMaximum(), row.maximum);
    EXPECT_EQ(gauge->value(), 0.0);
    EXPECT_EQ(gauge->pointer()->scaleDiv().ticks(QwtScaleDiv::MajorTick).size(), row.majorTicks);
    EXPECT_EQ(gauge->pointer()->scaleDiv().ticks(QwtScaleDiv::MinorTick).size(), row.majorTicks - 1);

    gauge->setValue(row.maximum * 0.7);
    EXPECT_FALSE(test::saveSnapshot(*gauge, QString::fromLatin1(row.name)).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    FlowAndTotal, Gauges,
    ::testing::Values(GaugeRow{makeCWSlide1, "CWSlide1", "Flow rate gauge, liters per minute", "L/min", 5.0, 11},
                      GaugeRow{makeCWSlide2, "CWSlide2", "Total volume gauge, liters", "Total Liters", 2.0, 11}),
    [](const ::testing::TestParamInfo<GaugeRow>& info) { return std::string(info.param.name); });

TEST(Fonts, InstrumentFaceIsSmallAndPlainFrameCaptionBold)
{
    const QFont text = instrumentFont();
    EXPECT_DOUBLE_EQ(text.pointSizeF(), 7.8);
    EXPECT_FALSE(text.bold());
    EXPECT_FALSE(text.italic());
    // The face actually used: the classic one, or one of the named stand-ins.
    const QString family = QFontInfo(text).family();
    EXPECT_TRUE(family == QStringLiteral("MS Sans Serif") || family == QStringLiteral("Liberation Sans") ||
                family == QStringLiteral("DejaVu Sans"))
        << family.toStdString();

    const QFont caption = frameCaptionFont();
    EXPECT_TRUE(caption.bold());
    EXPECT_EQ(caption.family(), text.family());
    EXPECT_DOUBLE_EQ(caption.pointSizeF(), 7.8);
}

TEST(Fonts, ReadoutFaceIsHeavyAndLarge)
{
    const QFont readout = readoutFont();
    EXPECT_DOUBLE_EQ(readout.pointSizeF(), 18.0);
    const QFontInfo used(readout);
    if (used.family() != QStringLiteral("Haettenschweiler")) {
        EXPECT_TRUE(used.family().startsWith(QStringLiteral("DejaVu Sans"))) << used.family().toStdString();
        EXPECT_TRUE(used.bold());
    }
}

} // namespace
} // namespace tavelin
