// The switch worked by real mouse and key events: latching and momentary
// action, the order of its notifications, the state seen inside them, and
// the body colour per state.

#include "cw_snapshot.h"
#include "platform/widgets/cw_button.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace tavelin {
namespace {

const QSize kSwitchSize(73, 21); // 1092 x 312 twips

// Records every notification with the value read inside the handler, as the
// main window's handlers read it.
struct NotificationLog {
    explicit NotificationLog(CWButton& button)
    {
        QObject::connect(&button, &CWButton::ValueChanged, [this, &button](bool value) {
            entries << QStringLiteral("changed(%1) reads %2").arg(value).arg(button.Value());
        });
        QObject::connect(&button, &CWButton::Click, [this, &button] {
            entries << QStringLiteral("click reads %1").arg(button.Value());
        });
    }
    QStringList entries;
};

std::unique_ptr<CWButton> makeSwitch(CWButton::Mode mode, const QString& off, const QString& on)
{
    auto button = std::make_unique<CWButton>();
    button->setMode(mode);
    button->setOffText(off);
    button->setOnText(on);
    button->resize(kSwitchSize);
    return button;
}

TEST(CWButtonLatching, EachClickTogglesAndTheTextFollows)
{
    auto button = makeSwitch(CWButton::Mode::Latching, QStringLiteral("Start"), QStringLiteral("Stop"));
    NotificationLog log(*button);
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(button->text(), QStringLiteral("Start"));

    QTest::mouseClick(button.get(), Qt::LeftButton);
    EXPECT_TRUE(button->Value());
    EXPECT_EQ(button->text(), QStringLiteral("Stop"));

    QTest::mouseClick(button.get(), Qt::LeftButton);
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(button->text(), QStringLiteral("Start"));

    // The new state is already there when Click arrives.
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "click reads 1",
                                        "changed(0) reads 0", "click reads 0"}));
}

TEST(CWButtonLatching, PressAloneChangesNothingAndReleaseOutsideCancels)
{
    auto button = makeSwitch(CWButton::Mode::Latching, QStringLiteral("Logging"), QStringLiteral("Logging"));
    NotificationLog log(*button);

    QTest::mousePress(button.get(), Qt::LeftButton);
    EXPECT_FALSE(button->Value());
    QTest::mouseRelease(button.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_FALSE(button->Value());
    EXPECT_TRUE(log.entries.isEmpty()) << log.entries.join(", ").toStdString();
}

TEST(CWButtonMomentary, OnWhileHeldOffOnReleaseThenClick)
{
    auto button = makeSwitch(CWButton::Mode::Momentary, QStringLiteral("Reset"), QStringLiteral("Reset"));
    NotificationLog log(*button);

    QTest::mousePress(button.get(), Qt::LeftButton);
    EXPECT_TRUE(button->Value());
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1"}));

    QTest::mouseRelease(button.get(), Qt::LeftButton);
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "changed(0) reads 0", "click reads 0"}));
}

TEST(CWButtonMomentary, ReleasedOutsideGoesOffWithoutClick)
{
    auto button = makeSwitch(CWButton::Mode::Momentary, QStringLiteral("Reset"), QStringLiteral("Reset"));
    NotificationLog log(*button);

    QTest::mousePress(button.get(), Qt::LeftButton);
    QTest::mouseRelease(button.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "changed(0) reads 0"}));
}

TEST(CWButton, SetValueNotifiesOnlyRealChangesAndNeverClicks)
{
    auto button = makeSwitch(CWButton::Mode::Latching, QStringLiteral("Start"), QStringLiteral("Stop"));
    NotificationLog log(*button);

    button->setValue(false);
    button->setValue(true);
    button->setValue(true);
    EXPECT_EQ(button->text(), QStringLiteral("Stop"));
    button->setValue(false);
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "changed(0) reads 0"}));
}

class CWButtonKeys : public ::testing::TestWithParam<Qt::Key> {};

TEST_P(CWButtonKeys, LatchingTogglesOnEachKeyPress)
{
    auto button = makeSwitch(CWButton::Mode::Latching, QStringLiteral("Start"), QStringLiteral("Stop"));
    NotificationLog log(*button);

    QTest::keyClick(button.get(), GetParam());
    EXPECT_TRUE(button->Value());
    QTest::keyClick(button.get(), GetParam());
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "click reads 1",
                                        "changed(0) reads 0", "click reads 0"}));
}

TEST_P(CWButtonKeys, MomentaryFollowsTheKey)
{
    auto button = makeSwitch(CWButton::Mode::Momentary, QStringLiteral("Reset"), QStringLiteral("Reset"));
    NotificationLog log(*button);

    QTest::keyPress(button.get(), GetParam());
    EXPECT_TRUE(button->Value());
    QTest::keyRelease(button.get(), GetParam());
    EXPECT_FALSE(button->Value());
    EXPECT_EQ(log.entries, QStringList({"changed(1) reads 1", "changed(0) reads 0", "click reads 0"}));
}

INSTANTIATE_TEST_SUITE_P(SpaceAndEnter, CWButtonKeys,
                         ::testing::Values(Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter));

TEST(CWButton, TabMovesTheFocusFromSwitchToSwitch)
{
    QWidget window;
    auto* first = new CWButton(&window);
    auto* second = new CWButton(&window);
    second->move(0, 30);
    window.show();
    QApplication::setActiveWindow(&window);
    first->setFocus();
    ASSERT_TRUE(first->hasFocus());

    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
}

// A point inside the body, clear of the bevel and of the centred text.
QPoint bodyPoint()
{
    return QPoint(5, kSwitchSize.height() / 2);
}

TEST(CWButtonDrawing, BodyIsButtonFaceWhenOffAndGreenWhenOn)
{
    auto button = makeSwitch(CWButton::Mode::Latching, QStringLiteral("Logging"), QStringLiteral("Logging"));
    const QColor face = button->palette().color(QPalette::Button);
    ASSERT_NE(face, QColor(0, 255, 0));

    EXPECT_EQ(test::pixelAt(*button, bodyPoint()), face);
    test::saveSnapshot(*button, QStringLiteral("switch-logging-off"));

    button->setValue(true);
    EXPECT_EQ(test::pixelAt(*button, bodyPoint()), QColor(0, 255, 0));
    test::saveSnapshot(*button, QStringLiteral("switch-logging-on"));

    // Held down, the body sinks by a pixel and keeps its colour.
    button->setMode(CWButton::Mode::Momentary);
    button->setValue(false);
    QTest::mousePress(button.get(), Qt::LeftButton);
    EXPECT_EQ(test::pixelAt(*button, bodyPoint() + QPoint(1, 1)), QColor(0, 255, 0));
    test::saveSnapshot(*button, QStringLiteral("switch-held"));
    QTest::mouseRelease(button.get(), Qt::LeftButton);
    EXPECT_EQ(test::pixelAt(*button, bodyPoint()), face);
}

} // namespace
} // namespace tavelin
