// The trend's ring: bounded, oldest first after wrapping, segments that start
// at breaks (also across the wrap), times kept in order for the lookup.
#include "fakes/fake_wall_clock.h"
#include "sensor/measurement_state.h"
#include "sensor/trend_recorder.h"
#include "sensor/trend_ring.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavelin;

namespace {

std::vector<double> times(const TrendRing& ring)
{
    std::vector<double> result;
    for (std::size_t i = 0; i < ring.size(); ++i)
        result.push_back(ring.at(i).time);
    return result;
}

std::vector<std::size_t> segmentStarts(const TrendRing& ring)
{
    std::vector<std::size_t> result;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        if (ring.startsSegment(i))
            result.push_back(i);
    }
    return result;
}

TEST(TrendRing, KeepsTheNewestPointsOldestFirstOnceFull)
{
    TrendRing ring(4);
    for (int t = 1; t <= 3; ++t)
        ring.append(t, t * 0.5, t * 10.0);
    EXPECT_EQ(times(ring), (std::vector<double>{1, 2, 3}));

    for (int t = 4; t <= 10; ++t)
        ring.append(t, t * 0.5, t * 10.0);
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.capacity(), 4u);
    EXPECT_EQ(times(ring), (std::vector<double>{7, 8, 9, 10}));
    EXPECT_FLOAT_EQ(ring.at(0).flow, 3.5f);
    EXPECT_DOUBLE_EQ(ring.newest().total, 100.0);
    EXPECT_EQ(ring.appendedCount(), 10u);
}

TEST(TrendRing, BreaksStartSegmentsAndTheOldestKeptPointAlwaysStartsOne)
{
    TrendRing ring(5);
    ring.append(1, 0, 0);
    ring.append(2, 0, 0);
    ring.markBreak();
    ring.markBreak(); // twice is one break
    ring.append(3, 0, 0);
    ring.append(4, 0, 0);
    EXPECT_EQ(segmentStarts(ring), (std::vector<std::size_t>{0, 2}));

    ring.markBreak();
    for (int t = 5; t <= 7; ++t) // wraps: 1 and 2 go, 3 is the oldest
        ring.append(t, 0, 0);
    EXPECT_EQ(times(ring), (std::vector<double>{3, 4, 5, 6, 7}));
    EXPECT_EQ(segmentStarts(ring), (std::vector<std::size_t>{0, 2}));

    for (int t = 8; t <= 9; ++t) // the break before 5 becomes the oldest
        ring.append(t, 0, 0);
    EXPECT_EQ(segmentStarts(ring), (std::vector<std::size_t>{0}));
}

TEST(TrendRing, LowerBoundFindsTimesAcrossTheWrapAndAClockSetBackHolds)
{
    TrendRing ring(4);
    for (int t : {10, 20, 30, 40, 50, 60})
        ring.append(t, 0, 0);
    // kept: 30 40 50 60
    EXPECT_EQ(ring.lowerBound(0), 0u);
    EXPECT_EQ(ring.lowerBound(30), 0u);
    EXPECT_EQ(ring.lowerBound(31), 1u);
    EXPECT_EQ(ring.lowerBound(60), 3u);
    EXPECT_EQ(ring.lowerBound(61), 4u);

    ring.append(5, 0, 0); // the clock went back
    EXPECT_EQ(times(ring), (std::vector<double>{40, 50, 60, 60}));
}

TEST(TrendRecorder, AddsEachAcceptedCycleAndBreaksAfterSamplingStopsOrAPause)
{
    test::FakeWallClock clock(QDate(2026, 12, 8), QTime(9, 0, 0));
    TrendRecorder recorder(clock, 10);
    int told = 0;
    recorder.setOnAppended([&] { ++told; });
    MeasurementState state;
    auto cycleAt = [&](int second, double total) {
        clock.time = QTime(9, 0, second);
        state.dblLitersPerMin = 2.17;
        state.dblTotalLiters = total;
        recorder.sampleAccepted(state);
    };
    cycleAt(1, 0.04);
    cycleAt(2, 0.07);
    recorder.samplingSwitched();
    cycleAt(3, 0.11);
    cycleAt(9, 0.14); // 6 s without an accepted cycle

    const TrendRing& ring = recorder.ring();
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_EQ(told, 4);
    EXPECT_EQ(segmentStarts(ring), (std::vector<std::size_t>{0, 2, 3}));
    EXPECT_DOUBLE_EQ(ring.at(0).time, QDateTime(QDate(2026, 12, 8), QTime(9, 0, 1)).toMSecsSinceEpoch());
    EXPECT_FLOAT_EQ(ring.at(1).flow, 2.17f);
    EXPECT_DOUBLE_EQ(ring.at(3).total, 0.14);
}

TEST(TrendRecorder, RestoresAnEarlierRunWithItsBreaksAndBreaksBeforeTheNextReading)
{
    test::FakeWallClock clock(QDate(2026, 12, 8), QTime(9, 0, 0));
    TrendRecorder recorder(clock, 10);
    const std::int64_t t0 = QDateTime(QDate(2026, 12, 8), QTime(8, 0, 0)).toMSecsSinceEpoch();
    auto reading = [&](std::int64_t ms, double total) {
        StoredReading r;
        r.utcMs = t0 + ms;
        r.litersPerMin = 1.5;
        r.totalLiters = total;
        return r;
    };
    recorder.restore({reading(0, 0.1), reading(1000, 0.2), reading(9000, 0.3), reading(10000, 0.4)});
    MeasurementState state;
    state.dblTotalLiters = 0.5;
    recorder.sampleAccepted(state); // the first reading after the restart

    const TrendRing& ring = recorder.ring();
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(segmentStarts(ring), (std::vector<std::size_t>{0, 2, 4}));
    EXPECT_DOUBLE_EQ(ring.at(2).time, double(t0 + 9000));
    EXPECT_DOUBLE_EQ(ring.at(3).total, 0.4);
}

} // namespace
