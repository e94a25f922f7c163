#pragma once
// Checks one sealed table's chain, fed its rows in seq order, and names what
// broke it. Each row's link is checked against the stored seal of the row
// before it (the anchor's for the first), so an untouched table costs one
// HMAC a row and keeps nothing. A row whose link fails is kept, and once
// every row is in, each failure is explained by the simplest change that
// gives it:
//   moved     the row's seal is the one the row after a gap was sealed
//             after: it stood there, and its seq was changed;
//   inserted  the rows before and after it link without it, or it stands
//             after the head, or at or before the anchor with a seal;
//   removed   its link fails across a gap in the seqs (and rows missing
//             between the last row and the head, or before the first);
//   changed   anything else: its fields or its seal are not those sealed.
// Rows at or before the anchor without a seal were stored before sealing
// began: counted, not a fault; with one, they are told as a run.

#include "records/record_seal.h"

#include <QStringList>

#include <vector>

namespace tavelin {

struct ChainFault {
    // BeforeAnchor: rows at or before the anchor that carry seals (made with
    // a key since replaced, or put there): they cannot be checked.
    enum class Kind { Changed, Removed, Inserted, Moved, BeforeAnchor, Mark };
    Kind kind = Kind::Changed;
    std::int64_t seq = 0;
    std::int64_t lastSeq = 0; // removed, before the anchor: the last of a run
    std::int64_t sealedAs = 0; // moved: the seq it was sealed at, when found
    QString detail;           // a mark: what is wrong with it
};

struct ChainReport {
    QString table;
    std::int64_t rows = 0; // rows checked: after the anchor
    std::int64_t firstSeq = 0;
    std::int64_t lastSeq = 0;
    QByteArray head; // the newest row's seal
    std::int64_t unsealed = 0; // stored before sealing began
    std::int64_t open = 0;     // not sealed yet (a table sealed when closed)
    std::vector<ChainFault> faults;
    std::int64_t notExplained = 0; // failing rows beyond those kept for explaining
};

class ChainWalk {
public:
    // At most this many failing rows are kept for explaining; more are told as a count.
    static constexpr int kMostFailures = 20000;

    // anchor, head: the marks as read and checked (nothing: missing, or not
    // holding); markProblems: what is wrong with them, to report.
    ChainWalk(const SealedTableSpec& table, QByteArray key, std::optional<ChainMark> anchor,
              std::optional<ChainMark> head, const QStringList& markProblems);

    // The next row, in seq order; values in the table's column order (seq first).
    void add(const QVector<QVariant>& values, const QByteArray& seal);
    ChainReport finish();

private:
    struct Failure {
        std::int64_t seq = 0;
        std::int64_t previousSeq = 0;
        QByteArray previousSeal;
        QVector<QVariant> values;
        QByteArray seal;
        bool nextLinks = false; // the next row links to this one's stored seal
        bool explained = false;
    };
    bool links(const QByteArray& previous, const QVector<QVariant>& values, const QByteArray& seal) const;
    void explain(std::size_t i);
    bool explainMoved(std::size_t i);
    void afterMovedRow(std::size_t moved);
    void tail();
    void fault(ChainFault::Kind kind, std::int64_t seq, std::int64_t lastSeq = 0, std::int64_t sealedAs = 0);

    const SealedTableSpec& table_;
    mutable SealMaker sealMaker_;
    ChainMark anchor_;
    std::optional<ChainMark> head_;
    ChainReport report_;
    QByteArray previousSeal_;
    std::int64_t previousSeq_ = 0;
    bool previousFailed_ = false;
    std::vector<Failure> failures_;
    std::int64_t failuresLost_ = 0;
};

// "readings: 604800 rows checked, seq 1 to 604800, head 5e1c...", with the
// rows stored before sealing began when there are any.
QString chainSummaryLine(const ChainReport& report);
// "readings: seq 42 changed", "readings: seq 7-9 removed", "readings: seq 90 moved (sealed as seq 5)".
QString chainFaultLine(const QString& table, const ChainFault& fault);

} // namespace tavelin
