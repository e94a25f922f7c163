#include "FrmLoggingflow.h"

#include "log_writer.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "platform/status_panel.h"
#include "platform/window_timer.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tavelin {

namespace {
const char* const kFileFilter = "All Files (*.*) |*.*";
const char* const kNoIntervalMessage = "Please enter a time interval for the log file";
} // namespace

FrmLoggingflow::FrmLoggingflow(LogWriter& logWriter, WindowTimer& tmrLogger, StatusPanel& statusPanel,
                               FileDialog& cdlDataFiles, MessageBox& messages, QWidget* parent)
    : QDialog(parent),
      logWriter_(logWriter),
      tmrLogger_(tmrLogger),
      statusPanel_(statusPanel),
      cdlDataFiles_(cdlDataFiles),
      messages_(messages)
{
    createControls();
    placeControls();
    connect(optDatafileGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optDatafile_Click(id);
    });
    connect(cmdSelect, &QPushButton::clicked, this, &FrmLoggingflow::cmdSelect_Click);
    connect(cmdExit, &QPushButton::clicked, this, &FrmLoggingflow::cmdExit_Click);
    Form_Load();
}

void FrmLoggingflow::Form_Load()
{
    optDatafile[0]->setChecked(true); // runs optDatafile_Click
    for (int i = 0; i < int(std::size(kLoggingIntervals)); ++i)
        cmbInterval->insertItem(i, generalNumberText(kLoggingIntervals[i].seconds));
    cmbInterval->setCurrentIndex(-1);
}

void FrmLoggingflow::optDatafile_Click(int)
{
    const bool noSave = optDatafile[0]->isChecked();
    optAppend[0]->setEnabled(!noSave);
    optAppend[1]->setEnabled(!noSave);
    cmdSelect->setEnabled(!noSave);
    cmdExit->setEnabled(noSave); // with a file, OK waits for Select File
}

void FrmLoggingflow::cmdSelect_Click()
{
    const QString chosen = cdlDataFiles_.showOpen(QString::fromLatin1(kFileFilter), strLogFile, true);
    if (!chosen.isEmpty()) {
        strLogFile = chosen;
        cmdExit->setEnabled(true);
    }
}

void FrmLoggingflow::cmdExit_Click()
{
    if (optDatafile[1]->isChecked()) {
        FileOpenMode mode;
        if (optAppend[0]->isChecked())
            mode = FileOpenMode::Append;
        else if (optAppend[1]->isChecked())
            mode = FileOpenMode::Overwrite;
        else
            return; // the operator has to pick Append or Overwrite
        QString reason;
        if (!logWriter_.OpenLogFile(strLogFile, mode, &reason)) {
            messages_.show(tr("The log file %1 cannot be opened: %2").arg(strLogFile, reason));
            return; // nothing started; another file can be chosen
        }
    }

    const int index = cmbInterval->currentIndex();
    if (index >= 0 && index < int(std::size(kLoggingIntervals)))
        tmrLogger_.setInterval(kLoggingIntervals[index].milliseconds);
    else
        messages_.show(QString::fromLatin1(kNoIntervalMessage));

    hide();
    tmrLogger_.setEnabled(true);
    statusPanel_.setText(statusPanel_.text() + QStringLiteral("  ") + strLogFile);
}

} // namespace tavelin
