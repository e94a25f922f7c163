#pragma once
// The periodic log writer: opens the log file with its header block, adds one
// row per tick of the logging timer, and stops logging. It holds the program's
// one log channel, so at most one log file is open at a time.

#include "platform/message_box.h"
#include "platform/text_file_channel.h"
#include "platform/wall_clock.h"
#include "platform/window_timer.h"
#include "sensor/measurement_state.h"

#include <QLocale>
#include <QString>

#include <functional>

namespace tavelin {

class LogWriter {
public:
    // litersText returns what the total-volume label shows at the moment.
    // timeLocale decides the time-of-day format of the rows.
    LogWriter(TextFileChannel& channel, WallClock& clock, const MeasurementState& state,
              std::function<QString()> litersText, WindowTimer& tmrLogger, MessageBox& messages,
              QLocale timeLocale = QLocale::system());

    // Opens the file (closing one already open) and writes the header block.
    // On failure no file is open, and *error holds the system's reason.
    bool OpenLogFile(const QString& path, FileOpenMode mode, QString* error = nullptr);

    // Writes one row; with no file open, nothing. A row that cannot be written
    // stops logging and tells the operator once. A file that was removed and
    // has been put back by the channel is told of too; logging goes on.
    void tmrLogger_Timer();

    // Disables the timer, keeping its interval, and closes the file if open.
    void StopLogging();

    bool isFileOpen() const { return channel_.isOpen(); }
    // The open file's path; empty when none is open.
    QString filePath() const { return channel_.isOpen() ? path_ : QString(); }

private:
    void closeFile();
    void tellFileRestored();

    TextFileChannel& channel_;
    WallClock& clock_;
    const MeasurementState& state_;
    std::function<QString()> litersText_;
    WindowTimer& tmrLogger_;
    MessageBox& messages_;
    QLocale timeLocale_;
    QString path_;
};

} // namespace tavelin
