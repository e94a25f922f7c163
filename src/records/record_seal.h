#pragma once
// The seal of a stored row: an HMAC-SHA-256 over the previous seal of its
// table and the row's fields in one fixed form, so that a row changed,
// removed, inserted or moved without the key breaks the chain. The form is
// documented in docs/data.md ("The seal's form") for anyone to check with a
// script of their own:
//
//   seal    = HMAC-SHA-256(key, previous seal (32 bytes) || F(table) || F(field 1) || ...)
//   F(text) = its UTF-8 length as 4 bytes big-endian || its UTF-8 bytes
//   integer = F(its decimal text), real = F(16 lower-case hex digits of its
//   IEEE 754 binary64 bits, big-endian; -0 as 0), NULL (and a NaN, which
//   SQLite keeps as NULL) = FF FF FF FF
//
// A chain's ends are kept in marks: the anchor (the seal before the first
// row still stored, zeros at the chain's start) and the head (the newest
// row's). Each mark carries its own MAC, so that neither can be moved by
// someone without the key.

#include <QByteArray>
#include <QMessageAuthenticationCode>
#include <QString>
#include <QVariant>
#include <QVector>

#include <cstdint>
#include <optional>

namespace tavelin {

constexpr int kSealBytes = 32;

enum class SealType { Integer, Real, Text };

// A sealed table: its name and the columns its seal covers, in order; the
// first orders the chain (its seq, or an interval's start) and steps by
// seqStep from one row to the next when none is missing. Rows sealed only
// once closed (an interval that a later reading moved past) may stand
// unsealed after the head.
struct SealedTableSpec {
    QString name;
    QVector<QPair<QString, SealType>> columns;
    bool sealedWhenClosed = false;
    std::int64_t seqStep = 1;
};

// The fields of a row after the previous seal: F(table) and each column's F.
QByteArray sealMessage(const SealedTableSpec& table, const QVector<QVariant>& values);

// The seal of a row whose message is sealMessage(), after previous.
QByteArray sealOf(const QByteArray& key, const QByteArray& previous, const QByteArray& message);

// The same for many rows with one key, which it sets up once.
class SealMaker {
public:
    explicit SealMaker(const QByteArray& key);
    QByteArray seal(const QByteArray& previous, const QByteArray& message);

private:
    QMessageAuthenticationCode mac_;
};

// The seal of zeros that comes before a chain's first row.
QByteArray zeroSeal();

// An anchor or a head: which row it stands at and that row's seal.
struct ChainMark {
    std::int64_t seq = 0;
    QByteArray seal; // kSealBytes
};

enum class MarkKind { Anchor, Head };

// store_info's key for a table's mark: "seal_anchor/readings", "seal_head/readings".
QString markKey(MarkKind kind, const QString& table);
// "<seq> <seal hex> <mac hex>", the mac over F("anchor" or "head") || F(table) || F(seq) || seal.
QString markText(const QByteArray& key, MarkKind kind, const QString& table, const ChainMark& mark);
// The mark a text holds; nothing when it is not one, or its MAC does not hold.
std::optional<ChainMark> markFrom(const QByteArray& key, MarkKind kind, const QString& table, const QString& text);

} // namespace tavelin
