#pragma once
// Where the simulated module takes its frequency readings (Hz) from: one
// reading is drawn for every read command it receives.

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace tavelin::sim {

class ReadingSource {
public:
    virtual ~ReadingSource() = default;
    virtual double next() = 0;
};

class ConstantReading : public ReadingSource {
public:
    explicit ConstantReading(double hz) : hz_(hz) {}
    double next() override { return hz_; }

private:
    double hz_;
};

// The readings in turn, starting again after the last. An empty list reads 0.
class ReadingList : public ReadingSource {
public:
    explicit ReadingList(std::vector<double> readings) : readings_(std::move(readings)) {}
    double next() override;

private:
    std::vector<double> readings_;
    std::size_t index_ = 0;
};

// A flow that wanders between about 1 and 3 L/min (about 115 to 345 Hz at
// 6900 pulses per liter), with a little measurement noise. The same seed
// gives the same readings.
class VaryingFlow : public ReadingSource {
public:
    explicit VaryingFlow(std::uint32_t seed);
    double next() override;

private:
    std::mt19937 random_;
    double litersPerMin_ = 2.0;
    double trend_ = 0.0; // L/min per reading, so the flow drifts smoothly
};

std::unique_ptr<ReadingSource> constantReading(double hz);
std::unique_ptr<ReadingSource> readingList(std::vector<double> readings);
std::unique_ptr<ReadingSource> varyingFlow(std::uint32_t seed);

} // namespace tavelin::sim
