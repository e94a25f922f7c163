#pragma once
// Literal IPv4 and IPv6 addresses, and ranges of them in CIDR notation, for
// where the Modbus server listens and which clients it serves. An IPv4
// address is kept in its IPv4-mapped IPv6 form (::ffff:a.b.c.d), so that a
// client seen through a dual-stack socket matches an IPv4 range. Host names
// are never taken: looking one up could stall the event loop.

#include <QString>
#include <QVector>

#include <array>
#include <cstdint>
#include <optional>

namespace tavelin {

using IpAddress = std::array<std::uint8_t, 16>;

// "192.168.1.20", "::1", "fd00::5"; nothing for anything else (names, zone
// ids, brackets, blanks).
std::optional<IpAddress> parseIpAddress(const QString& text);
bool isIpv4(const IpAddress& address);

// An address and how many of its leading bits a client must share with it.
struct IpRange {
    IpAddress base{};
    int prefixBits = 128; // over the 128 bits of the IPv6 form
};

// A list of addresses and ranges separated by commas or blanks:
// "127.0.0.1, 10.0.0.0/8, fd00::/8". Empty text is an empty list. False,
// with *reason naming the first entry that is neither, otherwise.
bool parseIpRanges(const QString& text, QVector<IpRange>* ranges, QString* reason);

// An empty list lets every client in.
bool isAllowed(const QVector<IpRange>& ranges, const IpAddress& client);

} // namespace tavelin
