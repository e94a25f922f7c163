#include "trend_recorder.h"

#include "measurement_state.h"
#include "platform/wall_clock.h"

namespace tavelin {

void TrendRecorder::sampleAccepted(const MeasurementState& state)
{
    append(static_cast<double>(clock_.currentMSecsSinceEpoch()), state.dblLitersPerMin, state.dblTotalLiters);
    if (onAppended_)
        onAppended_();
}

void TrendRecorder::restore(const QVector<StoredReading>& readings)
{
    for (const StoredReading& reading : readings)
        append(static_cast<double>(reading.utcMs), reading.litersPerMin, reading.totalLiters);
    ring_.markBreak();
}

void TrendRecorder::append(double time, double flow, double total)
{
    if (!ring_.isEmpty() && time - ring_.newest().time > kGapBreakMs)
        ring_.markBreak();
    ring_.append(time, flow, total);
}

} // namespace tavelin
