#include "records/chain_walk.h"

#include <algorithm>

namespace tavelin {

namespace {
// Beyond this many failing rows, none is looked for as moved: each look
// costs one HMAC per failing row.
constexpr std::size_t kMostForMoved = 500;
// How far back a moved row's first seq is looked for.
constexpr std::int64_t kMostSeqsBack = 1000;
} // namespace

ChainWalk::ChainWalk(const SealedTableSpec& table, QByteArray key, std::optional<ChainMark> anchor,
                     std::optional<ChainMark> head, const QStringList& markProblems)
    : table_(table), sealMaker_(key), anchor_(anchor.value_or(ChainMark{0, zeroSeal()})), head_(std::move(head))
{
    report_.table = table.name;
    for (const QString& problem : markProblems) {
        ChainFault fault;
        fault.kind = ChainFault::Kind::Mark;
        fault.detail = problem;
        report_.faults.push_back(fault);
    }
    previousSeal_ = anchor_.seal;
    previousSeq_ = anchor_.seq;
}

bool ChainWalk::links(const QByteArray& previous, const QVector<QVariant>& values, const QByteArray& seal) const
{
    return !seal.isEmpty() && sealMaker_.seal(previous, sealMessage(table_, values)) == seal;
}

void ChainWalk::add(const QVector<QVariant>& values, const QByteArray& seal)
{
    const std::int64_t seq = values.value(0).toLongLong();
    if (seq <= anchor_.seq) {
        // Nothing is ever sealed at or before the anchor: rows there were
        // stored before sealing began, or put there since.
        if (seal.isEmpty())
            ++report_.unsealed;
        else if (!report_.faults.empty() && report_.faults.back().kind == ChainFault::Kind::BeforeAnchor)
            report_.faults.back().lastSeq = seq;
        else
            fault(ChainFault::Kind::BeforeAnchor, seq, seq);
        return;
    }
    if (table_.sealedWhenClosed && seal.isEmpty() && head_ && seq > head_->seq) {
        ++report_.open;
        return;
    }
    if (report_.rows++ == 0)
        report_.firstSeq = seq;
    report_.lastSeq = seq;
    report_.head = seal;
    const bool linked = links(previousSeal_, values, seal);
    if (previousFailed_ && !failures_.empty() && failures_.back().seq == previousSeq_)
        failures_.back().nextLinks = linked;
    if (!linked) {
        if (failures_.size() < kMostFailures)
            failures_.push_back({seq, previousSeq_, previousSeal_, values, seal});
        else
            ++failuresLost_;
    }
    previousFailed_ = !linked;
    previousSeal_ = seal;
    previousSeq_ = seq;
}

ChainReport ChainWalk::finish()
{
    // Moved rows first: a row moved into a gap would pass for inserted.
    for (std::size_t i = 0; i < failures_.size() && failures_.size() <= kMostForMoved; ++i) {
        if (!failures_[i].explained)
            explainMoved(i);
    }
    for (std::size_t i = 0; i < failures_.size(); ++i) {
        if (!failures_[i].explained)
            explain(i);
    }
    tail();
    report_.notExplained = failuresLost_;
    std::stable_sort(report_.faults.begin(), report_.faults.end(),
                     [](const ChainFault& a, const ChainFault& b) { return a.seq < b.seq; });
    return report_;
}

void ChainWalk::explain(std::size_t i)
{
    Failure& row = failures_[i];
    row.explained = true;
    Failure* next = i + 1 < failures_.size() && failures_[i + 1].previousSeq == row.seq && !failures_[i + 1].explained
                        ? &failures_[i + 1]
                        : nullptr;
    if ((next && links(row.previousSeal, next->values, next->seal)) || (head_ && row.seq > head_->seq)) {
        fault(ChainFault::Kind::Inserted, row.seq);
        if (next && links(row.previousSeal, next->values, next->seal))
            next->explained = true;
        return;
    }
    if (row.seq > row.previousSeq + table_.seqStep) {
        fault(ChainFault::Kind::Removed, row.previousSeq + table_.seqStep, row.seq - table_.seqStep);
        return;
    }
    fault(ChainFault::Kind::Changed, row.seq);
    // Its seal alone changed: the next row links to the seal it should have.
    if (next && links(sealMaker_.seal(row.previousSeal, sealMessage(table_, row.values)), next->values, next->seal))
        next->explained = true;
}

// The row failed because the row sealed before it now stands elsewhere.
bool ChainWalk::explainMoved(std::size_t i)
{
    Failure& row = failures_[i];
    for (std::size_t c = 0; c < failures_.size(); ++c) {
        Failure& moved = failures_[c];
        if (c == i || !links(moved.seal, row.values, row.seal))
            continue;
        std::int64_t sealedAs = 0;
        const std::int64_t step = table_.seqStep;
        for (std::int64_t seq = row.seq - step; seq > row.previousSeq && seq >= row.seq - kMostSeqsBack * step;
             seq -= step) {
            QVector<QVariant> values = moved.values;
            values[0] = qint64(seq);
            if (links(row.previousSeal, values, moved.seal)) {
                sealedAs = seq;
                break;
            }
        }
        row.explained = true;
        if (!moved.explained) {
            moved.explained = true;
            fault(ChainFault::Kind::Moved, moved.seq, 0, sealedAs);
            afterMovedRow(c);
        }
        return true;
    }
    return false;
}

// The row after a moved row's new place fails only for standing after it.
void ChainWalk::afterMovedRow(std::size_t moved)
{
    if (moved + 1 >= failures_.size())
        return;
    Failure& next = failures_[moved + 1];
    if (next.previousSeq == failures_[moved].seq && links(failures_[moved].previousSeal, next.values, next.seal))
        next.explained = true;
}

// Rows missing after the last one, up to the head.
void ChainWalk::tail()
{
    if (!head_)
        return;
    const std::int64_t last = std::max(report_.lastSeq, anchor_.seq);
    if (last < head_->seq)
        fault(ChainFault::Kind::Removed, last + table_.seqStep, head_->seq);
}

void ChainWalk::fault(ChainFault::Kind kind, std::int64_t seq, std::int64_t lastSeq, std::int64_t sealedAs)
{
    ChainFault fault;
    fault.kind = kind;
    fault.seq = seq;
    fault.lastSeq = lastSeq;
    fault.sealedAs = sealedAs;
    report_.faults.push_back(fault);
}

QString chainSummaryLine(const ChainReport& report)
{
    QString line = QStringLiteral("%1: %2 rows checked").arg(report.table).arg(report.rows);
    if (report.rows > 0)
        line += QStringLiteral(", seq %1 to %2, head %3")
                    .arg(report.firstSeq)
                    .arg(report.lastSeq)
                    .arg(QString::fromLatin1(report.head.toHex()));
    if (report.unsealed > 0)
        line += QStringLiteral(", %1 stored before sealing began (not sealed)").arg(report.unsealed);
    if (report.open > 0)
        line += QStringLiteral(", %1 open (sealed once closed)").arg(report.open);
    return line;
}

QString chainFaultLine(const QString& table, const ChainFault& fault)
{
    switch (fault.kind) {
    case ChainFault::Kind::Changed:
        return QStringLiteral("%1: seq %2 changed").arg(table).arg(fault.seq);
    case ChainFault::Kind::Removed:
        return fault.lastSeq > fault.seq ? QStringLiteral("%1: seq %2-%3 removed").arg(table).arg(fault.seq).arg(fault.lastSeq)
                                         : QStringLiteral("%1: seq %2 removed").arg(table).arg(fault.seq);
    case ChainFault::Kind::Inserted:
        return QStringLiteral("%1: seq %2 inserted").arg(table).arg(fault.seq);
    case ChainFault::Kind::Moved:
        return fault.sealedAs > 0
                   ? QStringLiteral("%1: seq %2 moved (sealed as seq %3)").arg(table).arg(fault.seq).arg(fault.sealedAs)
                   : QStringLiteral("%1: seq %2 moved").arg(table).arg(fault.seq);
    case ChainFault::Kind::BeforeAnchor:
        return QStringLiteral("%1: seq %2-%3 sealed before the chain's anchor, not checked")
            .arg(table)
            .arg(fault.seq)
            .arg(fault.lastSeq);
    case ChainFault::Kind::Mark:
        return QStringLiteral("%1: %2").arg(table, fault.detail);
    }
    return QString();
}

} // namespace tavelin
