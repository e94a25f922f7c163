#include "platform/qt/store_verifier.h"

#include "platform/qt/sqlite_reading_statements.h"
#include "platform/qt/store_key.h"
#include "records/sealed_tables.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace tavelin {

namespace {

QString uniqueConnectionName()
{
    static std::atomic<int> opened{0};
    return QStringLiteral("tavelin-verify-%1").arg(++opened);
}

QString infoText(QSqlDatabase& db, const QString& key)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM store_info WHERE key = ?"));
    query.addBindValue(key);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

// The mark, with what is wrong with it added to problems.
std::optional<ChainMark> readMark(QSqlDatabase& db, const QByteArray& key, MarkKind kind, const QString& table,
                                  QStringList* problems)
{
    const QString name = kind == MarkKind::Anchor ? QStringLiteral("anchor") : QStringLiteral("head");
    const QString text = infoText(db, markKey(kind, table));
    if (text.isEmpty()) {
        problems->append(QStringLiteral("its %1 record is missing").arg(name));
        return std::nullopt;
    }
    const std::optional<ChainMark> mark = markFrom(key, kind, table, text);
    if (!mark)
        problems->append(QStringLiteral("its %1 record was changed").arg(name));
    return mark;
}

bool walkTable(QSqlDatabase& db, const QByteArray& key, const SealedTableSpec& table, ChainReport* report,
               QString* error)
{
    QStringList problems;
    const std::optional<ChainMark> anchor = readMark(db, key, MarkKind::Anchor, table.name, &problems);
    const std::optional<ChainMark> head = readMark(db, key, MarkKind::Head, table.name, &problems);
    ChainWalk walk(table, key, anchor, head, problems);
    QStringList columns;
    for (const auto& column : table.columns)
        columns.append(column.first);
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT %1, seal FROM %2 ORDER BY %3")
                       .arg(columns.join(QStringLiteral(", ")), table.name, columns.value(0)))) {
        *error = QStringLiteral("the table %1 cannot be read: %2").arg(table.name, reasonOf(rows.lastError()));
        return false;
    }
    const int count = columns.size();
    QVector<QVariant> values(count);
    while (rows.next()) {
        for (int i = 0; i < count; ++i)
            values[i] = rows.value(i);
        walk.add(values, rows.value(count).toByteArray());
    }
    if (rows.lastError().isValid()) {
        *error = QStringLiteral("the table %1 cannot be read: %2").arg(table.name, reasonOf(rows.lastError()));
        return false;
    }
    *report = walk.finish();
    return true;
}

// Each quarter hour after the first stored reading's (which retention may
// have left partly stored) holds the readings stored for it: their number and
// their hundredths of a pulse.
bool checkIntervals(QSqlDatabase& db, QStringList* faults, QString* error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const bool ready = query.prepare(QStringLiteral(
        "WITH r AS (SELECT utc_ms - (((utc_ms % 900000) + 900000) % 900000) AS q, COUNT(*) AS n, "
        "SUM(CAST(ROUND(frequency * 100) AS INTEGER)) AS c FROM readings GROUP BY q), "
        "first AS (SELECT IFNULL(MIN(q), 9223372036854775807) AS q FROM r) "
        "SELECT r.q, i.readings, i.centipulses, r.n, r.c FROM r LEFT JOIN intervals i ON i.start_utc_ms = r.q "
        "WHERE r.q > (SELECT q FROM first) AND (i.start_utc_ms IS NULL OR i.readings != r.n OR i.centipulses != r.c) "
        "UNION ALL SELECT i.start_utc_ms, i.readings, i.centipulses, 0, 0 FROM intervals i "
        "WHERE i.start_utc_ms > (SELECT q FROM first) AND NOT EXISTS (SELECT 1 FROM r WHERE r.q = i.start_utc_ms) "
        "ORDER BY 1"));
    if (!ready || !query.exec()) {
        *error = QStringLiteral("the intervals cannot be checked: %1").arg(reasonOf(query.lastError()));
        return false;
    }
    const auto pulses = [](const QVariant& centipulses) {
        return QLocale::c().toString(centipulses.toLongLong() / 100.0, 'f', 2);
    };
    while (query.next()) {
        const QString start = QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC)
                                  .toString(Qt::ISODate);
        faults->append(QStringLiteral("intervals: the quarter hour from %1 holds %2 readings and %3 pulses, the "
                                      "readings stored for it %4 and %5")
                           .arg(start)
                           .arg(query.value(1).toLongLong())
                           .arg(pulses(query.value(2)))
                           .arg(query.value(3).toLongLong())
                           .arg(pulses(query.value(4))));
    }
    return true;
}

StoreVerification walkStore(QSqlDatabase& db, const QByteArray& key)
{
    StoreVerification verification;
    // One read transaction: the rows and the marks as one commit left them.
    if (!db.transaction()) {
        verification.error = reasonOf(db.lastError());
        return verification;
    }
    for (const SealedTableSpec* table : sealedTables()) {
        ChainReport report;
        if (!walkTable(db, key, *table, &report, &verification.error)) {
            db.rollback();
            return verification;
        }
        verification.tables.push_back(report);
    }
    if (!checkIntervals(db, &verification.intervalFaults, &verification.error)) {
        db.rollback();
        return verification;
    }
    db.rollback();
    verification.status = verification.intervalFaults.isEmpty() ? StoreVerification::Holds
                                                                 : StoreVerification::Broken;
    for (const ChainReport& report : verification.tables) {
        if (!report.faults.empty() || report.notExplained > 0)
            verification.status = StoreVerification::Broken;
    }
    return verification;
}

} // namespace

StoreVerification verifyStore(const QString& storePath)
{
    StoreVerification verification;
    if (!QFileInfo(storePath).isFile()) {
        verification.error = QStringLiteral("there is no readings store at %1").arg(storePath);
        return verification;
    }
    QByteArray key;
    if (!readStoreKey(storeKeyPath(storePath), &key, &verification.error))
        return verification;
    const QString connection = uniqueConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(storePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open())
            verification = walkStore(db, key);
        else
            verification.error = reasonOf(db.lastError());
        if (verification.status == StoreVerification::Unreadable)
            verification.error = QStringLiteral("the readings store %1 cannot be read: %2").arg(storePath, verification.error);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return verification;
}

QStringList verificationLines(const StoreVerification& verification)
{
    QStringList lines;
    for (const ChainReport& report : verification.tables)
        lines.append(chainSummaryLine(report));
    for (const ChainReport& report : verification.tables) {
        for (const ChainFault& fault : report.faults)
            lines.append(chainFaultLine(report.table, fault));
        if (report.notExplained > 0)
            lines.append(QStringLiteral("%1: %2 more rows fail their check").arg(report.table).arg(report.notExplained));
    }
    return lines + verification.intervalFaults;
}

} // namespace tavelin
