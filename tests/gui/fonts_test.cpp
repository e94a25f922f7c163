// The faces of the panel: the classic ones where installed, else the named
// free stand-ins, at the sizes and weights the panel was drawn with.
#include "platform/gui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace tavelin {
namespace {

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

// The classic face draws well only at its 96-dpi size; under high-DPI scaling
// a scalable face of about the same width takes its place.
TEST(Fonts, ScaledDisplaysGetAScalableFaceOfAboutTheSameWidth)
{
    const QString caption = QStringLiteral("Total Liters tank scale");
    const double classicWidth = QFontMetricsF(instrumentFont(1.0)).horizontalAdvance(caption);
    for (const qreal ratio : {1.5, 2.0}) {
        const QFontInfo used(instrumentFont(ratio));
        EXPECT_TRUE(QFontDatabase().isSmoothlyScalable(used.family(), used.styleName()))
            << ratio << ": " << used.family().toStdString();
        EXPECT_DOUBLE_EQ(instrumentFont(ratio).pointSizeF(), 7.8);
        EXPECT_NEAR(QFontMetricsF(instrumentFont(ratio)).horizontalAdvance(caption), classicWidth, 0.05 * classicWidth);
    }
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
