#!/usr/bin/env python3
"""The program ended while the Logger dialog waits in one of its own boxes or
while logging runs: by SIGTERM, SIGINT or SIGHUP, or by the display going
away (the X server ends). Whatever the state, the program ends with status 0
and no sanitizer report, and the log file holds its header and whole rows.

    --state interval-box   OK with a file but no interval: "Please enter a
                           time interval for the log file" is open
    --state file-dialog    "Select File": the file dialog is open
    --state create-prompt  a new name typed in the file dialog: "... does
                           not exist. Create the file?" is open
    --state logging        logging every 0.5 s while sampling
    --state sampling-box   logging every 0.5 s while sampling meets a silent
                           module: "NO VALID RETURN FROM pH MODULE" is open
    --end TERM|INT|HUP|display
"""

import argparse
import datetime
import os
import signal
import sys
import time

from fault_rig import (NO_VALID_RETURN, box_text, check_no_sanitizer_report, lines_after_header, parse_rows,
                       split_header, start_logging, wait_box)
from harness import CWBUTTON1, CWBUTTON2, FRAME1, SELECT_FILE, WRITE_TO_FILE, Session, check, parse_args

END_WITHIN = 20.0  # seconds; generous for a sanitizer build on a busy machine


def open_file_dialog(s):
    s.main.click_twips(CWBUTTON2)  # Logging on
    dialog = s.window("^Logger$")
    dialog.click_twips(WRITE_TO_FILE, origin=FRAME1)
    dialog.click_twips(SELECT_FILE)
    return s.window("^Open$").wait_for_focus()


def open_create_prompt(s, path):
    """Types a new name and presses Return until the create prompt is up (the
    name field's completion list may take the first Return)."""
    open_file_dialog(s)
    s.type_text(path)
    for _ in range(3):
        s.wait_gone("^tavelin$")
        time.sleep(0.3)
        s.key("Return")
        try:
            return s.window("^Select File$", timeout=3.0)
        except Exception:
            pass
    raise AssertionError("no create prompt after Return")


def reach(s, state, path):
    if state == "interval-box":
        start_logging(s, path, interval=None, wait=False)
        wid = wait_box(s)
        check(box_text(s, wid) == "Please enter a time interval for the log file", "another box is open")
    elif state == "file-dialog":
        open_file_dialog(s)
    elif state == "create-prompt":
        open_create_prompt(s, path)
    else:
        start_logging(s, path, interval="0.5")
        s.main.click_twips(CWBUTTON1)  # Start
        if state == "sampling-box":
            check(box_text(s, wait_box(s)) == NO_VALID_RETURN, "another box is open")
        time.sleep(2.0)  # rows are written meanwhile


def end(s, how):
    if how == "display":
        s.xvfb.terminate()
    else:
        s.app.send_signal(getattr(signal, "SIG" + how))
    return s.app.wait(timeout=END_WITHIN)


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--state", required=True)
    parser.add_argument("--end", required=True)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    path = os.path.join(paths.work, "ending.txt")
    if os.path.exists(path):
        os.remove(path)

    sim_args = ["--fault", "silence"] if known.state == "sampling-box" else []
    with Session(paths, sim_args=sim_args) as s:
        first_day = datetime.date.today()
        reach(s, known.state, path)
        status = end(s, known.end)
        check(status == 0, "tavelin ended with status %s" % status)
        check_no_sanitizer_report(s)

    if known.state in ("file-dialog", "create-prompt"):
        check(not os.path.exists(path), "a log file was created")
        print("%s, %s: status 0" % (known.state, known.end))
        return
    with open(path, "rb") as log:
        data = log.read()
    if known.state == "interval-box":
        rest = split_header(data, path, [first_day, datetime.date.today()])
        check(rest == b"", "after the header: %r" % rest[:100])
        print("%s, %s: status 0, the header alone" % (known.state, known.end))
        return
    rows = parse_rows(lines_after_header(data))
    check(len(rows) >= 3, "%d rows in about 2 s of logging at 0.5 s" % len(rows))
    print("%s, %s: status 0, %d whole rows" % (known.state, known.end, len(rows)))


if __name__ == "__main__":
    main()
