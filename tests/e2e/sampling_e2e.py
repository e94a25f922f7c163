#!/usr/bin/env python3
"""Sampling as the operator sees it: nothing is sent until Start; after Start
one read command a second, the first one a second after the click; Stop ends
the commands; the readouts show the reading; SIGTERM ends the program cleanly."""

import time

from harness import CWBUTTON1, MAIN_CLIENT_TWIPS, READOUTS, Session, check, parse_args, twips_to_pixels

READING = "250"  # Hz, every reply
GREEN = (0, 255, 0)


def readout_regions(session, shot):
    regions = {}
    for name, (frame, rect) in READOUTS.items():
        x, y, width, height = session.main.rect_pixels(rect, origin=frame)
        left, top, _, _ = session.main.geometry()
        regions[name] = shot.region(left + x, top + y, width, height)
    return regions


def main():
    paths = parse_args(__doc__)
    with Session(paths, sim_args=["--constant", READING]) as s:
        _, _, width, height = s.main.geometry()
        expected = tuple(twips_to_pixels(t, s.dpi) for t in MAIN_CLIENT_TWIPS)
        check((width, height) == expected, "window is %dx%d, the layout gives %dx%d" % ((width, height) + expected))

        time.sleep(2.0)
        check(s.sim.command_times() == [], "a read command went out before Start")
        idle = readout_regions(s, s.grab())

        started = time.monotonic()
        s.main.click_twips(CWBUTTON1)  # Start
        time.sleep(5.5)
        s.main.click_twips(CWBUTTON1)  # Stop, half-way between two ticks
        stopped = time.monotonic()
        time.sleep(2.5)

        times = s.sim.command_times()
        offsets = ", ".join("%.3f" % (t - started) for t in times)
        check(4 <= len(times) <= 6, "%d read commands in 5.5 s of sampling (at %s s)" % (len(times), offsets))
        check(0.7 <= times[0] - started <= 1.6, "first read command %.3f s after Start" % (times[0] - started))
        intervals = [later - earlier for earlier, later in zip(times, times[1:])]
        check(all(0.8 <= i <= 1.2 for i in intervals),
              "intervals between read commands: %s s" % ", ".join("%.3f" % i for i in intervals))
        check(all(t < stopped for t in times), "read commands after Stop (at %s s)" % offsets)

        s.screenshot("sampling.png")
        sampled = readout_regions(s, s.grab())
        for name in READOUTS:
            check(GREEN in idle[name] and GREEN in sampled[name], "%s shows no green digits" % name)
            check(idle[name] != sampled[name], "%s still shows what it showed before sampling" % name)

        status = s.terminate()
        check(status == 0, "tavelin ended with status %s after SIGTERM" % status)
    print("sampling: %d read commands, intervals %s s" % (len(times), ", ".join("%.3f" % i for i in intervals)))


if __name__ == "__main__":
    main()
