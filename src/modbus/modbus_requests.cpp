#include "modbus/modbus_requests.h"

namespace tavelin {

namespace {
int wordAt(const QByteArray& data, int at)
{
    return (std::uint8_t(data[at]) << 8) | std::uint8_t(data[at + 1]);
}
} // namespace

ModbusException checkRequest(int functionCode, const QByteArray& data, int mapWords)
{
    if (functionCode != modbus_function::kReadHoldingRegisters && functionCode != modbus_function::kReadInputRegisters)
        return ModbusException::IllegalFunction;
    // The protocol's own order of checks: the count, then the addresses.
    if (data.size() != 4)
        return ModbusException::IllegalDataValue;
    const int address = wordAt(data, 0);
    const int count = wordAt(data, 2);
    if (count < 1 || count > kMaxReadWords)
        return ModbusException::IllegalDataValue;
    if (address + count > mapWords)
        return ModbusException::IllegalDataAddress;
    return ModbusException::None;
}

} // namespace tavelin
