#pragma once
// The Logging switch: On brings up the setup dialog (created the first time,
// then only shown again); Off stops logging and leaves the dialog alone.

#include "FrmLoggingflow.h"

#include <QPointer>

#include <functional>

class QWidget;

namespace tavelin {

class FileDialog;
class FrmLoggingflow;
class LogWriter;
class MessageBox;
class StatusPanel;
class WindowTimer;

class LoggingSwitch {
public:
    LoggingSwitch(LogWriter& logWriter, WindowTimer& tmrLogger, StatusPanel& statusPanel, FileDialog& fileDialog,
                  MessageBox& messages, std::function<bool()> switchValue, QWidget* dialogParent);
    ~LoggingSwitch();

    // The switch's value-change handler.
    void CWButton2_ValueChanged();

    // The dialog, once it has been created.
    FrmLoggingflow* dialog() const { return dialog_; }
    void closeDialog();

private:
    LogWriter& logWriter_;
    WindowTimer& tmrLogger_;
    StatusPanel& statusPanel_;
    FileDialog& fileDialog_;
    MessageBox& messages_;
    std::function<bool()> switchValue_;
    QWidget* dialogParent_;
    QPointer<FrmLoggingflow> dialog_;
};

} // namespace tavelin
