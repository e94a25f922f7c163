#pragma once
// Tells several listeners of each accepted cycle, in the order they were
// added: the store first, so that what follows it sees the reading stored.

#include "sensor/sample_listener.h"

#include <algorithm>
#include <vector>

namespace tavelin {

class SampleFanout : public SampleListener {
public:
    void add(SampleListener* listener) { listeners_.push_back(listener); }
    void remove(SampleListener* listener)
    {
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
    }
    void sampleAccepted(const MeasurementState& state) override
    {
        for (SampleListener* listener : listeners_)
            listener->sampleAccepted(state);
    }

private:
    std::vector<SampleListener*> listeners_;
};

} // namespace tavelin
