#!/usr/bin/env python3
"""The module unplugged while sampling and logging, then plugged in again,
with the program on a stable link to the device: while it is gone each cycle
shows "Port Not open" (titled "Port Failure") and then "NO VALID RETURN FROM
pH MODULE", the readouts and the total keep their values, and the program
uses little CPU (a port left open on a hung-up line spins); once the module
is back, sampling resumes at a following cycle with the total intact, with
no restart. The log file's rows carry the totals throughout."""

import os
import signal
import time

from fault_rig import (NO_VALID_RETURN, PORT_NOT_OPEN, box_text, box_title, boxes, commands, cpu_seconds, dismiss,
                       lines_after_header, move_aside, parse_rows, start_logging, terminate, total_text, wait_box,
                       wait_commands)
from harness import CWBUTTON1, CWBUTTON2, Session, check, parse_args
from sampling_e2e import readout_regions

READING = 690.0  # Hz: 0.1 L a sample
AWAY = 6.0  # seconds the module stays unplugged
CPU_LIMIT = 0.25  # of one core while unplugged; spinning on a lost port takes all of it


def close_boxes(s, until, seen):
    """Reads and closes the boxes that come up until the given time."""
    while time.monotonic() < until:
        open_now = boxes(s)
        if not open_now:
            time.sleep(0.1)
            continue
        wid = open_now[0]
        seen.append((box_title(s, wid), box_text(s, wid)))
        dismiss(s, wid)


def check_titles(seen):
    """Each cycle without the module: "Port Not open", then no valid return."""
    prompts = {"Port Failure": PORT_NOT_OPEN, "tavelin": NO_VALID_RETURN}
    for title, text in seen:
        check(prompts.get(title) == text, "a box titled %r says %r" % (title, text))
    titles = [title for title, _ in seen]
    check("Port Failure" in titles, "no \"Port Not open\" while the module was away: %s" % titles)
    for earlier, later in zip(titles, titles[1:]):
        check(earlier != later, "two %r boxes in a row: %s" % (earlier, titles))


def main():
    paths = parse_args(__doc__)
    link = os.path.join(paths.work, "module")
    path = os.path.join(paths.work, "unplug.txt")
    if os.path.exists(path):
        os.remove(path)
    with Session(paths, sim_args=["--constant", "%g" % READING, "--link", link]) as s:
        check(s.sim.device == link, "the program is not on the link %s but on %s" % (link, s.sim.device))
        start_logging(s, path)
        s.main.click_twips(CWBUTTON1)  # Start
        wait_commands(s, 3, 10.0)
        wait_commands(s, len(commands(s)) + 1, 5.0)
        time.sleep(0.3)  # between two cycles
        readouts = readout_regions(s, s.grab())
        before = len(commands(s))

        s.sim.process.send_signal(signal.SIGUSR1)  # unplug
        unplugged, cpu_start = time.monotonic(), cpu_seconds(s.app.pid)
        wid = wait_box(s, timeout=5.0)
        move_aside(s, wid)
        time.sleep(3.0)  # the box stays open: nothing may spin meanwhile
        cpu_box = (cpu_seconds(s.app.pid) - cpu_start) / (time.monotonic() - unplugged)
        check(readout_regions(s, s.grab()) == readouts, "the readouts changed while the module was away")
        seen = [(box_title(s, wid), box_text(s, wid))]
        dismiss(s, wid)
        close_boxes(s, unplugged + AWAY, seen)
        cpu_away = (cpu_seconds(s.app.pid) - cpu_start) / (time.monotonic() - unplugged)
        check(len(commands(s)) == before, "read commands arrived while the module was away")

        s.sim.process.send_signal(signal.SIGUSR2)  # plug in again
        plugged = time.monotonic()
        late = []  # boxes of a cycle that began before the module was back
        deadline = plugged + 10.0
        while len(commands(s)) == before and time.monotonic() < deadline:
            close_boxes(s, min(deadline, time.monotonic() + 0.5), late)
        resumed = wait_commands(s, before + 1, 1.0)[before] - plugged
        check(len(late) <= 2, "%d boxes after the module was back" % len(late))
        wait_commands(s, before + 4, 10.0)
        check(not boxes(s), "a message box after sampling resumed")
        s.main.click_twips(CWBUTTON1)  # Stop
        time.sleep(2.5)
        s.main.click_twips(CWBUTTON2)  # Logging off
        time.sleep(0.5)
        terminate(s)

    check_titles(seen + late)
    check(cpu_box < CPU_LIMIT and cpu_away < CPU_LIMIT,
          "CPU while unplugged: %.0f%% with a box open, %.0f%% overall" % (100 * cpu_box, 100 * cpu_away))
    with open(path, "rb") as log:
        rows = parse_rows(lines_after_header(log.read()))
    sent = len(commands(s))
    totals = [float(total) if total != "000" else 0.0 for _, _, _, total in rows]
    check(totals == sorted(totals), "the total went back: %s" % totals)
    held = sum(1 for _, _, _, total in rows if total == total_text(before, READING))
    check(held >= AWAY - 1, "only %d rows kept the total %s while the module was away" %
          (held, total_text(before, READING)))
    check(rows[-1][3] == total_text(sent, READING), "last total %s after %d replies" % (rows[-1][3], sent))
    print("unplug: %d boxes while away (%s), %d after plugging in; sampling resumed %.2f s after; "
          "CPU %.1f%% with a box open, %.1f%% while away; total %s L after %d replies" %
          (len(seen), ", ".join(title for title, _ in seen), len(late), resumed, 100 * cpu_box, 100 * cpu_away,
           rows[-1][3], sent))


if __name__ == "__main__":
    main()
