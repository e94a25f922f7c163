#include "trend_recorder.h"

#include "measurement_state.h"
#include "platform/wall_clock.h"

namespace tavelin {

void TrendRecorder::sampleAccepted(const MeasurementState& state)
{
    const double now = static_cast<double>(clock_.currentMSecsSinceEpoch());
    if (!ring_.isEmpty() && now - ring_.newest().time > kGapBreakMs)
        ring_.markBreak();
    ring_.append(now, state.dblLitersPerMin, state.dblTotalLiters);
    if (onAppended_)
        onAppended_();
}

} // namespace tavelin
