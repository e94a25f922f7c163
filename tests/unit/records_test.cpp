// The sealed records: the seal's documented form byte for byte, the chain's
// marks, and what a chain walk names for each way a table can be tampered
// with, on a chain sealed here.
#include "records/chain_walk.h"
#include "records/event_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace tavelin;

namespace {

const SealedTableSpec kTable{QStringLiteral("t"),
                             {{QStringLiteral("seq"), SealType::Integer},
                              {QStringLiteral("v"), SealType::Real},
                              {QStringLiteral("s"), SealType::Text},
                              {QStringLiteral("n"), SealType::Text}}};

TEST(RecordSeal, TheMessageIsTheDocumentedFormByteForByte)
{
    const struct {
        const char* name;
        QVector<QVariant> values;
        const char* hex;
    } rows[] = {
        {"integer, real, UTF-8 text, NULL", {qint64(42), 1.5, QStringLiteral("\u00e4"), QVariant()},
         "0000000174" "000000023432" "00000010" "33666638303030303030303030303030" "00000002c3a4" "ffffffff"},
        {"negative integer, -0 as 0, empty text",
         {qint64(-7), -0.0, QStringLiteral(""), QStringLiteral("x")},
         "0000000174" "000000022d37" "00000010" "30303030303030303030303030303030" "00000000" "0000000178"},
        {"a NaN is NULL, as SQLite keeps it", {qint64(1), std::numeric_limits<double>::quiet_NaN(), QVariant(), QVariant()},
         "0000000174" "0000000131" "ffffffff" "ffffffff" "ffffffff"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sealMessage(kTable, row.values).toHex().toStdString(), row.hex);
    }
}

TEST(RecordSeal, TheSealIsHmacSha256OverThePreviousSealAndTheMessage)
{
    // RFC 4231, test case 2, its data cut in two.
    EXPECT_EQ(sealOf("Jefe", "what do ya ", "want for nothing?").toHex(),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

TEST(RecordSeal, AMarkHoldsOnlyWithItsKeyTableKindAndSeq)
{
    const QByteArray key(32, 'k');
    const ChainMark mark{41, QByteArray(32, '\x5a')};
    const QString text = markText(key, MarkKind::Anchor, QStringLiteral("readings"), mark);
    ASSERT_TRUE(markFrom(key, MarkKind::Anchor, QStringLiteral("readings"), text));
    EXPECT_EQ(markFrom(key, MarkKind::Anchor, QStringLiteral("readings"), text)->seq, 41);
    QString otherSeq = text;
    otherSeq.replace(0, 2, QStringLiteral("40"));
    const struct {
        const char* name;
        QByteArray key;
        MarkKind kind;
        const char* table;
        QString text;
    } refused[] = {
        {"another key", QByteArray(32, 'j'), MarkKind::Anchor, "readings", text},
        {"a head's place", key, MarkKind::Head, "readings", text},
        {"another table", key, MarkKind::Anchor, "events", text},
        {"its seq changed", key, MarkKind::Anchor, "readings", otherSeq},
        {"not a mark", key, MarkKind::Anchor, "readings", QStringLiteral("41")},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(markFrom(row.key, row.kind, QLatin1String(row.table), row.text));
    }
}

// A table as stored: its rows in seq order and its marks.
struct Table {
    struct Row {
        QVector<QVariant> values;
        QByteArray seal;
    };
    QVector<Row> rows;
    ChainMark anchor{0, zeroSeal()};
    ChainMark head{0, zeroSeal()};
    QStringList markProblems;
};

const QByteArray kKey(32, '\x17');

QVector<QVariant> valuesOf(std::int64_t seq)
{
    return {qint64(seq), seq * 1.5, QStringLiteral("row %1").arg(seq), QString()};
}

// Rows of the given seqs, sealed in turn after the anchor; the head at the last.
Table sealed(const std::vector<std::int64_t>& seqs, ChainMark anchor = {0, zeroSeal()})
{
    Table table;
    table.anchor = anchor;
    QByteArray previous = anchor.seal;
    for (std::int64_t seq : seqs) {
        previous = sealOf(kKey, previous, sealMessage(kTable, valuesOf(seq)));
        table.rows.append({valuesOf(seq), previous});
    }
    table.head = seqs.empty() ? anchor : ChainMark{seqs.back(), previous};
    return table;
}

int indexOf(const Table& table, std::int64_t seq)
{
    for (int i = 0; i < table.rows.size(); ++i)
        if (table.rows[i].values[0].toLongLong() == seq)
            return i;
    return -1;
}

QStringList walked(const Table& table, ChainReport* report = nullptr)
{
    ChainWalk walk(kTable, kKey, table.anchor, table.head, table.markProblems);
    QVector<Table::Row> rows = table.rows;
    std::sort(rows.begin(), rows.end(),
              [](const Table::Row& a, const Table::Row& b) { return a.values[0].toLongLong() < b.values[0].toLongLong(); });
    for (const Table::Row& row : rows)
        walk.add(row.values, row.seal);
    const ChainReport done = walk.finish();
    if (report)
        *report = done;
    QStringList lines;
    for (const ChainFault& fault : done.faults)
        lines.append(chainFaultLine(done.table, fault));
    return lines;
}

const std::vector<std::int64_t> kTen{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

TEST(ChainWalk, NamesWhatWasDoneToTheTable)
{
    const struct {
        const char* name;
        std::function<Table()> table;
        QStringList faults;
    } rows[] = {
        {"untouched", [] { return sealed(kTen); }, {}},
        {"a gap a failed commit left links", [] { return sealed({1, 2, 3, 7, 8}); }, {}},
        {"a field changed", [] { Table t = sealed(kTen); t.rows[3].values[1] = 99.0; return t; }, {"t: seq 4 changed"}},
        {"a text changed", [] { Table t = sealed(kTen); t.rows[3].values[2] = QStringLiteral("row 44"); return t; },
         {"t: seq 4 changed"}},
        {"its seal alone changed", [] { Table t = sealed(kTen); t.rows[3].seal[0] = 'x'; return t; },
         {"t: seq 4 changed"}},
        {"its seal taken away", [] { Table t = sealed(kTen); t.rows[3].seal.clear(); return t; }, {"t: seq 4 changed"}},
        {"the newest changed", [] { Table t = sealed(kTen); t.rows[9].values[1] = 0.0; return t; },
         {"t: seq 10 changed"}},
        {"a row removed", [] { Table t = sealed(kTen); t.rows.remove(3); return t; }, {"t: seq 4 removed"}},
        {"three rows removed", [] { Table t = sealed(kTen); t.rows.remove(3, 3); return t; }, {"t: seq 4-6 removed"}},
        {"the newest removed", [] { Table t = sealed(kTen); t.rows.removeLast(); return t; }, {"t: seq 10 removed"}},
        {"the oldest removed, the anchor left", [] { Table t = sealed(kTen); t.rows.removeFirst(); return t; },
         {"t: seq 1 removed"}},
        {"old rows removed with the anchor moved on",
         [] { Table t = sealed(kTen); t.anchor = {3, t.rows[2].seal}; t.rows.remove(0, 3); return t; }, {}},
        {"a row added after the newest",
         [] { Table t = sealed(kTen); t.rows.append({valuesOf(11), QByteArray(32, '\1')}); return t; },
         {"t: seq 11 inserted"}},
        {"a row added into a gap",
         [] { Table t = sealed({1, 2, 3, 7, 8}); t.rows.append({valuesOf(5), t.rows[4].seal}); return t; },
         {"t: seq 5 inserted"}},
        {"a row moved after the newest",
         [] { Table t = sealed(kTen); t.rows[3].values[0] = qint64(20); return t; },
         {"t: seq 20 moved (sealed as seq 4)"}},
        {"a row moved into a gap",
         [] { Table t = sealed({1, 2, 3, 4, 9, 10}); t.rows[1].values[0] = qint64(6); return t; },
         {"t: seq 6 moved (sealed as seq 2)"}},
        {"rows at and before the anchor stored before sealing began",
         [] {
             Table t = sealed({4, 5, 6}, {3, zeroSeal()});
             for (std::int64_t seq : {1, 2, 3})
                 t.rows.append({valuesOf(seq), QByteArray()});
             return t;
         },
         {}},
        {"sealed rows before the anchor: a replaced key",
         [] {
             Table t = sealed({4, 5}, {3, zeroSeal()});
             for (std::int64_t seq : {1, 2, 3})
                 t.rows.append({valuesOf(seq), QByteArray(32, '\2')});
             return t;
         },
         {"t: seq 1-3 sealed before the chain's anchor, not checked"}},
        {"a mark that does not hold", [] { Table t = sealed(kTen); t.markProblems = QStringList{"its anchor record was changed"}; return t; },
         {"t: its anchor record was changed"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(walked(row.table()), row.faults);
    }
}

TEST(ChainWalk, SaysWhatItChecked)
{
    ChainReport report;
    Table table = sealed({4, 5, 6}, {3, zeroSeal()});
    for (std::int64_t seq : {1, 2})
        table.rows.append({valuesOf(seq), QByteArray()});
    walked(table, &report);
    EXPECT_EQ(chainSummaryLine(report),
              QStringLiteral("t: 3 rows checked, seq 4 to 6, head %1, 2 stored before sealing began (not sealed)")
                  .arg(QString::fromLatin1(table.rows[2].seal.toHex())));
    walked(Table(), &report);
    EXPECT_EQ(chainSummaryLine(report), QStringLiteral("t: 0 rows checked"));
}

// A table ordered by an interval's start, sealed once a later reading moved
// past it: a quarter-hour without readings is no row, the newest stands open.
TEST(ChainWalk, ATableOfQuarterHoursStepsByItsStartAndMayEndOpen)
{
    SealedTableSpec quarters{QStringLiteral("q"), {{QStringLiteral("start"), SealType::Integer},
                                                   {QStringLiteral("liters"), SealType::Real}}};
    quarters.sealedWhenClosed = true;
    quarters.seqStep = 900000;
    QVector<QVector<QVariant>> rows;
    QVector<QByteArray> seals;
    QByteArray previous = zeroSeal();
    for (qint64 start : {900000LL, 1800000LL, 3600000LL}) { // 2700000: no readings
        rows.append({start, start / 1e5});
        previous = sealOf(kKey, previous, sealMessage(quarters, rows.last()));
        seals.append(previous);
    }
    const ChainMark head{3600000, previous};
    const auto walk = [&](int skipped) {
        ChainWalk walk(quarters, kKey, std::nullopt, head, {});
        for (int i = 0; i < rows.size(); ++i)
            if (i != skipped)
                walk.add(rows[i], seals[i]);
        walk.add({qint64(4500000), 1.5}, QByteArray()); // the open quarter-hour
        return walk.finish();
    };
    const ChainReport whole = walk(-1);
    EXPECT_TRUE(whole.faults.empty());
    EXPECT_EQ(whole.open, 1);
    const ChainReport removed = walk(1);
    ASSERT_EQ(removed.faults.size(), 1u);
    EXPECT_EQ(chainFaultLine(QStringLiteral("q"), removed.faults[0]), QStringLiteral("q: seq 1800000-2700000 removed"))
        << "the quarter-hour without readings cannot be told from one removed";
}

TEST(EventLog, AnEventAsARowAndACalibrationsRun)
{
    const StoredEvent event{7, 1796824791158, "setting_changed", "sensor/pulses_per_liter", "6900", "7012.5",
                            "calibration: 1402.5 pulses over 0.2 L", "op", "1.0.0"};
    EXPECT_EQ(eventRow(event), (QStringList{"7", "2026-12-09T13:59:51.158Z", "setting_changed",
                                            "sensor/pulses_per_liter", "6900", "7012.5",
                                            "calibration: 1402.5 pulses over 0.2 L", "op", "1.0.0"}));
    EXPECT_EQ(eventRow(event).size(), eventRowHeader().size());
    EXPECT_EQ(calibrationSource(1402.5, 0.2), QStringLiteral("calibration: 1402.50 pulses over 0.2 L"));
}

} // namespace
