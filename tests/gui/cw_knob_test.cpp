// The knob turned by real key, wheel and mouse events: each turn reports the
// new and the previous value, and values or scales set by the program are
// never reported.

#include "cw_snapshot.h"
#include "platform/widgets/cw_knob.h"

#include <QApplication>
#include <QList>
#include <QPair>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <qwt_knob.h>

namespace tavelin {
namespace {

const QSize kKnobSize(109, 105); // 1632 x 1572 twips
const int kWheelNotch = 120;

// What the knob reported, each with the value read inside the handler.
struct TurnLog {
    explicit TurnLog(CWKnob& knob)
    {
        QObject::connect(&knob, &CWKnob::ValueChanged, [this, &knob](double value, double previous) {
            turns.append({value, previous});
            readInside.append(knob.Value());
        });
    }
    QList<QPair<double, double>> turns;
    QList<double> readInside;
};

std::unique_ptr<CWKnob> makeTankKnob()
{
    auto knob = std::make_unique<CWKnob>();
    knob->setCaption(QStringLiteral("Total Liters tank scale"), QColor(0, 0, 255));
    knob->setAxis(25.0, 400.0, 50.0, 25.0);
    knob->setValue(25.0);
    knob->resize(kKnobSize);
    knob->show();
    return knob;
}

void turnWheel(QWidget* target, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF centre(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(centre, target->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, notches * kWheelNotch),
                      Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST(CWKnobKeys, ArrowsMoveOneStepPagesOneMinorTick)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);

    QTest::keyClick(knob.get(), Qt::Key_Up);
    EXPECT_EQ(knob->Value(), 30.0);
    QTest::keyClick(knob.get(), Qt::Key_Right);
    EXPECT_EQ(knob->Value(), 35.0);
    QTest::keyClick(knob.get(), Qt::Key_PageUp);
    EXPECT_EQ(knob->Value(), 60.0);
    QTest::keyClick(knob.get(), Qt::Key_Down);
    EXPECT_EQ(knob->Value(), 55.0);

    const QList<QPair<double, double>> expected{{30, 25}, {35, 30}, {60, 35}, {55, 60}};
    EXPECT_EQ(log.turns, expected);
    EXPECT_EQ(log.readInside, QList<double>({30, 35, 60, 55}));
}

TEST(CWKnobKeys, StopsAtTheEndsWithoutFurtherReports)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);

    QTest::keyClick(knob.get(), Qt::Key_Down); // already at the minimum
    EXPECT_TRUE(log.turns.isEmpty());
    QTest::keyClick(knob.get(), Qt::Key_End);
    EXPECT_EQ(knob->Value(), 400.0);
    QTest::keyClick(knob.get(), Qt::Key_Up);
    EXPECT_EQ(knob->Value(), 400.0);
    QTest::keyClick(knob.get(), Qt::Key_Home);
    EXPECT_EQ(knob->Value(), 25.0);
    const QList<QPair<double, double>> expected{{400, 25}, {25, 400}};
    EXPECT_EQ(log.turns, expected);
}

TEST(CWKnobKeys, KeysThatDoNotTurnItAreLeftAlone)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);
    QTest::keyClick(knob.get(), Qt::Key_A);
    QTest::keyClick(knob.get(), Qt::Key_Escape);
    EXPECT_EQ(knob->Value(), 25.0);
    EXPECT_TRUE(log.turns.isEmpty());
}

TEST(CWKnobWheel, OneNotchOneStepWithCtrlOneMinorTick)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);

    auto* body = const_cast<QwtKnob*>(knob->pointer());
    turnWheel(body, 1);
    EXPECT_EQ(knob->Value(), 30.0);
    turnWheel(knob.get(), 2); // over the margin: handed on to the knob
    EXPECT_EQ(knob->Value(), 40.0);
    turnWheel(body, 1, Qt::ControlModifier);
    EXPECT_EQ(knob->Value(), 65.0);
    turnWheel(body, -3);
    EXPECT_EQ(knob->Value(), 50.0);
    const QList<QPair<double, double>> expected{{30, 25}, {40, 30}, {65, 40}, {50, 65}};
    EXPECT_EQ(log.turns, expected);
}

// The point at the given angle (degrees clockwise from the top) on a circle
// around the knob's centre, in the knob's coordinates.
QPoint onKnob(const QwtKnob& knob, double degrees, double radiusFraction)
{
    const QRect body = knob.knobRect();
    const double radius = body.width() / 2.0 * radiusFraction;
    const double radians = degrees * M_PI / 180.0;
    return body.center() + QPoint(qRound(radius * std::sin(radians)), -qRound(radius * std::cos(radians)));
}

TEST(CWKnobMouse, DraggingTurnsItAndReportsEachMove)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);
    auto* body = const_cast<QwtKnob*>(knob->pointer());

    // Grab the knob at its mark (lower left at the minimum) and drag it over
    // the top to the middle of the sweep.
    const QPoint start = onKnob(*body, -135.0, 0.6);
    QTest::mousePress(body, Qt::LeftButton, Qt::NoModifier, start);
    for (const double degrees : {-90.0, -45.0, 0.0}) {
        QMouseEvent move(QEvent::MouseMove, onKnob(*body, degrees, 0.6), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(body, &move);
    }
    QTest::mouseRelease(body, Qt::LeftButton, Qt::NoModifier, onKnob(*body, 0.0, 0.6));

    EXPECT_NEAR(knob->Value(), 212.5, 10.0);
    ASSERT_EQ(log.turns.size(), 3);
    EXPECT_EQ(log.turns.first().second, 25.0);
    EXPECT_EQ(log.turns.last().first, knob->Value());
    for (int i = 1; i < log.turns.size(); ++i)
        EXPECT_EQ(log.turns[i].second, log.turns[i - 1].first);
}

TEST(CWKnobProgram, SetValueAndSetAxisNeverReport)
{
    auto knob = makeTankKnob();
    TurnLog log(*knob);

    knob->setValue(100.0);
    EXPECT_EQ(knob->Value(), 100.0);
    knob->setAxis(25.0, 80.0, 10.0, 5.0); // clamps the value to the new end
    EXPECT_EQ(knob->Value(), 80.0);
    knob->setAxis(25.0, 400.0, 50.0, 25.0);
    knob->setValue(1000.0);
    EXPECT_EQ(knob->Value(), 400.0);
    EXPECT_TRUE(log.turns.isEmpty());

    // The next real turn reports the position the program left it at.
    QTest::keyClick(knob.get(), Qt::Key_Down);
    const QList<QPair<double, double>> expected{{395, 400}};
    EXPECT_EQ(log.turns, expected);
}

TEST(CWKnobDrawing, CaptionIsBlue)
{
    auto knob = makeTankKnob();
    const QImage start = knob->grab().toImage();
    int blue = 0;
    for (int y = 0; y < start.height(); ++y) {
        for (int x = 0; x < start.width(); ++x)
            blue += start.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
    }
    EXPECT_GT(blue, 20);
    test::saveSnapshot(*knob, QStringLiteral("knob-25"));

    knob->setValue(215.0);
    QApplication::setActiveWindow(knob.get());
    knob->setFocus();
    EXPECT_TRUE(knob->hasFocus());
    test::saveSnapshot(*knob, QStringLiteral("knob-215"));
    knob->setValue(400.0);
    test::saveSnapshot(*knob, QStringLiteral("knob-400"));
}

} // namespace
} // namespace tavelin
