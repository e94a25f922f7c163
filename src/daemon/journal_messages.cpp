#include "daemon/journal_messages.h"

#include "platform/millisecond_counter.h"

namespace tavelin {

void JournalMessages::show(const QString& prompt, const QString&)
{
    write(Priority::Error, prompt);
}

void JournalMessages::notify(const QString& prompt)
{
    write(Priority::Warning, prompt);
}

void JournalMessages::write(Priority priority, const QString& text)
{
    // One line each: journald takes a line as a message.
    const QString flat = text.simplified();
    summarise();
    const std::uint32_t now = counter_.ticks();
    auto it = repeats_.find(flat);
    if (it != repeats_.end()) {
        ++it->count;
        it->lastAt = now;
        return;
    }
    repeats_.insert(flat, Repeats{priority, now, now, 0});
    line(priority, flat);
}

void JournalMessages::summarise(bool all)
{
    const std::uint32_t now = counter_.ticks();
    for (auto it = repeats_.begin(); it != repeats_.end();) {
        if (!all && now - it->minuteStart < kSummaryPeriodMs) { // unsigned: survives the wrap
            ++it;
            continue;
        }
        if (it->count > 0)
            line(it->priority, it->count == 1 ? QStringLiteral("%1 (repeated once in the last minute)").arg(it.key())
                                              : QStringLiteral("%1 (repeated %2 times in the last minute)")
                                                    .arg(it.key())
                                                    .arg(it->count));
        if (now - it->lastAt >= kSummaryPeriodMs || it->count == 0) { // gone quiet: the next one is news
            it = repeats_.erase(it);
            continue;
        }
        it->count = 0; // a fault that goes on writes one summary a minute
        it->minuteStart = now;
        ++it;
    }
}

void JournalMessages::line(Priority priority, const QString& text)
{
    std::fprintf(out_, "<%d>%s\n", static_cast<int>(priority), text.toUtf8().constData());
    std::fflush(out_);
}

} // namespace tavelin
