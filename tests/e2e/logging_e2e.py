#!/usr/bin/env python3
"""Logging as the operator does it: the Logging switch brings up the Logger
dialog; "Write to File", a new file chosen and confirmed in the file dialog,
"Overwrite", 1 s, OK; rows follow each second, first the start-up values,
then the sampled ones; Logging off closes the file. A second run in Append
mode keeps the file chosen before and adds its own header after the first
run's bytes."""

import datetime
import os
import re
import time

from fault_rig import PULSES_PER_LITER, parse_rows, split_header, start_logging
from harness import APPEND, CWBUTTON1, CWBUTTON2, Session, check, parse_args

READING = 250.0  # Hz, every reply


def check_row_times(rows):
    """One row a second; whole seconds, so neighbours are 0 to 2 s apart."""
    steps = [(later[0] - earlier[0]) % 86400 for earlier, later in zip(rows, rows[1:])]
    check(all(step <= 2 for step in steps), "steps between row times: %s s" % steps)
    check(0.7 <= sum(steps) / len(steps) <= 1.3, "rows %s s apart on average" % (sum(steps) / len(steps)))


def sampled_totals():
    """Total-volume texts the readout can show after n samples of READING."""
    return {round(n * READING / PULSES_PER_LITER, 2) for n in range(1, 100)}


def check_sampled_rows(rows):
    totals = [float(total) for _, _, _, total in rows]
    for _, frequency, flow, total in rows:
        check((frequency, flow) == ("250", "2.17"), "row with %s,%s instead of 250,2.17" % (frequency, flow))
        check(re.fullmatch(r"\d+\.\d+", total) and float(total) in sampled_totals(), "total %r" % total)
    check(totals == sorted(totals) and totals[-1] > totals[0], "totals do not grow: %s" % totals)


def main():
    paths = parse_args(__doc__)
    path = os.path.join(paths.work, "flow log, e2e.txt")
    if os.path.exists(path):
        os.remove(path)

    with Session(paths, sim_args=["--constant", "%g" % READING]) as s:
        first_day = datetime.date.today()
        start_logging(s, path)
        time.sleep(2.5)  # rows of the start-up values
        s.main.click_twips(CWBUTTON1)  # sampling on
        time.sleep(4.5)
        s.main.click_twips(CWBUTTON2)  # logging off
        time.sleep(0.5)
        with open(path, "rb") as log:
            first_run = log.read()
        time.sleep(1.5)
        check(os.path.getsize(path) == len(first_run), "rows written after Logging was switched off")

        start_logging(s, mode=APPEND, interval=None)  # the same file, preset in the file dialog
        time.sleep(2.5)
        s.main.click_twips(CWBUTTON2)  # logging off
        time.sleep(0.5)
        s.screenshot("logging.png")
        status = s.terminate()
        check(status == 0, "tavelin ended with status %s after SIGTERM" % status)
        days = [first_day, datetime.date.today()]

    with open(path, "rb") as log:
        data = log.read()

    rows = parse_rows(split_header(first_run, path, days))
    check(5 <= len(rows) <= 9, "%d rows in about 7 s of logging at 1 s" % len(rows))
    check_row_times(rows)
    idle = [row for row in rows if row[1:] == ("0", "0", "000")]
    check(len(idle) >= 1 and rows[:len(idle)] == idle, "rows do not start with 0,0,\"000\": %s" % rows)
    check_sampled_rows(rows[len(idle):])

    check(data.startswith(first_run), "appending changed the first run's bytes")
    appended = parse_rows(split_header(data[len(first_run):], path, days))
    check(2 <= len(appended) <= 4, "%d rows in about 2.5 s of logging at 1 s" % len(appended))
    check_row_times(appended)
    check_sampled_rows(appended)
    check(float(appended[0][3]) >= float(rows[-1][3]), "the total went back between the runs")
    print("logging: %d rows, then %d appended rows" % (len(rows), len(appended)))


if __name__ == "__main__":
    main()
