#include "modbus/ip_ranges.h"

#include <QRegularExpression>
#include <QStringList>

#include <arpa/inet.h>

#include <cstring>

namespace tavelin {

namespace {

constexpr int kIpv4MappedOffset = 12; // ::ffff: then the four bytes
constexpr int kIpv4PrefixOffset = 96;

bool prefixMatches(const IpAddress& a, const IpAddress& b, int bits)
{
    const int whole = bits / 8;
    if (std::memcmp(a.data(), b.data(), static_cast<std::size_t>(whole)) != 0)
        return false;
    const int rest = bits % 8;
    if (rest == 0)
        return true;
    const std::uint8_t mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

std::optional<IpRange> parseRange(const QString& entry)
{
    const int slash = entry.indexOf(QLatin1Char('/'));
    const std::optional<IpAddress> base = parseIpAddress(slash < 0 ? entry : entry.left(slash));
    if (!base)
        return std::nullopt;
    const int width = isIpv4(*base) ? 32 : 128;
    int bits = width;
    if (slash >= 0) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
        const QString length = entry.mid(slash + 1);
        if (!digits.match(length).hasMatch() || length.toInt() > width)
            return std::nullopt;
        bits = length.toInt();
    }
    return IpRange{*base, bits + (width == 32 ? kIpv4PrefixOffset : 0)};
}

} // namespace

std::optional<IpAddress> parseIpAddress(const QString& text)
{
    const QByteArray latin = text.toLatin1();
    if (text.isEmpty() || QString::fromLatin1(latin) != text)
        return std::nullopt;
    IpAddress address{};
    in_addr v4{};
    if (inet_pton(AF_INET, latin.constData(), &v4) == 1) {
        address[10] = address[11] = 0xFF;
        std::memcpy(address.data() + kIpv4MappedOffset, &v4, sizeof v4);
        return address;
    }
    if (inet_pton(AF_INET6, latin.constData(), address.data()) == 1)
        return address;
    return std::nullopt;
}

bool isIpv4(const IpAddress& address)
{
    static const IpAddress mapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
    return prefixMatches(address, mapped, kIpv4PrefixOffset);
}

bool parseIpRanges(const QString& text, QVector<IpRange>* ranges, QString* reason)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QVector<IpRange> parsed;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        const std::optional<IpRange> range = parseRange(entry);
        if (!range) {
            *reason = QStringLiteral("a list holding \"%1\", which is neither an address nor a range (such as "
                                     "192.168.1.20, 10.0.0.0/8 or fd00::/8)")
                          .arg(entry);
            return false;
        }
        parsed.append(*range);
    }
    *ranges = parsed;
    return true;
}

bool isAllowed(const QVector<IpRange>& ranges, const IpAddress& client)
{
    if (ranges.isEmpty())
        return true;
    for (const IpRange& range : ranges) {
        if (prefixMatches(range.base, client, range.prefixBits))
            return true;
    }
    return false;
}

} // namespace tavelin
