// The real file-selection dialog, worked as the operator works it: a name typed
// into the dialog and Return, the create prompt answered, Cancel.
#include "platform/gui/qt_file_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace tavelin;

namespace {

const QString kFilter = QStringLiteral("All Files (*.*) |*.*");

// Works the modal dialogs one after the other, one step per dialog, from a
// polling timer. Anything else that comes up, or a step that does not close
// its dialog, is an error; after the watchdog every dialog is rejected, so a
// stuck exec() cannot hang the test.
class ModalScript : public QObject {
public:
    struct Step {
        const char* className; // the dialog the step expects
        std::function<void(QWidget*)> act;
    };

    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps))
    {
        connect(&poll_, &QTimer::timeout, this, &ModalScript::poll);
        poll_.start(20);
        watchdog_.setSingleShot(true);
        connect(&watchdog_, &QTimer::timeout, this, [this] { errors_ << QStringLiteral("watchdog expired"); });
        watchdog_.start(10000);
    }

    // Empty when every step ran on the dialog it expected and nothing else came up.
    QStringList errors() const
    {
        QStringList all = errors_;
        if (next_ < steps_.size())
            all << QStringLiteral("step %1 of %2 never ran").arg(next_ + 1).arg(steps_.size());
        return all;
    }

private:
    void poll()
    {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        if (!errors_.isEmpty() || next_ == steps_.size() || !dialog->inherits(steps_[next_].className)) {
            errors_ << QStringLiteral("unexpected %1 \"%2\"").arg(dialog->metaObject()->className(), dialog->windowTitle());
            static_cast<QDialog*>(dialog)->reject();
            return;
        }
        const QPointer<QWidget> acted = dialog;
        steps_[next_++].act(dialog);
        if (acted && acted->isVisible()) {
            errors_ << QStringLiteral("step %1 left %2 open").arg(next_).arg(dialog->metaObject()->className());
            static_cast<QDialog*>(dialog)->reject();
        }
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QStringList errors_;
    QTimer poll_;
    QTimer watchdog_;
};

QLineEdit* fileNameEdit(QWidget* dialog)
{
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

ModalScript::Step typeName(const QString& path)
{
    return {"QFileDialog", [path](QWidget* dialog) {
                // Focus in the name field, as after a click into it: only then
                // does typing replace the file selected in the list.
                QLineEdit* edit = fileNameEdit(dialog);
                dialog->activateWindow();
                if (!QTest::qWaitForWindowActive(dialog))
                    ADD_FAILURE() << "the file dialog never became the active window";
                edit->setFocus();
                edit->clear();
                QTest::keyClicks(edit, path);
                QTest::keyClick(edit, Qt::Key_Return);
            }};
}

// Return on the name the dialog offers; *offered receives that name.
ModalScript::Step keepName(QString* offered)
{
    return {"QFileDialog", [offered](QWidget* dialog) {
                *offered = fileNameEdit(dialog)->text();
                QTest::keyClick(fileNameEdit(dialog), Qt::Key_Return);
            }};
}

ModalScript::Step cancel()
{
    return {"QFileDialog", [](QWidget* dialog) {
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            }};
}

ModalScript::Step answer(QMessageBox::StandardButton button, QString* text = nullptr)
{
    return {"QMessageBox", [button, text](QWidget* dialog) {
                auto* box = static_cast<QMessageBox*>(dialog);
                if (text)
                    *text = box->text();
                QTest::mouseClick(box->button(button), Qt::LeftButton);
            }};
}

class QtFileDialogTest : public ::testing::Test {
protected:
    QString pathOf(const QString& name) const { return dir_.filePath(name); }
    QString existingFile(const QString& name) const
    {
        QFile file(pathOf(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    }
    QString run(const QString& preset, std::vector<ModalScript::Step> steps)
    {
        ModalScript script(std::move(steps));
        const QString chosen = QtFileDialog().showOpen(kFilter, preset, true);
        EXPECT_TRUE(script.errors().isEmpty()) << script.errors().join(QStringLiteral("; ")).toStdString();
        return chosen;
    }

private:
    QTemporaryDir dir_;
};

TEST_F(QtFileDialogTest, NewNameIsChosenOnceTheOperatorConfirmsItsCreation)
{
    const QString path = pathOf(QStringLiteral("flow log, run 1.txt"));
    QString prompt;

    EXPECT_EQ(run(QString(), {typeName(path), answer(QMessageBox::Yes, &prompt)}), path);
    EXPECT_TRUE(prompt.contains(QStringLiteral("flow log, run 1.txt"))) << prompt.toStdString();
}

TEST_F(QtFileDialogTest, RefusedCreationGoesBackToTheDialogWhoseCancelKeepsThePreset)
{
    const QString preset = existingFile(QStringLiteral("earlier.txt"));
    const QString refused = pathOf(QStringLiteral("new.txt"));

    EXPECT_EQ(run(preset, {typeName(refused), answer(QMessageBox::No), cancel()}), preset);
    EXPECT_EQ(run(preset, {typeName(refused), answer(QMessageBox::No), typeName(preset)}), preset);
}

TEST_F(QtFileDialogTest, ExistingFileIsChosenWithoutPrompt)
{
    const QString path = existingFile(QStringLiteral("run.txt"));
    EXPECT_EQ(run(QString(), {typeName(path)}), path);
}

TEST_F(QtFileDialogTest, PresetIsOfferedAndKeptWithReturn)
{
    const QString preset = existingFile(QStringLiteral("run.txt"));
    QString offered;

    EXPECT_EQ(run(preset, {keepName(&offered)}), preset);
    EXPECT_EQ(offered, QStringLiteral("run.txt"));
}

TEST_F(QtFileDialogTest, CancelReturnsThePresetEmptyOrNot)
{
    EXPECT_EQ(run(QString(), {cancel()}), QString());
    const QString never = pathOf(QStringLiteral("never chosen.txt"));
    EXPECT_EQ(run(never, {cancel()}), never);
}

TEST_F(QtFileDialogTest, NameInAMissingFolderIsRefusedWithAWarning)
{
    const QString path = pathOf(QStringLiteral("no such folder/run.txt"));
    QString warning;

    EXPECT_EQ(run(QString(), {typeName(path), answer(QMessageBox::Ok, &warning), cancel()}), QString());
    EXPECT_TRUE(warning.contains(QStringLiteral("does not exist"))) << warning.toStdString();
}

TEST(QtNameFilter, TakesDescriptionAndPatternsAndMakesStarDotStarMatchEveryFile)
{
    EXPECT_EQ(toQtNameFilter(kFilter), QStringLiteral("All Files (*.*) (*)"));
    EXPECT_EQ(toQtNameFilter(QStringLiteral("Logs|*.txt;*.log")), QStringLiteral("Logs(*.txt *.log)"));
    EXPECT_EQ(toQtNameFilter(QStringLiteral("*.csv")), QStringLiteral("*.csv"));
}

} // namespace
