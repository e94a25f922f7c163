#pragma once
// The writer's side of the sealed tables: each table's previous seal, kept
// in memory from the open on, each new row sealed after it in seq order,
// and the chain's marks in store_info (the anchor, moved on when old rows
// leave, in their transaction; the head, moved at most once a minute and at
// a clean stop: a write of store_info in every commit would cost each
// durable commit a fifth more). Runs on the store writer's thread, inside
// the writer's transactions; a transaction that fails takes the chains back
// with restore().

#include "records/record_seal.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace tavelin {

class RecordChains {
public:
    // What opening the chains did that the operator should hear of.
    struct Opening {
        bool ok = false;
        QString error;
        bool keyMade = false;     // the store had no key yet
        bool keyReplaced = false; // the store had seals but its key was gone: a new chain from here
    };

    // Reads (or makes) the key beside storePath, then each table's marks and
    // newest seal; a table without marks starts its chain after its newest
    // row, from zeros, or after startAfter's seq for it when that is later
    // (rows still to be made of older ones). Inside a transaction of the
    // caller's.
    Opening open(const QSqlDatabase& db, const QString& storePath,
                 const QHash<QString, std::int64_t>& startAfter = {});

    // Lets go of the connection, which can then be removed.
    void close();

    bool isOn() const { return !key_.isEmpty(); }
    // Off: rows are stored without seals. Only to measure what sealing costs.
    void setOn(bool on);

    // The seal of the table's next row; empty while off.
    QByteArray seal(const SealedTableSpec& table, const QVector<QVariant>& values);
    // The table's rows up to seq left the store; seal: that row's (empty for
    // a row stored before sealing began, which leaves the anchor where it is).
    void removedUpTo(const SealedTableSpec& table, std::int64_t seq, const QByteArray& seal);
    static constexpr qint64 kHeadEveryMs = 60 * 1000;

    // Writes the anchors that moved, and the heads that moved when a minute
    // has passed since they were last written or when now; false with *error
    // set.
    enum class Heads { WhenDue, Now };
    bool writeMarks(QString* error, Heads heads = Heads::WhenDue);

    // The newest row's seal of the table, as sealed here, and its seq: a
    // row at or before it cannot be sealed any more.
    QByteArray headSeal(const QString& table) const { return chains_.value(table).previous; }
    std::int64_t headSeq(const QString& table) const { return chains_.value(table).headSeq; }

    struct Chain {
        QByteArray previous;
        std::int64_t headSeq = 0;
        bool headMoved = false;
        std::optional<ChainMark> anchorMoved;
    };
    using State = QHash<QString, Chain>;
    State state() const { return chains_; }
    // After a transaction that failed: the heads it wrote are due again.
    void restore(const State& state)
    {
        chains_ = state;
        sinceHeads_.invalidate();
    }

private:
    bool openTable(const SealedTableSpec& table, bool restart, const QHash<QString, std::int64_t>& startAfter,
                   QString* error);
    bool writeMark(MarkKind kind, const QString& table, const ChainMark& mark, QString* error);

    QSqlDatabase db_;
    QByteArray key_;
    QByteArray offKey_; // the key while off
    State chains_;
    QSqlQuery writeInfo_;
    QElapsedTimer sinceHeads_; // since the heads were last written
};

} // namespace tavelin
