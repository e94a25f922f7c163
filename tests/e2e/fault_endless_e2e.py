#!/usr/bin/env python3
"""A module that never stops sending (--fault endless: after a "*", digits
without pause, --fault-for seconds from the first read command): each cycle
is cut off and shows "NO VALID RETURN FROM pH MODULE"; the readouts keep
their values; the window answers (Stop, clicked between two boxes, ends the
commands); the program's memory stays flat; once the stream ends, sampling
recovers by itself: readings count again and no box comes.
--stream SECONDS sets how long the module streams (default 30)."""

import argparse
import sys
import time

from fault_rig import (NO_VALID_RETURN, box_text, boxes, commands, dismiss, move_aside, terminate, wait_box,
                       wait_commands)
from harness import CWBUTTON1, Session, check, parse_args
from sampling_e2e import readout_regions

RSS_GROWTH_LIMIT_KB = 1024


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--stream", type=float, default=30.0)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    sim_args = ["--constant", "690", "--fault", "endless", "--fault-for", "%g" % known.stream]
    with Session(paths, sim_args=sim_args) as s:
        before = readout_regions(s, s.grab())
        s.main.click_twips(CWBUTTON1)  # Start
        wid = wait_box(s)
        text = box_text(s, wid)
        check(text == NO_VALID_RETURN, "box says %r" % text)
        move_aside(s, wid)
        time.sleep(0.5)
        check(readout_regions(s, s.grab()) == before, "the readouts changed without a valid reply")
        dismiss(s, wid)
        rss = [rss_kb(s.app.pid)]
        dismiss(s, wait_box(s))
        stop = time.monotonic()
        s.main.click_twips(CWBUTTON1)  # Stop, before the next tick
        time.sleep(2.5)
        late = [t - stop for t in commands(s) if t > stop + 1.0]
        check(not late and not boxes(s), "read commands %s s after Stop" % ["%.2f" % t for t in late])
        s.main.click_twips(CWBUTTON1)  # Start again

        streaming_until = commands(s)[0] + known.stream
        cut_off = 0
        while time.monotonic() < streaming_until - 1.0:
            dismiss(s, wait_box(s))
            cut_off += 1
            rss.append(rss_kb(s.app.pid))

        recovered = None
        while time.monotonic() < streaming_until + 10.0 and recovered is None:
            if boxes(s):
                dismiss(s, boxes(s)[0])
            elif readout_regions(s, s.grab()) != before:
                recovered = time.monotonic() - streaming_until
            time.sleep(0.2)
        check(recovered is not None, "no reading within 10 s after the stream ended")
        sent = len(commands(s))
        wait_commands(s, sent + 3, 10.0)
        check(not boxes(s), "a message box after sampling recovered")
        terminate(s)

    growth = max(rss) - rss[0]
    check(growth < RSS_GROWTH_LIMIT_KB, "memory grew by %d kB while the module streamed: %s" % (growth, rss))
    print("endless: %d cycles cut off over %.0f s; RSS %d kB at the first box, at most %d kB, %d kB at the last; "
          "a reading %.1f s after the stream ended" % (cut_off, known.stream, rss[0], max(rss), rss[-1], recovered))


if __name__ == "__main__":
    main()
