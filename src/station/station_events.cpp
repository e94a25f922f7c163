#include "station/station_events.h"

#include "platform/readings_store.h"
#include "platform/wall_clock.h"
#include "records/software_identity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace tavelin {

StationEvents::StationEvents(WallClock& clock) : clock_(clock), user_(loginName()) {}

void StationEvents::attach(ReadingsStore* store)
{
    store_ = store;
    if (store_)
        flushWaiting();
    else
        waiting_.clear();
}

void StationEvents::flushWaiting()
{
    for (const StoredEvent& event : qAsConst(waiting_))
        store_->appendEvent(event);
    waiting_.clear();
}

void StationEvents::record(const EventRecord& record)
{
    const StoredEvent event{0,
                            clock_.currentMSecsSinceEpoch(),
                            record.kind,
                            record.subject,
                            record.oldValue,
                            record.newValue,
                            record.source,
                            user_,
                            QCoreApplication::applicationVersion()};
    if (store_ && store_->isOpen())
        store_->appendEvent(event);
    else if (waiting_.size() < kMostWaiting)
        waiting_.append(event);
}

void StationEvents::settingsChanged(const Settings& before, const Settings& after, const QString& source)
{
    const auto changes = settingChangesBetween(recordedSettingValues(before), recordedSettingValues(after));
    for (const SettingChange& change : changes)
        record({QLatin1String(event_kind::settingChanged), change.key, change.oldValue, change.newValue, source});
}

void StationEvents::started(const Start& start)
{
    // Before whatever waits for the store: the start comes first.
    QVector<StoredEvent> later;
    std::swap(later, waiting_);
    ReadingsStore* store = store_;
    store_ = nullptr;
    recordStartEvents(start);
    waiting_ += later;
    store_ = store;
    if (store_)
        flushWaiting();
}

void StationEvents::recordStartEvents(const Start& start)
{
    const QString fromStore = QLatin1String(event_source::store);
    if (!start.setAsideAs.isEmpty())
        record({QLatin1String(event_kind::storeSetAside), start.storePath, start.storePath, start.setAsideAs, fromStore});
    if (start.keyReplaced)
        record({QLatin1String(event_kind::keyReplaced), start.storePath + QStringLiteral(".key"), QString(), QString(),
                fromStore});
    const QString startUp = QLatin1String(event_source::startUp);
    if (start.uncleanStop) {
        const QString last = start.lastReadingMs > 0
                                 ? QDateTime::fromMSecsSinceEpoch(start.lastReadingMs, Qt::UTC).toString(Qt::ISODateWithMs)
                                 : QString();
        record({QLatin1String(event_kind::uncleanStop), QStringLiteral("last_reading"), last, QString(), startUp});
    }
    record({QLatin1String(event_kind::programStarted), start.program, QString(),
            QStringLiteral("sha256=%1; port=%2; settings=%3").arg(executableSha256(), start.port, start.settingsFile),
            startUp});
    if (!start.recordedSettings.isNull()) { // else nothing recorded yet: what there is now is the start
        const auto changes = settingChangesBetween(recordedSettingsFrom(start.recordedSettings),
                                                   recordedSettingValues(start.settings));
        for (const SettingChange& change : changes)
            record({QLatin1String(event_kind::settingChanged), change.key, change.oldValue, change.newValue,
                    QLatin1String(event_source::settingsFile)});
    }
    if (start.buildingIntervals)
        record({QLatin1String(event_kind::intervalsBuilt), QStringLiteral("intervals"), QString(),
                QStringLiteral("from the readings stored before, at K %1 where a reading has none")
                    .arg(QLocale::c().toString(start.settings.sensor.pulsesPerLiter, 'g', 12)),
                fromStore});
}

} // namespace tavelin
