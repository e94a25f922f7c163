#include "platform/qt/record_chains.h"

#include "platform/qt/sqlite_reading_statements.h"
#include "platform/qt/store_key.h"
#include "records/sealed_tables.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QVariant>

#include <algorithm>

namespace tavelin {

namespace {

// Whether any chain was begun in the store: it has marks.
bool hasMarks(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT 1 FROM store_info WHERE key LIKE 'seal\\_%' ESCAPE '\\' LIMIT 1"))
           && query.next();
}

QString infoText(const QSqlDatabase& db, const QString& key)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM store_info WHERE key = ?"));
    query.addBindValue(key);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

} // namespace

RecordChains::Opening RecordChains::open(const QSqlDatabase& db, const QString& storePath,
                                         const QHash<QString, std::int64_t>& startAfter)
{
    db_ = db;
    Opening opening;
    const QString keyPath = storeKeyPath(storePath);
    bool restart = false;
    if (QFileInfo::exists(keyPath)) {
        if (!readStoreKey(keyPath, &key_, &opening.error))
            return opening;
    } else {
        if (!makeStoreKey(keyPath, &key_, &opening.error))
            return opening;
        opening.keyMade = true;
        // Seals made with a key that is gone can never be checked again:
        // every chain starts anew after its newest row.
        opening.keyReplaced = restart = hasMarks(db_);
    }
    writeInfo_ = QSqlQuery(db_);
    if (!writeInfo_.prepare(QStringLiteral("INSERT OR REPLACE INTO store_info(key, value) VALUES (?, ?)"))) {
        opening.error = reasonOf(writeInfo_.lastError());
        return opening;
    }
    for (const SealedTableSpec* table : sealedTables()) {
        if (!openTable(*table, restart, startAfter, &opening.error))
            return opening;
    }
    opening.ok = true;
    return opening;
}

bool RecordChains::openTable(const SealedTableSpec& table, bool restart,
                             const QHash<QString, std::int64_t>& startAfter, QString* error)
{
    const QString anchorText = infoText(db_, markKey(MarkKind::Anchor, table.name));
    const QString headText = infoText(db_, markKey(MarkKind::Head, table.name));
    QSqlQuery newest(db_);
    const QString order = table.columns.value(0).first;
    if (!newest.exec(QStringLiteral("SELECT %1, seal FROM %2 ORDER BY %1 DESC LIMIT 1").arg(order, table.name))) {
        *error = reasonOf(newest.lastError());
        return false;
    }
    const bool hasRow = newest.next();
    const std::int64_t newestSeq = hasRow ? newest.value(0).toLongLong() : 0;
    const QByteArray newestSeal = hasRow ? newest.value(1).toByteArray() : QByteArray();
    Chain chain;
    if (restart || (anchorText.isEmpty() && headText.isEmpty())) {
        // The chain begins after the rows stored so far, which stay unsealed,
        // or after those still to be made of them.
        const ChainMark start{std::max(newestSeq, startAfter.value(table.name)), zeroSeal()};
        chain.previous = start.seal;
        chain.headSeq = start.seq;
        chains_.insert(table.name, chain);
        return writeMark(MarkKind::Anchor, table.name, start, error)
               && writeMark(MarkKind::Head, table.name, start, error);
    }
    // Go on from the newest sealed row; a mark that does not hold is left
    // for --verify to report, never written over.
    const std::optional<ChainMark> anchor = markFrom(key_, MarkKind::Anchor, table.name, anchorText);
    if (!newestSeal.isEmpty() && (!anchor || newestSeq > anchor->seq)) {
        chain.previous = newestSeal;
        chain.headSeq = newestSeq;
    } else {
        chain.previous = anchor ? anchor->seal : zeroSeal();
        chain.headSeq = anchor ? anchor->seq : 0;
    }
    chains_.insert(table.name, chain);
    return true;
}

void RecordChains::close()
{
    writeInfo_ = QSqlQuery();
    db_ = QSqlDatabase();
}

void RecordChains::setOn(bool on)
{
    if (on && key_.isEmpty())
        std::swap(key_, offKey_);
    else if (!on && !key_.isEmpty())
        std::swap(key_, offKey_);
}

QByteArray RecordChains::seal(const SealedTableSpec& table, const QVector<QVariant>& values)
{
    if (key_.isEmpty())
        return QByteArray();
    Chain& chain = chains_[table.name];
    chain.previous = sealOf(key_, chain.previous, sealMessage(table, values));
    chain.headSeq = values.value(0).toLongLong();
    chain.headMoved = true;
    return chain.previous;
}

void RecordChains::removedUpTo(const SealedTableSpec& table, std::int64_t seq, const QByteArray& seal)
{
    if (!key_.isEmpty() && !seal.isEmpty())
        chains_[table.name].anchorMoved = ChainMark{seq, seal};
}

bool RecordChains::writeMarks(QString* error, Heads heads)
{
    const bool headsDue = heads == Heads::Now || !sinceHeads_.isValid() || sinceHeads_.hasExpired(kHeadEveryMs);
    bool headWritten = false;
    for (auto it = chains_.begin(); it != chains_.end(); ++it) {
        Chain& chain = it.value();
        if (chain.anchorMoved && !writeMark(MarkKind::Anchor, it.key(), *chain.anchorMoved, error))
            return false;
        chain.anchorMoved.reset();
        if (!headsDue || !chain.headMoved)
            continue;
        if (!writeMark(MarkKind::Head, it.key(), {chain.headSeq, chain.previous}, error))
            return false;
        chain.headMoved = false;
        headWritten = true;
    }
    if (headWritten)
        sinceHeads_.start();
    return true;
}

bool RecordChains::writeMark(MarkKind kind, const QString& table, const ChainMark& mark, QString* error)
{
    writeInfo_.bindValue(0, markKey(kind, table));
    writeInfo_.bindValue(1, markText(key_, kind, table, mark));
    const bool written = writeInfo_.exec();
    if (!written)
        *error = reasonOf(writeInfo_.lastError());
    writeInfo_.finish();
    return written;
}

} // namespace tavelin
