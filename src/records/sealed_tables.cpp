#include "records/sealed_tables.h"

namespace tavelin {

namespace {
constexpr SealType kInt = SealType::Integer;
constexpr SealType kReal = SealType::Real;
constexpr SealType kText = SealType::Text;
} // namespace

const SealedTableSpec& readingsTable()
{
    static const SealedTableSpec table{QStringLiteral("readings"),
                                       {{QStringLiteral("seq"), kInt},
                                        {QStringLiteral("utc_ms"), kInt},
                                        {QStringLiteral("frequency"), kReal},
                                        {QStringLiteral("liters_per_min"), kReal},
                                        {QStringLiteral("pulse_total"), kReal},
                                        {QStringLiteral("total_liters"), kReal},
                                        {QStringLiteral("meter_centipulses"), kInt},
                                        {QStringLiteral("pulses_per_liter"), kReal},
                                        {QStringLiteral("meter_liters"), kReal}}};
    return table;
}

const SealedTableSpec& alarmEventsTable()
{
    static const SealedTableSpec table{QStringLiteral("alarm_events"),
                                       {{QStringLiteral("seq"), kInt},
                                        {QStringLiteral("utc_ms"), kInt},
                                        {QStringLiteral("alarm"), kText},
                                        {QStringLiteral("event"), kText},
                                        {QStringLiteral("value"), kReal},
                                        {QStringLiteral("threshold"), kReal}}};
    return table;
}

const SealedTableSpec& eventsTable()
{
    static const SealedTableSpec table{QStringLiteral("events"),
                                       {{QStringLiteral("seq"), kInt},
                                        {QStringLiteral("utc_ms"), kInt},
                                        {QStringLiteral("kind"), kText},
                                        {QStringLiteral("subject"), kText},
                                        {QStringLiteral("old_value"), kText},
                                        {QStringLiteral("new_value"), kText},
                                        {QStringLiteral("source"), kText},
                                        {QStringLiteral("user"), kText},
                                        {QStringLiteral("version"), kText}}};
    return table;
}

// A quarter hour is sealed once closed: when a reading of a later one is
// stored. Its chain is ordered by its start, a quarter hour from the one
// before when none is missing (quarter hours without a reading have no row).
const SealedTableSpec& intervalsTable()
{
    static const SealedTableSpec table{QStringLiteral("intervals"),
                                       {{QStringLiteral("start_utc_ms"), kInt},
                                        {QStringLiteral("liters"), kReal},
                                        {QStringLiteral("centipulses"), kInt},
                                        {QStringLiteral("readings"), kInt},
                                        {QStringLiteral("min_flow"), kReal},
                                        {QStringLiteral("max_flow"), kReal},
                                        {QStringLiteral("sum_flow"), kReal}},
                                       true,
                                       15 * 60 * 1000};
    return table;
}

QVector<const SealedTableSpec*> sealedTables()
{
    return {&readingsTable(), &intervalsTable(), &alarmEventsTable(), &eventsTable()};
}

QVector<QVariant> sealValues(const StoredReading& r)
{
    return {qint64(r.seq),       qint64(r.utcMs),  r.frequency,        r.litersPerMin, r.pulseTotal,
            r.totalLiters,       qint64(r.meterCentipulses), r.pulsesPerLiter, r.meterLiters};
}

QVector<QVariant> sealValues(const StoredAlarmEvent& e)
{
    return {qint64(e.seq), qint64(e.utcMs), e.alarm, e.event, e.value, e.threshold};
}

QVector<QVariant> sealValues(const StoredEvent& e)
{
    // Never NULL: the columns are NOT NULL, and a null QString would bind as NULL.
    const auto text = [](const QString& s) { return QVariant(s.isNull() ? QStringLiteral("") : s); };
    return {qint64(e.seq),     qint64(e.utcMs), text(e.kind),   text(e.subject), text(e.oldValue),
            text(e.newValue), text(e.source),  text(e.user), text(e.version)};
}

} // namespace tavelin
