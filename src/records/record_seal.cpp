#include "records/record_seal.h"

#include <QMessageAuthenticationCode>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstring>

namespace tavelin {

namespace {

void appendField(QByteArray& out, const QByteArray& bytes)
{
    const auto length = static_cast<std::uint32_t>(bytes.size());
    const char prefix[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    out.append(prefix, 4);
    out.append(bytes);
}

void appendNull(QByteArray& out)
{
    out.append(4, char(0xff));
}

// The binary64 bits as 16 hex digits: exact, and the same in any language.
// Written by hand: a week of readings is 4 million of them for --verify.
void appendReal(QByteArray& out, double value)
{
    if (value == 0.0)
        value = 0.0; // -0 as 0: SQLite may keep either as the integer 0
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char text[4 + 16] = {0, 0, 0, 16};
    for (int i = 15; i >= 0; --i, bits >>= 4)
        text[4 + i] = "0123456789abcdef"[bits & 0xf];
    out.append(text, sizeof text);
}

void appendInteger(QByteArray& out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    appendField(out, QByteArray::fromRawData(digits, int(end - digits)));
}

void appendValue(QByteArray& out, SealType type, const QVariant& value)
{
    if (value.isNull()) {
        appendNull(out);
        return;
    }
    switch (type) {
    case SealType::Integer:
        appendInteger(out, value.toLongLong());
        return;
    case SealType::Real: {
        const double real = value.toDouble();
        if (std::isnan(real))
            appendNull(out); // SQLite stores a NaN as NULL
        else
            appendReal(out, real);
        return;
    }
    case SealType::Text:
        appendField(out, value.toString().toUtf8());
        return;
    }
}

QByteArray markMessage(MarkKind kind, const QString& table, const ChainMark& mark)
{
    QByteArray message;
    appendField(message, kind == MarkKind::Anchor ? QByteArrayLiteral("anchor") : QByteArrayLiteral("head"));
    appendField(message, table.toUtf8());
    appendField(message, QByteArray::number(static_cast<qlonglong>(mark.seq)));
    message.append(mark.seal);
    return message;
}

QByteArray macOf(const QByteArray& key, const QByteArray& message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

} // namespace

QByteArray sealMessage(const SealedTableSpec& table, const QVector<QVariant>& values)
{
    QByteArray message;
    message.reserve(16 + 24 * table.columns.size());
    appendField(message, table.name.toUtf8());
    for (int i = 0; i < table.columns.size(); ++i)
        appendValue(message, table.columns[i].second, i < values.size() ? values[i] : QVariant());
    return message;
}

QByteArray sealOf(const QByteArray& key, const QByteArray& previous, const QByteArray& message)
{
    return SealMaker(key).seal(previous, message);
}

SealMaker::SealMaker(const QByteArray& key) : mac_(QCryptographicHash::Sha256, key) {}

QByteArray SealMaker::seal(const QByteArray& previous, const QByteArray& message)
{
    mac_.reset();
    mac_.addData(previous);
    mac_.addData(message);
    return mac_.result();
}

QByteArray zeroSeal()
{
    return QByteArray(kSealBytes, '\0');
}

QString markKey(MarkKind kind, const QString& table)
{
    return (kind == MarkKind::Anchor ? QStringLiteral("seal_anchor/") : QStringLiteral("seal_head/")) + table;
}

QString markText(const QByteArray& key, MarkKind kind, const QString& table, const ChainMark& mark)
{
    return QStringLiteral("%1 %2 %3")
        .arg(mark.seq)
        .arg(QString::fromLatin1(mark.seal.toHex()),
             QString::fromLatin1(macOf(key, markMessage(kind, table, mark)).toHex()));
}

std::optional<ChainMark> markFrom(const QByteArray& key, MarkKind kind, const QString& table, const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() != 3)
        return std::nullopt;
    bool ok = false;
    ChainMark mark;
    mark.seq = parts[0].toLongLong(&ok);
    mark.seal = QByteArray::fromHex(parts[1].toLatin1());
    const QByteArray mac = QByteArray::fromHex(parts[2].toLatin1());
    if (!ok || mark.seal.size() != kSealBytes || mac != macOf(key, markMessage(kind, table, mark)))
        return std::nullopt;
    return mark;
}

} // namespace tavelin
