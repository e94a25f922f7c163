#!/usr/bin/env python3
"""The log file removed while logging every 0.5 s and sampling: the program
starts a new file at its path with a header block of its own (nothing is
copied from the removed one), tells the operator once (the box names the
file), and logging goes on, also while the box is open. The new file's rows
follow the removed file's last row with no gap in time, each whole, with
totals that never go back."""

import datetime
import os
import time

from fault_rig import (box_text, boxes, commands, dismiss, lines_after_header, parse_rows, split_header,
                       start_logging, terminate, wait_box, wait_commands)
from harness import CWBUTTON1, CWBUTTON2, Session, check, parse_args, wait_until

READING = 690.0


def row_count(path):
    with open(path, "rb") as log:
        return len(parse_rows(lines_after_header(log.read())))


def main():
    paths = parse_args(__doc__)
    path = os.path.join(paths.work, "removed.txt")
    if os.path.exists(path):
        os.remove(path)
    days = [datetime.date.today()]
    with Session(paths, sim_args=["--constant", "%g" % READING]) as s:
        start_logging(s, path, interval="0.5")
        s.main.click_twips(CWBUTTON1)  # Start
        wait_commands(s, 2, 10.0)
        wait_until(lambda: row_count(path) >= 6, 10.0, "six rows")
        with open(path, "rb") as log:
            removed = log.read()
        os.remove(path)

        wid = wait_box(s, timeout=5.0)
        text = box_text(s, wid)
        check(path in text and "removed" in text, "the box says %r" % text)
        check(os.path.exists(path), "the file is not back")
        rows_with_box = row_count(path)
        time.sleep(2.0)
        check(row_count(path) >= rows_with_box + 2, "logging stood still while the box was open")
        check(boxes(s) == [wid], "more than one box: %s" % boxes(s))
        dismiss(s, wid)
        time.sleep(1.5)
        check(not boxes(s), "another box came up")
        s.main.click_twips(CWBUTTON2)  # Logging off
        s.main.click_twips(CWBUTTON1)  # Stop
        time.sleep(0.5)
        terminate(s)
        days.append(datetime.date.today())

    with open(path, "rb") as log:
        data = log.read()
    new_rows = parse_rows(split_header(data, path, days))  # its own header first, then rows only
    rows = parse_rows(lines_after_header(removed)) + new_rows
    steps = [later[0] - earlier[0] for earlier, later in zip(rows, rows[1:])]
    check(all(0 <= step <= 2 for step in steps), "gaps between rows: %s s" % steps)
    totals = [0.0 if total == "000" else float(total) for _, _, _, total in rows]
    check(totals == sorted(totals), "the total went back: %s" % totals)
    print("log removed: one box (%r); %d rows before the removal, %d in the new file, no gap; %d replies" %
          (text, row_count_of(removed), len(new_rows), len(commands(s))))


def row_count_of(data):
    return len(parse_rows(lines_after_header(data)))


if __name__ == "__main__":
    main()
