"""Small statistics for the benchmark figures."""

import math
import statistics


def percentile(values, fraction):
    """Nearest-rank percentile: the smallest value with at least `fraction` of all at or below it."""
    ordered = sorted(values)
    rank = max(1, math.ceil(fraction * len(ordered)))
    return ordered[rank - 1]


def time_base(arrivals_us, nominal_ms=1000.0):
    """Figures of the intervals between consecutive read commands.

    An interval beyond 1.5 periods is a missed cycle (counted once per
    period missing); one below half a period is a doubled cycle.
    """
    intervals = [(b - a) / 1000.0 for a, b in zip(arrivals_us, arrivals_us[1:])]
    if len(intervals) < 2:
        raise ValueError("too few read commands for a time base: %d" % len(arrivals_us))
    missed = sum(max(0, round(i / nominal_ms) - 1) for i in intervals if i > 1.5 * nominal_ms)
    doubled = sum(1 for i in intervals if i < 0.5 * nominal_ms)
    return {
        "intervals": len(intervals),
        "mean_ms": statistics.fmean(intervals),
        "stdev_ms": statistics.stdev(intervals),
        "max_deviation_ms": max(abs(i - nominal_ms) for i in intervals),
        "missed": missed,
        "doubled": doubled,
    }
