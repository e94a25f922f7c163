// The Modbus register map as words, the exceptions of the requests that are
// not answered, and which client addresses the allowed ranges let in.
#include "modbus/ip_ranges.h"
#include "modbus/modbus_registers.h"
#include "modbus/modbus_requests.h"

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
                    std::optional<std::int64_t> utcMs, std::uint16_t status = 0)
{
    const auto bit = [status](int b) { return (status >> b & 1) != 0; };
    ModbusStatus bits{bit(0), bit(1), bit(2), bit(3), bit(4), {}};
    for (int i = 0; i < kAlarmCount; ++i)
        bits.alarms[std::size_t(i)] = bit(8 + i);
    return {flow, hz, total, meter, seq, utcMs, bits, 6900};
}

class Registers : public ::testing::TestWithParam<RegistersCase> {};

TEST_P(Registers, AreBigEndianHighWordFirstAtTheirAddresses)
{
    std::map<int, std::uint16_t> expected = GetParam().words;
    expected.insert({{16, 0x45D7}, {17, 0xA000}}); // 6900 pulses per liter
    const ModbusRegisters words = encodeRegisters(GetParam().reading, kNow);
    for (int address = 0; address < modbus_map::kRegisterCount; ++address)
        EXPECT_EQ(words[std::size_t(address)], expected[address]) << "address " << address;
}

INSTANTIATE_TEST_SUITE_P(
    Map, Registers,
    ::testing::Values(
        RegistersCase{"BeforeTheFirstReading", shown(0, 0, 0, 0, 0, std::nullopt), {{14, 0xFFFF}}},
        RegistersCase{"AReading", shown(2.17, 250, 0.14, 1234.5625, 7, kNow - 2999, 0x1F1F),
                      {{0, 0x400A}, {1, 0xE148}, {2, 0x437A}, {4, 0x3E0F}, {5, 0x5C29}, {6, 0x449A}, {7, 0x5200},
                       {10, 0x0012}, {11, 0xD683}, {13, 7}, {14, 2}, {15, 0x1F1F}}},
        // The float is 16 777 218, the milliliters exact.
        RegistersCase{"MeterBeyondAFloat", shown(0, 0, 0, 16777217.0005, 1, kNow),
                      {{6, 0x4B80}, {7, 0x0001}, {9, 0x0003}, {10, 0xE800}, {11, 0x03E9}, {13, 1}}},
        RegistersCase{"SeqKeepsItsLow32Bits", shown(0, 0, 0, 0, 0x100000005LL, kNow, 0x1209), {{13, 5}, {15, 0x1209}}},
        RegistersCase{"SecondsStopAt65535", shown(0, 0, 0, 0, 1, kNow - 70000000), {{13, 1}, {14, 0xFFFF}}},
        RegistersCase{"NegativeMeterHasNoMilliliters", shown(0, 0, 0, -1.5, 1, kNow), {{6, 0xBFC0}, {13, 1}}}),
    [](const ::testing::TestParamInfo<RegistersCase>& info) { return std::string(info.param.name); });

TEST(Requests, OnlyReadsWithinTheMapAreAnswered)
{
    const struct {
        int function;
        const char* data;
        ModbusException expected;
    } rows[] = {{3, "00000012", ModbusException::None},
                {4, "00110001", ModbusException::None},
                {3, "00110002", ModbusException::IllegalDataAddress},
                {3, "00000000", ModbusException::IllegalDataValue}, // the count before the addresses
                {3, "0000007e", ModbusException::IllegalDataValue},
                {3, "0000007d", ModbusException::IllegalDataAddress},
                {3, "0000", ModbusException::IllegalDataValue},
                {43, "0e0100", ModbusException::IllegalFunction},
                {0, "", ModbusException::IllegalFunction}}; // a request Qt could not read
    for (const auto& row : rows)
        EXPECT_EQ(int(checkRequest(row.function, QByteArray::fromHex(row.data), 18)), int(row.expected))
            << row.function << " " << row.data;
}

TEST(AllowedClients, AreThoseInAnAddressOrRange)
{
    const struct {
        const char* allowed;
        const char* client;
        bool in;
    } rows[] = {{"", "203.0.113.9", true},
                {"127.0.0.1", "127.0.0.2", false},
                {"10.0.0.0/8, 192.168.1.0/24", "192.168.1.200", true}, // commas or blanks
                {"10.0.0.128/25 192.168.2.0/24", "10.0.0.127", false},
                {"10.1.2.3/16", "10.1.200.1", true},
                {"127.0.0.0/8", "::ffff:127.0.0.1", true},
                {"fd00::/8", "fd12:3456::1", true},
                {"127.0.0.1", "::1", false}};
    for (const auto& row : rows) {
        QVector<IpRange> ranges;
        QString reason;
        ASSERT_TRUE(parseIpRanges(QString::fromLatin1(row.allowed), &ranges, &reason)) << row.allowed;
        EXPECT_EQ(isAllowed(ranges, *parseIpAddress(QString::fromLatin1(row.client))), row.in) << row.client;
    }
    for (const char* text : {"localhost", "10.0.0.0/33", "fd00::/129", "10.0.0.1/", "10.0.0/8", "fe80::1%eth0"}) {
        QVector<IpRange> ranges;
        QString reason;
        EXPECT_FALSE(parseIpRanges(QString::fromLatin1(text), &ranges, &reason)) << text;
    }
}

} // namespace
