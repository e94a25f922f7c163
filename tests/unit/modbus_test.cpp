// The Modbus register map as words, the requests the server answers and the
// exceptions of the others, and which client addresses the allowed ranges let in.
#include "modbus/ip_ranges.h"
#include "modbus/modbus_registers.h"
#include "modbus/modbus_requests.h"
#include "platform/readings_store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace tavelin;

namespace {

constexpr std::int64_t kNow = 1796000000000; // ms since the epoch

struct RegistersCase {
    const char* name;
    ModbusReading reading;
    std::map<int, std::uint16_t> words; // address -> word; every other word is 0
};

ModbusReading shown(double flow, double hz, double total, double meter, std::int64_t seq,
                    std::optional<std::int64_t> utcMs, double k)
{
    ModbusReading r;
    r.flowLMin = flow;
    r.frequencyHz = hz;
    r.totalLiters = total;
    r.meterLiters = meter;
    r.seq = seq;
    r.utcMs = utcMs;
    r.pulsesPerLiter = k;
    return r;
}

ModbusReading withStatus(ModbusReading r, ModbusStatus status)
{
    r.status = status;
    return r;
}

class Registers : public ::testing::TestWithParam<RegistersCase> {};

TEST_P(Registers, AreBigEndianHighWordFirstAtTheirAddresses)
{
    const ModbusRegisters words = encodeRegisters(GetParam().reading, kNow);
    for (int address = 0; address < modbus_map::kRegisterCount; ++address) {
        SCOPED_TRACE(address);
        const auto expected = GetParam().words.find(address);
        EXPECT_EQ(words[std::size_t(address)], expected == GetParam().words.end() ? 0 : expected->second);
    }
}

ModbusStatus everything()
{
    ModbusStatus s{true, true, true, true, true, {}};
    s.alarms.fill(true);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Map, Registers,
    ::testing::Values(
        RegistersCase{"BeforeTheFirstReading", shown(0, 0, 0, 0, 0, std::nullopt, 6900),
                      {{14, 0xFFFF}, {16, 0x45D7}, {17, 0xA000}}},
        RegistersCase{"AReading",
                      shown(2.17, 250, 0.14, 1234.5625, 7, kNow - 2999, 6900),
                      {{0, 0x400A}, {1, 0xE148}, {2, 0x437A}, {4, 0x3E0F}, {5, 0x5C29}, {6, 0x449A}, {7, 0x5200},
                       {10, 0x0012}, {11, 0xD683}, {13, 7}, {14, 2}, {16, 0x45D7}, {17, 0xA000}}},
        // Where a float is not exact (16 777 218), the milliliters are: 16 777 217.0005 L.
        RegistersCase{"MeterBeyondAFloat", shown(0, 0, 0, 16777217.0005, 1, kNow, 1),
                      {{6, 0x4B80}, {7, 0x0001}, {9, 0x0003}, {10, 0xE800}, {11, 0x03E9}, {13, 1}, {16, 0x3F80}}},
        RegistersCase{"SeqKeepsItsLow32Bits", shown(0, 0, 0, 0, 0x100000005LL, kNow, 1),
                      {{13, 5}, {16, 0x3F80}}},
        RegistersCase{"SecondsStopAt65535", shown(0, 0, 0, 0, 1, kNow - 70000000, 1),
                      {{13, 1}, {14, 0xFFFF}, {16, 0x3F80}}},
        RegistersCase{"AClockThatWentBackIsNow", shown(0, 0, 0, 0, 1, kNow + 5000, 1),
                      {{13, 1}, {16, 0x3F80}}},
        RegistersCase{"NegativeMeterHasNoMilliliters", shown(0, 0, 0, -1.5, 1, kNow, 1),
                      {{6, 0xBFC0}, {13, 1}, {16, 0x3F80}}},
        RegistersCase{"EveryStatusBit", withStatus(shown(0, 0, 0, 0, 1, kNow, 1), everything()),
                      {{13, 1}, {15, 0x1F1F}, {16, 0x3F80}}},
        RegistersCase{"LowFlowAndBatch",
                      withStatus(shown(0, 0, 0, 0, 1, kNow, 1), ModbusStatus{true, false, false, true, false,
                                                                             {false, true, false, false, true}}),
                      {{13, 1}, {15, 0x1209}, {16, 0x3F80}}}),
    [](const ::testing::TestParamInfo<RegistersCase>& info) { return std::string(info.param.name); });

TEST(StoredReadingRegisters, ShowTheReadingAndTheMeterOverTheKFactor)
{
    StoredReading stored;
    stored.seq = 41;
    stored.utcMs = kNow - 1000;
    stored.frequency = 250;
    stored.litersPerMin = 2.17;
    stored.totalLiters = 13.5;
    stored.meterCentipulses = 690000 * 100 + 69; // 100.01 L at 6900 pulses per liter
    const ModbusReading r = modbusReadingOf(stored, 6900);
    EXPECT_EQ(r.seq, 41);
    EXPECT_EQ(r.utcMs, kNow - 1000);
    EXPECT_EQ(r.flowLMin, 2.17);
    EXPECT_EQ(r.frequencyHz, 250);
    EXPECT_EQ(r.totalLiters, 13.5);
    EXPECT_EQ(milliliters(r.meterLiters), 100000u);
    EXPECT_FALSE(modbusReadingOf(std::nullopt, 6900).utcMs.has_value());
}

struct RequestCase {
    const char* name;
    int function;
    QByteArray data;
    ModbusException expected;
};

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, OnlyReadsWithinTheMapAreAnswered)
{
    const RequestCase& c = GetParam();
    EXPECT_EQ(int(checkRequest(c.function, c.data, modbus_map::kRegisterCount)), int(c.expected));
}

QByteArray read(int address, int count)
{
    return QByteArray::fromHex(QByteArray::number((address << 16) | count, 16).rightJustified(8, '0'));
}

INSTANTIATE_TEST_SUITE_P(
    Functions, Requests,
    ::testing::Values(
        RequestCase{"HoldingAll", 3, read(0, 18), ModbusException::None},
        RequestCase{"InputLastWord", 4, read(17, 1), ModbusException::None},
        RequestCase{"BeyondTheMap", 3, read(17, 2), ModbusException::IllegalDataAddress},
        RequestCase{"FarBeyond", 4, read(0xFFFF, 1), ModbusException::IllegalDataAddress},
        RequestCase{"CountZero", 3, read(0, 0), ModbusException::IllegalDataValue},
        RequestCase{"Count126", 3, read(0, 126), ModbusException::IllegalDataValue},
        RequestCase{"Count125BeyondTheMap", 3, read(0, 125), ModbusException::IllegalDataAddress},
        RequestCase{"TooShort", 3, QByteArray::fromHex("0000"), ModbusException::IllegalDataValue},
        RequestCase{"TooLong", 4, QByteArray::fromHex("0000000100"), ModbusException::IllegalDataValue},
        RequestCase{"WriteSingle", 6, read(0, 1), ModbusException::IllegalFunction},
        RequestCase{"WriteCoil", 5, read(0, 0xFF00), ModbusException::IllegalFunction},
        RequestCase{"WriteMultipleCoils", 15, read(0, 1), ModbusException::IllegalFunction},
        RequestCase{"WriteMultiple", 16, QByteArray::fromHex("000000010200ff"), ModbusException::IllegalFunction},
        RequestCase{"MaskWrite", 22, QByteArray::fromHex("000000ff0000"), ModbusException::IllegalFunction},
        RequestCase{"ReadWrite", 23, read(0, 1) + read(0, 1), ModbusException::IllegalFunction},
        RequestCase{"Coils", 1, read(0, 1), ModbusException::IllegalFunction},
        RequestCase{"Identification", 43, QByteArray::fromHex("0e0100"), ModbusException::IllegalFunction},
        RequestCase{"Unreadable", 0, QByteArray(), ModbusException::IllegalFunction}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

struct ClientCase {
    const char* name;
    const char* allowed;
    const char* client;
    bool in;
};

class AllowedClients : public ::testing::TestWithParam<ClientCase> {};

TEST_P(AllowedClients, AreThoseInAnAddressOrRange)
{
    const ClientCase& c = GetParam();
    QVector<IpRange> ranges;
    QString reason;
    ASSERT_TRUE(parseIpRanges(QString::fromLatin1(c.allowed), &ranges, &reason)) << reason.toStdString();
    const std::optional<IpAddress> client = parseIpAddress(QString::fromLatin1(c.client));
    ASSERT_TRUE(client.has_value());
    EXPECT_EQ(isAllowed(ranges, *client), c.in);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, AllowedClients,
    ::testing::Values(ClientCase{"EmptyListLetsAnyIn", "", "203.0.113.9", true},
                      ClientCase{"OneAddress", "127.0.0.1", "127.0.0.1", true},
                      ClientCase{"AnotherAddress", "127.0.0.1", "127.0.0.2", false},
                      ClientCase{"InARange", "10.0.0.0/8, 192.168.1.0/24", "192.168.1.200", true},
                      ClientCase{"BesideARange", "10.0.0.0/8 192.168.1.0/24", "192.168.2.1", false},
                      ClientCase{"OddPrefix", "10.0.0.128/25", "10.0.0.127", false},
                      ClientCase{"OddPrefixIn", "10.0.0.128/25", "10.0.0.255", true},
                      ClientCase{"HostBitsIgnored", "10.1.2.3/16", "10.1.200.1", true},
                      ClientCase{"Everything", "0.0.0.0/0", "8.8.8.8", true},
                      ClientCase{"Ipv4AsMapped", "127.0.0.0/8", "::ffff:127.0.0.1", true},
                      ClientCase{"Ipv6Range", "fd00::/8", "fd12:3456::1", true},
                      ClientCase{"Ipv6Loopback", "::1", "::1", true},
                      ClientCase{"Ipv4ListNotIpv6", "127.0.0.1", "::1", false},
                      ClientCase{"Ipv6RangeHoldsMappedIpv4", "::/1", "127.0.0.1", true}),
    [](const ::testing::TestParamInfo<ClientCase>& info) { return std::string(info.param.name); });

TEST(AllowedClients, AListWithAnythingButAddressesAndRangesIsRefused)
{
    for (const char* text : {"localhost", "10.0.0.0/33", "fd00::/129", "10.0.0.1/", "10.0.0/8", "10.0.0.1/-1",
                             "[::1]", "fe80::1%eth0", "10.0.0.1;10.0.0.2"}) {
        SCOPED_TRACE(text);
        QVector<IpRange> ranges;
        QString reason;
        EXPECT_FALSE(parseIpRanges(QString::fromLatin1(text), &ranges, &reason));
        EXPECT_NE(reason.indexOf(QLatin1String("neither an address nor a range")), -1);
    }
}

} // namespace
