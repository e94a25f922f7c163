#include "logging_switch.h"

#include "FrmLoggingflow.h"
#include "log_writer.h"

namespace tavelin {

LoggingSwitch::LoggingSwitch(LogWriter& logWriter, WindowTimer& tmrLogger, StatusPanel& statusPanel,
                             FileDialog& fileDialog, MessageBox& messages, std::function<bool()> switchValue,
                             QWidget* dialogParent)
    : logWriter_(logWriter),
      tmrLogger_(tmrLogger),
      statusPanel_(statusPanel),
      fileDialog_(fileDialog),
      messages_(messages),
      switchValue_(std::move(switchValue)),
      dialogParent_(dialogParent)
{
}

LoggingSwitch::~LoggingSwitch()
{
    closeDialog();
}

void LoggingSwitch::CWButton2_ValueChanged()
{
    if (!switchValue_()) {
        logWriter_.StopLogging();
        return;
    }
    if (!dialog_) {
        dialog_ = new FrmLoggingflow(logWriter_, tmrLogger_, statusPanel_, fileDialog_, messages_, dialogParent_);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void LoggingSwitch::closeDialog()
{
    delete dialog_.data();
}

} // namespace tavelin
