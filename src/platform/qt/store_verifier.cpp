#include "platform/qt/store_verifier.h"

#include "platform/qt/sqlite_reading_statements.h"
#include "platform/qt/store_key.h"
#include "records/sealed_tables.h"

#include <QFileInfo>
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
    if (!rows.exec(QStringLiteral("SELECT %1, seal FROM %2 ORDER BY seq").arg(columns.join(QStringLiteral(", ")),
                                                                              table.name))) {
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
    db.rollback();
    verification.status = StoreVerification::Holds;
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
    return lines;
}

} // namespace tavelin
