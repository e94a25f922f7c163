#include "logging_switch.h"

#include "frm_loggingflow.h"
#include "log_writer.h"

namespace tavelin {

LoggingSwitch::LoggingSwitch(LogWriter& logWriter, StatusPanel& statusPanel, FileDialog& fileDialog,
                             QWidget* dialogParent)
    : logWriter_(logWriter), statusPanel_(statusPanel), fileDialog_(fileDialog), dialogParent_(dialogParent)
{
}

LoggingSwitch::~LoggingSwitch()
{
    delete dialog_.data(); // the window is going: no handler of the dialog is running
}

void LoggingSwitch::valueChanged(bool on)
{
    if (!on) {
        logWriter_.StopLogging();
        return;
    }
    if (!dialog_)
        dialog_ = new FrmLoggingflow(logWriter_, statusPanel_, fileDialog_, dialogParent_);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void LoggingSwitch::closeDialog()
{
    if (!dialog_)
        return;
    dialog_->hide();
    // One of its handlers may wait in a nested event loop (the interval box,
    // the file dialog, the create prompt) and go on once that loop ends.
    dialog_->deleteLater();
}

} // namespace tavelin
