#pragma once
// The Logging switch: On brings up the setup dialog (created the first time,
// then only shown again); Off stops logging and leaves the dialog alone.

#include <QPointer>

class QWidget;

namespace tavelin {

class FileDialog;
class FrmLoggingflow;
class LogWriter;
class StatusPanel;

class LoggingSwitch {
public:
    LoggingSwitch(LogWriter& logWriter, StatusPanel& statusPanel, FileDialog& fileDialog, QWidget* dialogParent);
    ~LoggingSwitch();

    // The switch went On (true) or Off (false).
    void valueChanged(bool on);
    // Hides the dialog and deletes it once control is back in the event loop.
    void closeDialog();

private:
    LogWriter& logWriter_;
    StatusPanel& statusPanel_;
    FileDialog& fileDialog_;
    QWidget* dialogParent_;
    QPointer<FrmLoggingflow> dialog_;
};

} // namespace tavelin
