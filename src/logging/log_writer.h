#pragma once
// The owner of a logging run: starts one from the operator's choices (the
// file with its header block, the interval, the logging timer), adds one row
// per tick of the logging timer, and stops the run. It holds the program's
// one log channel, so at most one log file is open at a time. A file removed
// while logging is started again at its path with a header block of its own.
// A row that cannot be written stops the run (the window), or, for a program
// that nobody watches (the service), is tried again at each tick.

#include "platform/message_box.h"
#include "platform/text_file_channel.h"
#include "platform/wall_clock.h"
#include "platform/window_timer.h"
#include "sensor/measurement_state.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace tavelin {

// What the operator chose for a run in the setup dialog.
struct LoggingChoices {
    struct File {
        QString path;
        FileOpenMode mode;
    };
    std::optional<File> file;      // none: "No Save"
    std::optional<int> intervalMs; // none: no interval entry selected
};

class MillisecondCounter;

class LogWriter {
public:
    static constexpr std::uint32_t kRetryReportPeriodMs = 60000;

    // litersText returns what the total-volume label shows at the moment.
    // timeLocale decides the time-of-day format of the rows.
    LogWriter(TextFileChannel& channel, WallClock& clock, const MeasurementState& state,
              std::function<QString()> litersText, WindowTimer& tmrLogger, MessageBox& messages,
              QLocale timeLocale = QLocale::system());

    // Starts a run: opens the chosen file with its header, gives the timer the
    // chosen interval (without one the operator is told, and the timer keeps
    // the interval it has), and enables the timer. A file that cannot be
    // opened is reported and nothing starts: returns false. So it does when
    // logging is stopped while that box is open.
    bool start(const LoggingChoices& choices);

    // Opens the file (closing one already open) and writes the header block.
    // On failure no file is open, and *error holds the system's reason.
    bool OpenLogFile(const QString& path, FileOpenMode mode, QString* error = nullptr);

    // From now on a write that fails, and a file that cannot be opened at the
    // start, neither stop the run nor wait: the file is tried again at each
    // tick (opened again with its header when it was closed), the failure is
    // told at once and then at most once a period of the counter while it
    // lasts, and the first row written again is told once.
    void retryFailedWrites(MillisecondCounter& counter);

    // Writes one row; with no file open, nothing. A row that cannot be written
    // stops logging and tells the operator once, unless failed writes are
    // retried. A file removed since the last row is told of too; logging goes
    // on in a new file with its header.
    void writeRow();

    // Disables the timer, keeping its interval, and closes the file if open.
    void StopLogging();

private:
    void closeFile();
    bool fileAtItsPath(QString* reason);
    void writeFailed(const QString& reason);
    void tellRetryFailure(const QString& failure);
    void tellWrittenAgain();

    TextFileChannel& channel_;
    WallClock& clock_;
    const MeasurementState& state_;
    std::function<QString()> litersText_;
    WindowTimer& tmrLogger_;
    MessageBox& messages_;
    QLocale timeLocale_;
    QString path_; // the run's file, also while it cannot be opened
    unsigned stops_ = 0; // StopLogging calls, to see one made while a box waits

    // Retrying failed writes (the service).
    MillisecondCounter* retryCounter_ = nullptr; // none: a failed write stops the run
    bool failing_ = false;                       // the last row could not be written
    std::uint32_t reportedAt_ = 0;
    int rowsLost_ = 0;                           // since the failure began
};

} // namespace tavelin
