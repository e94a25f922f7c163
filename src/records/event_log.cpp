#include "records/event_log.h"

#include <QDateTime>
#include <QLocale>

namespace tavelin {

QStringList eventKinds()
{
    using namespace event_kind;
    QStringList kinds;
    for (const char* kind : {programStarted, programStopped, uncleanStop, settingChanged, totalReset, clockChanged,
                             storeSetAside, keyReplaced, portChanged, intervalsBuilt})
        kinds.append(QLatin1String(kind));
    return kinds;
}

QString calibrationSource(double pulses, double volumeLiters)
{
    const QLocale c = QLocale::c();
    return QStringLiteral("calibration: %1 pulses over %2 L")
        .arg(c.toString(pulses, 'f', 2), c.toString(volumeLiters, 'g', QLocale::FloatingPointShortest));
}

QStringList eventRowHeader()
{
    return {QStringLiteral("seq"),       QStringLiteral("utc"),       QStringLiteral("kind"),
            QStringLiteral("subject"),   QStringLiteral("old_value"), QStringLiteral("new_value"),
            QStringLiteral("source"),    QStringLiteral("user"),      QStringLiteral("version")};
}

QStringList eventRow(const StoredEvent& event)
{
    return {QString::number(event.seq),
            QDateTime::fromMSecsSinceEpoch(event.utcMs, Qt::UTC).toString(Qt::ISODateWithMs),
            event.kind,
            event.subject,
            event.oldValue,
            event.newValue,
            event.source,
            event.user,
            event.version};
}

void forEachEvent(ReadingsStore& store, const std::function<void(const StoredEvent&)>& row)
{
    constexpr int kChunk = 4096;
    std::int64_t after = 0;
    for (;;) {
        const QVector<StoredEvent> chunk = store.eventsAfter(after, kChunk);
        for (const StoredEvent& event : chunk)
            row(event);
        if (chunk.size() < kChunk)
            return;
        after = chunk.last().seq;
    }
}

} // namespace tavelin
