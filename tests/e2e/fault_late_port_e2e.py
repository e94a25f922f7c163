#!/usr/bin/env python3
"""The module plugged in only after start-up (tavelin-sim --link --unplugged,
then SIGUSR2): the start-up message names the device and the system's reason,
says there is no such device and lists the serial ports present (or that none
was found), and says the port is tried again at each cycle; meanwhile each
cycle shows "Port Not open", then "NO VALID RETURN FROM pH MODULE"; once the
device appears, sampling starts at a following cycle, without a restart."""

import os
import signal
import time

from fault_rig import box_text, boxes, commands, dismiss, terminate, wait_box, wait_commands
from fault_unplug_e2e import check_titles, close_boxes
from harness import CWBUTTON1, Session, check, parse_args

ABSENT = 4.0  # seconds of sampling before the device appears


def main():
    paths = parse_args(__doc__)
    link = os.path.join(paths.work, "module")
    with Session(paths, sim_args=["--constant", "690", "--link", link, "--unplugged"], startup_box=True) as s:
        wid = wait_box(s, timeout=15.0)
        text = box_text(s, wid)
        for part in ("Serial port 1 (%s) cannot be opened: No such file or directory." % link,
                     "There is no device %s" % link, "tried again at each sampling cycle"):
            check(part in text, "the start-up message lacks %r: %r" % (part, text))
        check("serial ports on this system:\n" in text or "no serial port was found" in text,
              "the start-up message lists no ports: %r" % text)
        dismiss(s, wid)
        s.main = s.window("^Veltrane ")

        s.main.click_twips(CWBUTTON1)  # Start
        seen = []
        close_boxes(s, time.monotonic() + ABSENT, seen)
        check(not commands(s), "read commands reached a module that is not there")

        s.sim.process.send_signal(signal.SIGUSR2)  # plug in
        plugged = time.monotonic()
        late = []
        while not commands(s) and time.monotonic() < plugged + 10.0:
            close_boxes(s, time.monotonic() + 0.5, late)
        resumed = wait_commands(s, 1, 1.0)[0] - plugged
        check(len(late) <= 2, "%d boxes after the device appeared" % len(late))
        wait_commands(s, 4, 10.0)
        check(not boxes(s), "a message box after sampling started")
        terminate(s)

    check_titles(seen + late)
    print("late port: %d boxes while absent; sampling started %.2f s after the device appeared" %
          (len(seen), resumed))


if __name__ == "__main__":
    main()
