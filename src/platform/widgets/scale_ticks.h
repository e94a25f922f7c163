#pragma once
// Tick layout for the instrument scales: where the major (labelled) and minor
// ticks of an axis fall, and a readable spacing for a scale of any size.

#include <qwt_scale_div.h>

namespace tavelin {

struct TickSpacing {
    double major = 0.0;
    double minor = 0.0;
};

// A spacing of 1, 2 or 5 times a power of ten that cuts [minimum, maximum]
// into at most ten major divisions (at least four whenever the range allows
// it), with the minor step half a major one.
// 0..2 gives 0.2/0.1, 0..5 gives 0.5/0.25, 0..400 gives 50/25.
TickSpacing readableSpacing(double minimum, double maximum);

// Major ticks on the multiples of spacing.major inside the range, minor ticks
// on the multiples of spacing.minor that are not major. When the maximum is
// not itself a multiple, it becomes a major tick too, so that the full scale
// always carries a label; a major tick closer to it than half a step is then
// dropped to keep the two labels apart.
QwtScaleDiv buildScaleDiv(double minimum, double maximum, const TickSpacing& spacing);

} // namespace tavelin
