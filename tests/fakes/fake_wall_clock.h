#pragma once
// A clock standing at the date and time the test sets.

#include "platform/wall_clock.h"

namespace tavelin::test {

class FakeWallClock : public WallClock {
public:
    FakeWallClock() = default;
    FakeWallClock(const QDate& date, const QTime& time) : date(date), time(time) {}
    QDate currentDate() override { return date; }
    QTime currentTime() override { return time; }

    QDate date;
    QTime time;
};

} // namespace tavelin::test
