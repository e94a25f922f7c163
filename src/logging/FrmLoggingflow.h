#pragma once
// The logging setup dialog "Logger": no saving or a file, the file and its
// open mode, and the logging interval. Modeless; once created it is only
// hidden and shown again, so its selections persist.

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavelin {

class FileDialog;
class LogWriter;
class MessageBox;
class StatusPanel;
class WindowTimer;

class FrmLoggingflow : public QDialog {
    Q_OBJECT
public:
    FrmLoggingflow(LogWriter& logWriter, WindowTimer& tmrLogger, StatusPanel& statusPanel,
                   FileDialog& cdlDataFiles, MessageBox& messages, QWidget* parent = nullptr);

    // Handlers.
    void Form_Load();
    void optDatafile_Click(int index);
    void cmdSelect_Click();
    void cmdExit_Click();

    QString strLogFile; // the chosen log file; set only by Select File, never cleared

    // The controls.
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdSelect = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optDatafile[2] = {nullptr, nullptr};
    QRadioButton* optAppend[2] = {nullptr, nullptr};
    QComboBox* cmbInterval = nullptr;
    QLabel* Label1 = nullptr;

private:
    void createControls();
    void placeControls();

    LogWriter& logWriter_;
    WindowTimer& tmrLogger_;
    StatusPanel& statusPanel_;
    FileDialog& cdlDataFiles_;
    MessageBox& messages_;
    QButtonGroup* optDatafileGroup_ = nullptr;
    QButtonGroup* optAppendGroup_ = nullptr;
};

// Interval list entries, seconds and the timer interval each index gives.
struct LoggingInterval {
    double seconds;
    int milliseconds;
};
inline constexpr LoggingInterval kLoggingIntervals[] = {
    {60, 60000}, {30, 30000}, {15, 15000}, {10, 10000}, {5, 5000}, {2, 2000}, {1, 1000}, {0.5, 500}};

} // namespace tavelin
