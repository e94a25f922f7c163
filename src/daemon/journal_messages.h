#pragma once
// Messages for a program without a display: each is one line on standard
// error, led by the syslog priority that journald reads ("<3>" error, "<4>"
// warning, "<6>" info). A message that comes again within a minute of being
// written is counted instead, and the count is written once the minute is
// over ("... (repeated 59 times in the last minute)"), so a module that keeps
// failing writes one line a minute, not sixty.

#include "platform/message_box.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <cstdio>

namespace tavelin {

class MillisecondCounter;

class JournalMessages : public MessageBox {
public:
    enum class Priority { Error = 3, Warning = 4, Info = 6 };
    static constexpr std::uint32_t kSummaryPeriodMs = 60000;

    JournalMessages(MillisecondCounter& counter, std::FILE* out = stderr) : counter_(counter), out_(out) {}

    // What the window shows in a box: an error.
    void show(const QString& prompt, const QString& title = QString()) override;
    // What the window shows in a box that does not wait: a warning.
    void notify(const QString& prompt) override;
    void write(Priority priority, const QString& text);

    // Writes the counts of the minutes that are over; call it now and then
    // (once a sampling cycle), and with all at the end.
    void summarise(bool all = false);

private:
    struct Repeats {
        Priority priority;
        std::uint32_t minuteStart; // written, or last summarised
        std::uint32_t lastAt;      // the newest time it came
        int count = 0;             // times it came since minuteStart
    };
    void line(Priority priority, const QString& text);

    MillisecondCounter& counter_;
    std::FILE* out_;
    QHash<QString, Repeats> repeats_; // by text: written once, then counted
};

} // namespace tavelin
