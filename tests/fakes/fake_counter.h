#pragma once
// A millisecond counter that advances by a fixed step on every read, and by
// the whole time asked for on every sleep, at once: no test sleeps for real.

#include "platform/millisecond_counter.h"

namespace tavelin::test {

class FakeMillisecondCounter : public MillisecondCounter {
public:
    explicit FakeMillisecondCounter(std::uint32_t start = 0, std::uint32_t step = 1) : now(start), step(step) {}
    std::uint32_t ticks() override
    {
        ++reads;
        const std::uint32_t t = now;
        now += step;
        return t;
    }
    void sleepFor(std::uint32_t milliseconds) override
    {
        ++sleeps;
        slept += milliseconds;
        now += milliseconds;
    }
    std::uint32_t now;
    std::uint32_t step;
    int reads = 0;
    int sleeps = 0;
    std::uint32_t slept = 0;
};

} // namespace tavelin::test
