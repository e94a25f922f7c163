// Message boxes on Qt: notices that do not wait come up one at a time, in
// the order they came, each once the one before is closed; none is lost.
#include "platform/gui/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavelin;

namespace {

// Closes the one notice up with OK: its text, or how many were up.
QString closeNotice()
{
    QList<QMessageBox*> up;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("noticeBox") && widget->isVisible())
            up.append(qobject_cast<QMessageBox*>(widget));
    }
    if (up.size() != 1)
        return QStringLiteral("%1 notices up").arg(up.size());
    const QString text = up.first()->text();
    QTest::mouseClick(up.first()->button(QMessageBox::Ok), Qt::LeftButton);
    return text;
}

TEST(QtMessageBox, NoticesComeUpOneAtATimeInTheOrderTheyCame)
{
    const QString settings = QStringLiteral("The setting pulses_per_liter in [sensor] is \"abc\".");
    const QString store = QStringLiteral("The readings store was damaged and has been set aside.");
    const QString removed = QStringLiteral("The log file /tmp/run.txt was removed while logging.");
    QtMessageBox boxes;
    for (const QString& notice : {settings, store, settings, removed, store}) // twice: up, or waiting
        boxes.notify(notice);
    EXPECT_EQ(closeNotice(), settings);
    EXPECT_EQ(closeNotice(), store);
    EXPECT_EQ(closeNotice(), removed);
    EXPECT_EQ(closeNotice(), QStringLiteral("0 notices up"));

    // Once the program is ending no notice comes up, also of those waiting.
    boxes.notify(store);
    boxes.notify(removed);
    boxes.setSuppressed(true);
    boxes.notify(settings);
    EXPECT_EQ(closeNotice(), store);
    EXPECT_EQ(closeNotice(), QStringLiteral("0 notices up"));
}

} // namespace
