#include "log_writer.h"

#include "log_record.h"

#include "platform/millisecond_counter.h"

#include <utility>

namespace tavelin {

namespace {
const char kNoIntervalMessage[] = "Please enter a time interval for the log file";

QString rowsText(int rows)
{
    return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows);
}
} // namespace

LogWriter::LogWriter(TextFileChannel& channel, WallClock& clock, const MeasurementState& state,
                     std::function<QString()> litersText, WindowTimer& tmrLogger, MessageBox& messages,
                     QLocale timeLocale)
    : channel_(channel), clock_(clock), state_(state), litersText_(std::move(litersText)),
      tmrLogger_(tmrLogger), messages_(messages), timeLocale_(std::move(timeLocale))
{
}

void LogWriter::retryFailedWrites(MillisecondCounter& counter)
{
    retryCounter_ = &counter;
}

bool LogWriter::start(const LoggingChoices& choices)
{
    if (choices.file) {
        QString reason;
        if (!OpenLogFile(choices.file->path, choices.file->mode, &reason)) {
            if (!retryCounter_) {
                messages_.show(
                    QStringLiteral("The log file %1 cannot be opened: %2").arg(choices.file->path, reason));
                return false; // nothing started; another file can be chosen
            }
            tellRetryFailure(QStringLiteral("The log file %1 cannot be opened: %2.").arg(choices.file->path, reason));
        }
    }
    if (choices.intervalMs) {
        tmrLogger_.setInterval(*choices.intervalMs);
    } else {
        const unsigned stopsBefore = stops_;
        messages_.show(QString::fromLatin1(kNoIntervalMessage));
        if (stops_ != stopsBefore)
            return false; // stopped while the box was open: the program is ending
    }
    // Enabled only after the box: its event loop must not deliver ticks yet.
    tmrLogger_.setEnabled(true);
    return true;
}

bool LogWriter::OpenLogFile(const QString& path, FileOpenMode mode, QString* error)
{
    closeFile();
    path_ = path;
    QString reason;
    if (!channel_.open(path, mode, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    for (const QByteArray& record : logHeaderRecords(path, clock_.currentDate())) {
        if (!channel_.write(record, &reason)) {
            closeFile();
            if (error)
                *error = reason;
            return false;
        }
    }
    return true;
}

void LogWriter::writeRow()
{
    if (!channel_.isOpen() && !failing_)
        return;
    QString reason;
    if (!fileAtItsPath(&reason)) {
        writeFailed(reason);
        return;
    }
    const QByteArray row = logDataRow(timeOfDayText(clock_.currentTime(), timeLocale_), state_.dblFrequency,
                                      state_.dblLitersPerMin, litersText_ ? litersText_() : QString());
    if (!channel_.write(row, &reason)) {
        writeFailed(reason);
        return;
    }
    if (failing_)
        tellWrittenAgain();
}

bool LogWriter::fileAtItsPath(QString* reason)
{
    if (channel_.isOpen() && !channel_.wasRemoved())
        return true;
    const bool removed = channel_.isOpen(); // else closed by a failure that is retried
    // Appending: what this run wrote before a failure stays.
    if (!OpenLogFile(path_, FileOpenMode::Append, reason))
        return false;
    // A new file rather than a copy of the removed one: copying could hold
    // the timer, and with it sampling, for as long as the file is big. A
    // notice, not a waiting box, for the same reason.
    if (removed)
        messages_.notify(QStringLiteral("The log file %1 was removed while logging. A new file with its own header "
                                        "has been started at its path, and logging goes on.")
                             .arg(path_));
    return true;
}

void LogWriter::writeFailed(const QString& reason)
{
    if (retryCounter_) {
        ++rowsLost_;
        tellRetryFailure(QStringLiteral("Cannot write to the log file %1: %2.").arg(path_, reason));
        return;
    }
    // Stop before the box: it runs a nested event loop, and a tick arriving
    // meanwhile must find logging already stopped rather than fail again.
    const QString path = path_;
    StopLogging();
    messages_.show(QStringLiteral("Cannot write to the log file %1: %2. Logging has stopped.").arg(path, reason));
}

void LogWriter::tellRetryFailure(const QString& failure)
{
    const std::uint32_t now = retryCounter_->ticks();
    if (failing_ && now - reportedAt_ < kRetryReportPeriodMs) // unsigned: survives the wrap
        return;
    const bool first = !failing_;
    failing_ = true;
    reportedAt_ = now;
    messages_.show(first ? failure + QStringLiteral(" Logging goes on and tries again at each row.")
                         : failure + QStringLiteral(" %1 not written since it failed; still trying at each row.")
                                         .arg(rowsText(rowsLost_)));
}

void LogWriter::tellWrittenAgain()
{
    messages_.notify(rowsLost_ == 0 ? QStringLiteral("The log file %1 is written again.").arg(path_)
                                    : QStringLiteral("The log file %1 is written again; %2 could not be written.")
                                          .arg(path_, rowsText(rowsLost_)));
    failing_ = false;
    rowsLost_ = 0;
}

void LogWriter::StopLogging()
{
    ++stops_;
    tmrLogger_.setEnabled(false);
    closeFile();
    path_.clear();
    failing_ = false;
    rowsLost_ = 0;
}

void LogWriter::closeFile()
{
    channel_.close();
}

} // namespace tavelin
