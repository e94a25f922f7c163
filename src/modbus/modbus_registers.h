#pragma once
// The Modbus register map: what the instrument shows, as 18 words that a
// client reads with function 3 (holding registers) or 4 (input registers),
// the same in both tables. Floats are IEEE 754 single precision and every
// number of two or four words is big-endian, high word first.
//
//   address words type     content
//    0      2    float32  flow rate, L/min, as displayed
//    2      2    float32  frequency, Hz
//    4      2    float32  resettable total, L, as displayed
//    6      2    float32  meter, L
//    8      4    uint64   meter, mL
//   12      2    uint32   seq of the reading (low 32 bits)
//   14      1    uint16   seconds since that reading (65535 at most and before the first)
//   15      1    uint16   status bits (ModbusStatusBit)
//   16      2    float32  K-factor, pulses per liter

#include "alarms/alarm_event.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tavelin {

struct StoredReading;

namespace modbus_map {
constexpr int kFlow = 0;
constexpr int kFrequency = 2;
constexpr int kTotal = 4;
constexpr int kMeterLiters = 6;
constexpr int kMeterMl = 8;
constexpr int kSeq = 12;
constexpr int kSecondsSince = 14;
constexpr int kStatus = 15;
constexpr int kPulsesPerLiter = 16;
constexpr int kRegisterCount = 18;
} // namespace modbus_map

// The status word's bits.
enum class ModbusStatusBit : int {
    SamplingOn = 0,
    PortOpen = 1,
    LastReplyValid = 2,
    StoreWriting = 3, // the store is open and its last append succeeded
    MqttConnected = 4,
    FirstAlarm = 8,   // 8 high flow, 9 low flow, 10 no reading, 11 possible leak, 12 batch: raised and holding
};

struct ModbusStatus {
    bool samplingOn = false;
    bool portOpen = false;
    bool lastReplyValid = false;
    bool storeWriting = false;
    bool mqttConnected = false;
    std::array<bool, kAlarmCount> alarms{}; // in AlarmId order
};

// What the registers show: the newest stored reading and the instrument's state.
struct ModbusReading {
    double flowLMin = 0.0;
    double frequencyHz = 0.0;
    double totalLiters = 0.0;
    double meterLiters = 0.0;
    std::int64_t seq = 0;
    std::optional<std::int64_t> utcMs; // none before the first reading
    ModbusStatus status;
    double pulsesPerLiter = 0.0;
};

using ModbusRegisters = std::array<std::uint16_t, modbus_map::kRegisterCount>;

// The stored reading's figures (none: no reading yet); the meter in liters is
// the one it carries (meterLitersOf), K the one given.
ModbusReading modbusReadingOf(const std::optional<StoredReading>& reading, double pulsesPerLiter);

std::uint16_t statusWord(const ModbusStatus& status);
// Whole seconds from utcMs to nowMs, 0 to 65535; 65535 without a reading.
std::uint16_t secondsSince(const std::optional<std::int64_t>& utcMs, std::int64_t nowMs);
// The meter in whole milliliters, rounded; 0 below zero.
std::uint64_t milliliters(double liters);

ModbusRegisters encodeRegisters(const ModbusReading& reading, std::int64_t nowMs);

} // namespace tavelin
