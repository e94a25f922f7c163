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

QList<QMessageBox*> noticesUp()
{
    QList<QMessageBox*> up;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->objectName() == QLatin1String("noticeBox") && box->isVisible())
            up.append(box);
    }
    return up;
}

// Closes the notice up with OK; returns its text, or why it could not.
QString closeNotice()
{
    const QList<QMessageBox*> up = noticesUp();
    if (up.size() != 1)
        return QStringLiteral("%1 notices up").arg(up.size());
    const QString text = up.first()->text();
    QTest::mouseClick(up.first()->button(QMessageBox::Ok), Qt::LeftButton);
    QCoreApplication::processEvents();
    return text;
}

TEST(QtMessageBox, NoticesComeUpOneAtATimeInTheOrderTheyCame)
{
    const QString settings = QStringLiteral("The setting pulses_per_liter in [sensor] is \"abc\".");
    const QString store = QStringLiteral("The readings store was damaged and has been set aside.");
    const QString removed = QStringLiteral("The log file /tmp/run.txt was removed while logging.");
    QtMessageBox boxes;
    boxes.notify(settings);
    boxes.notify(store);
    boxes.notify(settings); // up already
    boxes.notify(removed);
    boxes.notify(store); // waiting already

    EXPECT_EQ(closeNotice(), settings);
    EXPECT_EQ(closeNotice(), store);
    EXPECT_EQ(closeNotice(), removed);
    EXPECT_TRUE(noticesUp().isEmpty());

    // Once the queue is empty a notice comes up at once; once the program is
    // ending, none comes up, also of those waiting.
    boxes.notify(store);
    boxes.notify(removed);
    ASSERT_EQ(noticesUp().size(), 1);
    boxes.setSuppressed(true);
    boxes.notify(settings);
    EXPECT_EQ(closeNotice(), store);
    EXPECT_TRUE(noticesUp().isEmpty());
}

} // namespace
