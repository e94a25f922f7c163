#pragma once
// The logging setup dialog "Logger": no saving or a file, the file and its
// open mode, and the logging interval. OK hands the operator's choices to the
// log writer, which starts the run. Modeless; once created it is only hidden
// and shown again, so its selections persist.

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace tavelin {

class FileDialog;
class LogWriter;
class StatusPanel;

class FrmLoggingflow : public QDialog {
    Q_OBJECT
public:
    FrmLoggingflow(LogWriter& logWriter, StatusPanel& statusPanel, FileDialog& cdlDataFiles,
                   QWidget* parent = nullptr);

private:
    // Handlers.
    void Form_Load();
    void optDatafile_Click(int index);
    void cmdSelect_Click();
    void cmdExit_Click();

    void createControls();

    LogWriter& logWriter_;
    StatusPanel& statusPanel_;
    FileDialog& cdlDataFiles_;
    QString strLogFile_; // the chosen log file; set only by Select File, never cleared

    QPushButton* cmdExit_ = nullptr;
    QPushButton* cmdSelect_ = nullptr;
    QRadioButton* optDatafile_[2] = {nullptr, nullptr};
    QRadioButton* optAppend_[2] = {nullptr, nullptr};
    QComboBox* cmbInterval_ = nullptr;
    QButtonGroup* optDatafileGroup_ = nullptr;
};

} // namespace tavelin
