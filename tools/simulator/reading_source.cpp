#include "reading_source.h"

#include <algorithm>
#include <cmath>

namespace tavelin::sim {

namespace {
constexpr double kHzPerLiterPerMin = 6900.0 / 60.0;
constexpr double kLowestFlow = 1.0;
constexpr double kHighestFlow = 3.0;
constexpr double kNoiseHz = 1.5;
} // namespace

double ReadingList::next()
{
    if (readings_.empty())
        return 0.0;
    const double reading = readings_[index_];
    index_ = (index_ + 1) % readings_.size();
    return reading;
}

VaryingFlow::VaryingFlow(std::uint32_t seed) : random_(seed) {}

double VaryingFlow::next()
{
    std::normal_distribution<double> nudge(0.0, 0.01);
    std::normal_distribution<double> noise(0.0, kNoiseHz);

    // A slowly turning trend, damped so the flow does not run away, and
    // turned back at the edges of the range.
    trend_ = std::clamp(0.95 * trend_ + nudge(random_), -0.05, 0.05);
    litersPerMin_ += trend_;
    if (litersPerMin_ < kLowestFlow || litersPerMin_ > kHighestFlow) {
        litersPerMin_ = std::clamp(litersPerMin_, kLowestFlow, kHighestFlow);
        trend_ = -trend_;
    }
    const double hz = litersPerMin_ * kHzPerLiterPerMin + noise(random_);
    return std::round(hz * 100.0) / 100.0; // the module reports hundredths
}

std::unique_ptr<ReadingSource> constantReading(double hz) { return std::make_unique<ConstantReading>(hz); }
std::unique_ptr<ReadingSource> readingList(std::vector<double> readings)
{
    return std::make_unique<ReadingList>(std::move(readings));
}
std::unique_ptr<ReadingSource> varyingFlow(std::uint32_t seed) { return std::make_unique<VaryingFlow>(seed); }

} // namespace tavelin::sim
