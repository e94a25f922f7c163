#include "alarms/alarm_journal.h"

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "platform/readings_store.h"
#include "platform/text_file_channel.h"
#include "platform/wall_clock.h"

#include <QDateTime>

namespace tavelin {

QByteArray alarmJournalLine(std::int64_t utcMs, const AlarmEvent& event)
{
    const QString time = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz'Z'"));
    return QStringLiteral("%1,%2,%3,%4,%5\n")
        .arg(time, alarmKey(event.id), alarmEventName(event.kind), plainDecimalText(event.value),
             plainDecimalText(event.threshold))
        .toUtf8();
}

AlarmJournal::AlarmJournal(Parts parts) : parts_(std::move(parts)) {}

std::optional<std::int64_t> AlarmJournal::record(const AlarmEvent& event)
{
    const std::int64_t utcMs = parts_.clock.currentMSecsSinceEpoch();
    if (parts_.channel)
        writeLine(alarmJournalLine(utcMs, event));
    if (!parts_.store)
        return std::nullopt;
    // A store that fails is reported by the readings' recorder already.
    return parts_.store->appendAlarmEvent(
        {0, utcMs, alarmKey(event.id), alarmEventName(event.kind), event.value, event.threshold});
}

void AlarmJournal::writeLine(const QByteArray& line)
{
    QString error;
    if (parts_.channel->wasRemoved())
        parts_.channel->close(); // a new file at the path
    const bool written = (parts_.channel->isOpen() || parts_.channel->open(parts_.path, FileOpenMode::Append, &error))
                         && parts_.channel->write(line, &error);
    if (written) {
        failureReported_ = false;
        return;
    }
    parts_.channel->close(); // opened again for the next event
    if (failureReported_)
        return;
    failureReported_ = true;
    parts_.messages.notify(QStringLiteral("Alarm events cannot be written to %1: %2. The alarms go on; the journal "
                                          "starts again by itself once it can be written.")
                               .arg(parts_.path, error));
}

void AlarmJournal::close()
{
    if (parts_.channel)
        parts_.channel->close();
}

} // namespace tavelin
