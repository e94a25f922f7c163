#include "frm_loggingflow.h"

#include "log_writer.h"
#include "platform/file_dialog.h"
#include "platform/number_text.h"
#include "platform/status_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

namespace tavelin {

namespace {
const char kFileFilter[] = "All Files (*.*) |*.*";

// The interval list: the seconds each entry shows, and the timer interval it gives.
struct LoggingInterval {
    double seconds;
    int milliseconds;
};
constexpr LoggingInterval kLoggingIntervals[] = {
    {60, 60000}, {30, 30000}, {15, 15000}, {10, 10000}, {5, 5000}, {2, 2000}, {1, 1000}, {0.5, 500}};
} // namespace

FrmLoggingflow::FrmLoggingflow(LogWriter& logWriter, StatusPanel& statusPanel, FileDialog& cdlDataFiles,
                               QWidget* parent)
    : QDialog(parent), logWriter_(logWriter), statusPanel_(statusPanel), cdlDataFiles_(cdlDataFiles)
{
    createControls();
    connect(optDatafileGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optDatafile_Click(id);
    });
    connect(cmdSelect_, &QPushButton::clicked, this, &FrmLoggingflow::cmdSelect_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &FrmLoggingflow::cmdExit_Click);
    Form_Load();
}

void FrmLoggingflow::Form_Load()
{
    optDatafile_[0]->setChecked(true); // runs optDatafile_Click
    for (int i = 0; i < int(std::size(kLoggingIntervals)); ++i)
        cmbInterval_->insertItem(i, generalNumberText(kLoggingIntervals[i].seconds));
    cmbInterval_->setCurrentIndex(-1);
}

void FrmLoggingflow::optDatafile_Click(int)
{
    const bool noSave = optDatafile_[0]->isChecked();
    optAppend_[0]->setEnabled(!noSave);
    optAppend_[1]->setEnabled(!noSave);
    cmdSelect_->setEnabled(!noSave);
    cmdExit_->setEnabled(noSave); // with a file, OK waits for Select File
}

void FrmLoggingflow::cmdSelect_Click()
{
    const QString chosen = cdlDataFiles_.showOpen(QString::fromLatin1(kFileFilter), strLogFile_, true);
    if (!chosen.isEmpty()) {
        strLogFile_ = chosen;
        cmdExit_->setEnabled(true);
    }
}

void FrmLoggingflow::cmdExit_Click()
{
    LoggingChoices choices;
    if (optDatafile_[1]->isChecked()) {
        if (optAppend_[0]->isChecked())
            choices.file = LoggingChoices::File{strLogFile_, FileOpenMode::Append};
        else if (optAppend_[1]->isChecked())
            choices.file = LoggingChoices::File{strLogFile_, FileOpenMode::Overwrite};
        else
            return; // the operator has to pick Append or Overwrite
    }
    const int index = cmbInterval_->currentIndex();
    if (index >= 0 && index < int(std::size(kLoggingIntervals)))
        choices.intervalMs = kLoggingIntervals[index].milliseconds;

    if (!logWriter_.start(choices))
        return; // not started: another file can be chosen, or the program is ending
    hide();
    statusPanel_.setText(statusPanel_.text() + QStringLiteral("  ") + strLogFile_);
}

} // namespace tavelin
