#pragma once
// The measurement state, written only by a sampling cycle whose reply passes
// every test (and the pulse total zeroed by Reset).

namespace tavelin {

struct MeasurementState {
    double dblFrequency = 0.0;    // last reading, Hz
    double dblLitersPerMin = 0.0; // rounded to 2 decimals
    double dblPulseTotal = 0.0;   // sum of readings since the last reset, never rounded
    double dblTotalLiters = 0.0;  // rounded to 2 decimals
};

} // namespace tavelin
