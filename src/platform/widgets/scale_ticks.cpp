#include "platform/widgets/scale_ticks.h"

#include <QList>
#include <algorithm>
#include <cmath>

namespace tavelin {
namespace {

const int kMostMajorDivisions = 10;

// Tolerance for "lies on a tick", relative to the step, so that 3 * 0.1
// counts as 0.3.
const double kOnTick = 1e-9;

bool isMultiple(double value, double step)
{
    const double ratio = value / step;
    return std::fabs(ratio - std::round(ratio)) < kOnTick;
}

// The multiples of step in [minimum, maximum], computed as k * step so that
// rounding errors do not add up along the scale.
QList<double> multiplesWithin(double minimum, double maximum, double step)
{
    QList<double> ticks;
    if (!(step > 0.0))
        return ticks;
    const double first = std::ceil(minimum / step - kOnTick);
    const double last = std::floor(maximum / step + kOnTick);
    for (double k = first; k <= last; k += 1.0)
        ticks.append(k * step);
    return ticks;
}

} // namespace

TickSpacing readableSpacing(double minimum, double maximum)
{
    const double range = maximum - minimum;
    if (!(range > 0.0) || !std::isfinite(range))
        return {};
    // Start one decade below the range / 10 and walk up 1, 2, 5, 10, 20 ...
    // until the divisions fit.
    double decade = std::pow(10.0, std::floor(std::log10(range / kMostMajorDivisions)));
    for (;;) {
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double major = mantissa * decade;
            if (range / major <= kMostMajorDivisions * (1.0 + kOnTick))
                return {major, major / 2.0};
        }
        decade *= 10.0;
    }
}

QwtScaleDiv buildScaleDiv(double minimum, double maximum, const TickSpacing& spacing)
{
    QList<double> majors = multiplesWithin(minimum, maximum, spacing.major);
    QList<double> minors;
    for (const double tick : multiplesWithin(minimum, maximum, spacing.minor)) {
        if (spacing.major <= 0.0 || !isMultiple(tick, spacing.major))
            minors.append(tick);
    }

    if (spacing.major > 0.0 && !isMultiple(maximum, spacing.major)) {
        // A major tick too close to the full scale stays as a minor one.
        while (!majors.isEmpty() && maximum - majors.last() < spacing.major / 2.0)
            minors.append(majors.takeLast());
        majors.append(maximum);
        minors.erase(std::remove_if(minors.begin(), minors.end(),
                                    [&](double tick) { return maximum - tick < kOnTick * spacing.minor; }),
                     minors.end());
        std::sort(minors.begin(), minors.end());
    }

    QList<double> ticks[QwtScaleDiv::NTickTypes];
    ticks[QwtScaleDiv::MinorTick] = minors;
    ticks[QwtScaleDiv::MajorTick] = majors;
    return QwtScaleDiv(minimum, maximum, ticks);
}

} // namespace tavelin
