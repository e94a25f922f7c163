#include "log_writer.h"

#include "log_record.h"

#include <utility>

namespace tavelin {

namespace {
const char kNoIntervalMessage[] = "Please enter a time interval for the log file";
} // namespace

LogWriter::LogWriter(TextFileChannel& channel, WallClock& clock, const MeasurementState& state,
                     std::function<QString()> litersText, WindowTimer& tmrLogger, MessageBox& messages,
                     QLocale timeLocale)
    : channel_(channel), clock_(clock), state_(state), litersText_(std::move(litersText)),
      tmrLogger_(tmrLogger), messages_(messages), timeLocale_(std::move(timeLocale))
{
}

bool LogWriter::start(const LoggingChoices& choices)
{
    if (choices.file) {
        QString reason;
        if (!OpenLogFile(choices.file->path, choices.file->mode, &reason)) {
            messages_.show(QStringLiteral("The log file %1 cannot be opened: %2").arg(choices.file->path, reason));
            return false; // nothing started; another file can be chosen
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
    QString reason;
    if (!channel_.open(path, mode, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    path_ = path;
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
    if (!channel_.isOpen())
        return;
    const QByteArray row = logDataRow(timeOfDayText(clock_.currentTime(), timeLocale_), state_.dblFrequency,
                                      state_.dblLitersPerMin, litersText_ ? litersText_() : QString());
    QString reason;
    if (channel_.write(row, &reason)) {
        if (channel_.takeRestored())
            tellFileRestored();
        return;
    }

    // Stop before the box: it runs a nested event loop, and a tick arriving
    // meanwhile must find logging already stopped rather than fail again.
    const QString path = path_;
    StopLogging();
    messages_.show(QStringLiteral("Cannot write to the log file %1: %2. Logging has stopped.").arg(path, reason));
}

void LogWriter::tellFileRestored()
{
    // A notice, not a waiting box: a box opened from this tick would hold
    // back the logging timer, and rows, until the operator closed it.
    messages_.notify(QStringLiteral("The log file %1 was removed while logging. It has been written again "
                                    "with every row so far, and logging goes on.")
                         .arg(path_));
}

void LogWriter::StopLogging()
{
    ++stops_;
    tmrLogger_.setEnabled(false);
    closeFile();
}

void LogWriter::closeFile()
{
    channel_.close();
    path_.clear();
}

} // namespace tavelin
