#!/usr/bin/env python3
"""A module that gives no usable reply (--fault silence: none at all; --fault
split: every reply cut in two, its rest arriving after the settle delay):
each cycle shows "NO VALID RETURN FROM pH MODULE" titled "tavelin"; while
the box is open the ticks are skipped, so no read command goes out and no
second box piles up; the readouts keep what they showed; closing the box
with Return lets the next cycle run; SIGTERM ends the program with status 0
while a box is open."""

import time

from fault_rig import (NO_VALID_RETURN, box_text, boxes, commands, dismiss, move_aside, parse_args_with_fault,
                       terminate, wait_box, wait_commands)
from harness import CWBUTTON1, Session, check
from sampling_e2e import readout_regions

CYCLES = 3  # boxes closed before the last one
OPEN_FOR = 4.0  # seconds each box stays open


def watch_open_box(s, wid, sent):
    """Polls while a box stays open: still one box, no new read command."""
    most = 1
    deadline = time.monotonic() + OPEN_FOR
    while time.monotonic() < deadline:
        most = max(most, len(boxes(s)))
        time.sleep(0.2)
    check(most == 1, "%d message boxes open at once" % most)
    check(len(commands(s)) == sent, "%d read commands went out while the box was open" % (len(commands(s)) - sent))
    check(wid in boxes(s), "the box closed by itself")


def main():
    paths = parse_args_with_fault(__doc__)
    with Session(paths, sim_args=["--constant", "690", "--fault", paths.fault]) as s:
        before = readout_regions(s, s.grab())
        s.main.click_twips(CWBUTTON1)  # Start
        seen = []
        for cycle in range(CYCLES + 1):
            wid = wait_box(s, timeout=10.0)
            check(wid not in seen, "the same box again")
            seen.append(wid)
            sent = len(commands(s))
            check(sent == cycle + 1, "%d read commands for %d cycles" % (sent, cycle + 1))
            text = box_text(s, wid)
            check(text == NO_VALID_RETURN, "box says %r" % text)
            move_aside(s, wid)
            watch_open_box(s, wid, sent)
            if cycle == 0:
                time.sleep(0.5)  # the uncovered readouts repaint
                check(readout_regions(s, s.grab()) == before, "the readouts changed without a valid reply")
            if cycle < CYCLES:
                dismiss(s, wid)
                wait_commands(s, sent + 1, 5.0)  # sampling goes on

        s.screenshot("fault-%s.png" % paths.fault)
        terminate(s)  # with the last box open
    print("%s: %d cycles, one box each, no command while a box was open for %.0f s" %
          (paths.fault, len(seen), OPEN_FOR))


if __name__ == "__main__":
    main()
