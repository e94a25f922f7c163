#!/usr/bin/env python3
"""The context menu and the trend window as the operator uses them:
--list-ports prints without a display; the menu opens from a right click on a
readout and from Shift+F10; while sampling and logging run, the port is
switched through "Other..." from one simulated module to another and the total
goes on from where it was; the trend window (Ctrl+T) counts one point per
accepted cycle, and closed and opened again it still has all of them."""

import os
import re
import subprocess
import time

from fault_rig import PULSES_PER_LITER, lines_after_header, parse_rows, start_logging
from harness import CWBUTTON1, READOUTS, Session, Simulator, _end, check, parse_args, wait_until

FIRST, SECOND = 250.0, 500.0  # Hz, every reply of the first and of the second module
TREND = "^Trend - "


def check_list_ports(paths):
    """One port a line, three tab-separated fields, exit 0, no display needed."""
    env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    env["QT_QPA_PLATFORM"] = "xcb"  # would abort at once if a display were opened
    run = subprocess.run([paths.tavelin, "--list-ports"], env=env, capture_output=True, timeout=30)
    check(run.returncode == 0, "--list-ports ended with %d: %r" % (run.returncode, run.stderr[-300:]))
    lines = run.stdout.decode().splitlines()
    check(all(line.startswith("/") and line.count("\t") == 2 for line in lines), "--list-ports printed %r" % lines)
    return len(lines)


def program_windows(s):
    return set(s.xdotool("search", "--onlyvisible", "--pid", str(s.app.pid), check=False).split())


def wait_menu(s, before):
    """A popup menu has no title to search by: it is the program's new window."""
    return wait_until(lambda: program_windows(s) - before, 10.0, "the context menu")


def open_menu_by_right_click(s):
    frame, label = READOUTS["lblHz"]
    x, y, width, height = s.main.rect_pixels(label, origin=frame)
    before = program_windows(s)
    s.xdotool("mousemove", "--window", s.main.wid, str(x + width // 2), str(y + height // 2), "click", "3")
    wait_menu(s, before)
    s.key("Escape")
    wait_until(lambda: program_windows(s) == before, 10.0, "the context menu to close")


def switch_port(s, device):
    """Shift+F10, Serial port, Other..., the typed path, Return."""
    s.xdotool("windowfocus", "--sync", s.main.wid)
    before = program_windows(s)
    s.key("shift+F10")
    wait_menu(s, before)
    s.key("s", "o")
    s.window("^Serial port$").wait_for_focus()
    s.key("ctrl+a")
    s.type_text(device)
    s.key("Return")
    s.wait_gone("^Serial port$")


def trend_points(s):
    """Ctrl+T on the panel; the point count from the trend window's title."""
    s.xdotool("windowfocus", "--sync", s.main.wid)
    s.key("ctrl+t")
    title = s.xdotool("getwindowname", s.window(TREND).wid).strip()
    match = re.fullmatch(r"Trend - (\d+) points?", title)
    check(match, "trend window title %r" % title)
    return int(match.group(1))


def main():
    paths = parse_args(__doc__)
    listed = check_list_ports(paths)
    log_path = os.path.join(paths.work, "switch.txt")
    if os.path.exists(log_path):
        os.remove(log_path)
    second_work = os.path.join(paths.work, "second")
    os.makedirs(second_work, exist_ok=True)

    with Session(paths, sim_args=["--constant", "%g" % FIRST]) as s:
        second = Simulator(paths.sim, ["--constant", "%g" % SECOND], second_work)
        try:
            start_logging(s, log_path)
            s.main.click_twips(CWBUTTON1)  # Start
            time.sleep(3.5)
            open_menu_by_right_click(s)
            switch_port(s, second.device)
            switched = time.monotonic()
            wait_until(lambda: len(second.command_times()) >= 3, 10.0, "read commands at the second module")
            s.main.click_twips(CWBUTTON1)  # Stop
            time.sleep(2.5)  # a log row with the last total
            first_times, second_times = s.sim.command_times(), second.command_times()
            points = trend_points(s)
            s.key("ctrl+w")  # closes the trend window
            s.wait_gone(TREND)
            points_again = trend_points(s)
            s.screenshot("trend.png")
        finally:
            _end(second.process)
        status = s.terminate()
        check(status == 0, "tavelin ended with status %s after SIGTERM" % status)

    check(first_times and all(t < switched for t in first_times), "the first module was read after the switch")
    check(second_times and all(t > switched - 1.0 for t in second_times), "the second module was read before it")
    with open(log_path, "rb") as log:
        totals = [float(row[3]) for row in parse_rows(lines_after_header(log.read())) if row[3] != "000"]
    pulses = len(first_times) * FIRST + len(second_times) * SECOND
    expected = round(pulses / PULSES_PER_LITER, 2)
    check(totals == sorted(totals), "the logged total fell: %s" % totals)
    check(totals and totals[-1] == expected, "last total %s, %d + %d readings make %s"
          % (totals[-1:], len(first_times), len(second_times), expected))
    accepted = len(first_times) + len(second_times)
    check(points == accepted, "the trend has %d points for %d accepted cycles" % (points, accepted))
    check(points_again == points, "opened again the trend has %d points, before %d" % (points_again, points))
    print("port and trend: %d ports listed; %d + %d readings, total %s L; %d trend points"
          % (listed, len(first_times), len(second_times), expected, points))


if __name__ == "__main__":
    main()
