#pragma once
// The store's sealed tables and the columns each seal covers, in the order
// sealed, beside the values of a row as the writer hands it over. The
// writer and the verifier both seal through these, so that they cannot
// disagree on the form.

#include "platform/readings_store.h"
#include "records/record_seal.h"

#include <QVector>

namespace tavelin {

const SealedTableSpec& readingsTable();
const SealedTableSpec& alarmEventsTable();
const SealedTableSpec& eventsTable();
const SealedTableSpec& intervalsTable();
// Every sealed table, in the order --verify reports them.
QVector<const SealedTableSpec*> sealedTables();

// A row's values in its table's column order.
QVector<QVariant> sealValues(const StoredReading& reading);
QVector<QVariant> sealValues(const StoredAlarmEvent& event);
QVector<QVariant> sealValues(const StoredEvent& event);

} // namespace tavelin
