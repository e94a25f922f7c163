#!/usr/bin/env python3
"""Replies the framing must dig out (--fault noise-burst: 1500 stray bytes,
more than the 1024-byte input buffer, before each reply; --fault high-bit:
every byte with its top bit set): every reply counts, no message box comes,
Stop and Start take effect within a second, and the rows of a log file carry
the reading, its flow rate and the exact total of all replies so far."""

import os
import time

from fault_rig import (boxes, check_answers_operator, commands, lines_after_header, parse_args_with_fault,
                       parse_rows, start_logging, terminate, total_text, wait_commands)
from harness import CWBUTTON1, CWBUTTON2, Session, check

READING = 690.0  # Hz: 6 L/min, 0.1 L a sample


def main():
    paths = parse_args_with_fault(__doc__)
    path = os.path.join(paths.work, "garbled.txt")
    if os.path.exists(path):
        os.remove(path)
    with Session(paths, sim_args=["--constant", "%g" % READING, "--fault", paths.fault]) as s:
        start_logging(s, path)
        s.main.click_twips(CWBUTTON1)  # Start
        wait_commands(s, 3, 10.0)
        first = check_answers_operator(s)
        wait_commands(s, len(commands(s)) + 2, 10.0)
        s.main.click_twips(CWBUTTON1)  # Stop
        time.sleep(2.5)  # rows of the final total
        check(not boxes(s), "a message box came up")
        s.main.click_twips(CWBUTTON2)  # Logging off
        time.sleep(0.5)
        terminate(s)

    with open(path, "rb") as log:
        rows = parse_rows(lines_after_header(log.read()))
    sent = len(commands(s))
    allowed = {total_text(n, READING) for n in range(sent + 1)}
    for _, frequency, flow, total in rows:
        check(total in allowed, "total %r after %d replies" % (total, sent))
        check((frequency, flow) == (("0", "0") if total == "000" else ("690", "6")),
              "row with %s,%s and total %s" % (frequency, flow, total))
    totals = [total for _, _, _, total in rows]
    check(totals == sorted(totals, key=lambda t: 0 if t == "000" else float(t)), "totals go back: %s" % totals)
    check(totals[-1] == total_text(sent, READING), "last total %s after %d replies" % (totals[-1], sent))
    print("%s: %d replies, total %s L in %d rows; sampling restarted %.2f s after Start" %
          (paths.fault, sent, totals[-1], len(rows), first))


if __name__ == "__main__":
    main()
