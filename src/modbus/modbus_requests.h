#pragma once
// Which Modbus requests the server answers: reads of holding registers
// (function 3) and input registers (function 4) within the register map,
// 1 to 125 words at a time. Every other request is refused with an
// exception code; the map is never written.

#include <QByteArray>

#include <cstdint>

namespace tavelin {

enum class ModbusException : std::uint8_t {
    None = 0,
    IllegalFunction = 1,    // a write, or any function but 3 and 4
    IllegalDataAddress = 2, // words beyond the map
    IllegalDataValue = 3,   // a count of 0 or above 125, or a request of the wrong length
};

namespace modbus_function {
constexpr int kReadHoldingRegisters = 3;
constexpr int kReadInputRegisters = 4;
} // namespace modbus_function

// The most words one read may ask for.
constexpr int kMaxReadWords = 125;

// data: the request's bytes after the function code (address and count,
// big-endian, for a read).
ModbusException checkRequest(int functionCode, const QByteArray& data, int mapWords);

} // namespace tavelin
