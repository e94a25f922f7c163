#pragma once
// Told of every sampling cycle whose reply was accepted, once the cycle has
// written its display; a rejected reply tells it nothing.

namespace tavelin {

struct MeasurementState;

class SampleListener {
public:
    virtual ~SampleListener() = default;
    virtual void sampleAccepted(const MeasurementState& state) = 0;
};

} // namespace tavelin
