#include "modbus/modbus_registers.h"

#include "sensor/store_recorder.h"

#include "platform/readings_store.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tavelin {

namespace {

constexpr std::uint16_t kMaxSeconds = 0xFFFF;

void putFloat(ModbusRegisters& words, int at, double value)
{
    const float single = static_cast<float>(value);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &single, sizeof bits);
    words[at] = static_cast<std::uint16_t>(bits >> 16);
    words[at + 1] = static_cast<std::uint16_t>(bits & 0xFFFF);
}

void putInteger(ModbusRegisters& words, int at, int wordCount, std::uint64_t value)
{
    for (int i = wordCount - 1; i >= 0; --i, value >>= 16)
        words[at + i] = static_cast<std::uint16_t>(value & 0xFFFF);
}

} // namespace

ModbusReading modbusReadingOf(const std::optional<StoredReading>& reading, double pulsesPerLiter)
{
    ModbusReading shown;
    shown.pulsesPerLiter = pulsesPerLiter;
    if (!reading)
        return shown;
    shown.flowLMin = reading->litersPerMin;
    shown.frequencyHz = reading->frequency;
    shown.totalLiters = reading->totalLiters;
    shown.meterLiters = meterLitersOf(*reading, pulsesPerLiter);
    shown.seq = reading->seq;
    shown.utcMs = reading->utcMs;
    return shown;
}

std::uint16_t statusWord(const ModbusStatus& status)
{
    const auto bit = [](ModbusStatusBit b, bool on) { return on ? std::uint16_t(1u << int(b)) : std::uint16_t(0); };
    std::uint16_t word = bit(ModbusStatusBit::SamplingOn, status.samplingOn)
                         | bit(ModbusStatusBit::PortOpen, status.portOpen)
                         | bit(ModbusStatusBit::LastReplyValid, status.lastReplyValid)
                         | bit(ModbusStatusBit::StoreWriting, status.storeWriting)
                         | bit(ModbusStatusBit::MqttConnected, status.mqttConnected);
    for (int i = 0; i < kAlarmCount; ++i) {
        if (status.alarms[std::size_t(i)])
            word |= std::uint16_t(1u << (int(ModbusStatusBit::FirstAlarm) + i));
    }
    return word;
}

std::uint16_t secondsSince(const std::optional<std::int64_t>& utcMs, std::int64_t nowMs)
{
    if (!utcMs)
        return kMaxSeconds;
    const std::int64_t seconds = (nowMs - *utcMs) / 1000;
    if (seconds <= 0)
        return 0; // the clock went back: as fresh as it can be
    return seconds >= kMaxSeconds ? kMaxSeconds : static_cast<std::uint16_t>(seconds);
}

std::uint64_t milliliters(double liters)
{
    const double ml = std::round(liters * 1000.0);
    if (!(ml > 0.0))
        return 0;
    if (ml >= 18446744073709551615.0)
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(ml);
}

ModbusRegisters encodeRegisters(const ModbusReading& reading, std::int64_t nowMs)
{
    using namespace modbus_map;
    ModbusRegisters words{};
    putFloat(words, kFlow, reading.flowLMin);
    putFloat(words, kFrequency, reading.frequencyHz);
    putFloat(words, kTotal, reading.totalLiters);
    putFloat(words, kMeterLiters, reading.meterLiters);
    putInteger(words, kMeterMl, 4, milliliters(reading.meterLiters));
    putInteger(words, kSeq, 2, static_cast<std::uint64_t>(reading.seq) & 0xFFFFFFFFu);
    words[kSecondsSince] = secondsSince(reading.utcMs, nowMs);
    words[kStatus] = statusWord(reading.status);
    putFloat(words, kPulsesPerLiter, reading.pulsesPerLiter);
    return words;
}

} // namespace tavelin
