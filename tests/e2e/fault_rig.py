"""What the logging and fault tests add to the harness: the program's message
boxes (found by title, read through the clipboard, closed with Return), a
logging run set up through the Logger dialog, the header and rows of a log
file, the read commands the module received, the program's CPU time, and a
check that the window still answers the operator."""

import argparse
import os
import re
import subprocess
import sys
import time

from harness import (APPEND, CWBUTTON1, CWBUTTON2, FRAME1, INTERVAL_LIST, OK, OVERWRITE, SELECT_FILE, WRITE_TO_FILE,
                     HarnessError, check, parse_args, wait_until)

NO_VALID_RETURN = "NO VALID RETURN FROM pH MODULE"
PORT_NOT_OPEN = "Port Not open"
BOX_TITLES = "^(tavelin|Port Failure)$"  # the titles of the program's message boxes
PULSES_PER_LITER = 6900


def parse_args_with_fault(description):
    """The harness's arguments plus --fault MODE (a tavelin-sim fault)."""
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--fault", required=True)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(description)
    paths.fault = known.fault
    return paths


# --- message boxes -----------------------------------------------------------

def boxes(s, title=BOX_TITLES):
    """Ids of the program's visible windows with the given title."""
    out = s.xdotool("search", "--all", "--onlyvisible", "--pid", str(s.app.pid), "--name", title, check=False)
    return out.split()


def wait_box(s, timeout=10.0, title=BOX_TITLES):
    def found():
        if s.app.poll() is not None:
            raise HarnessError("tavelin ended (status %s)" % s.app.returncode)
        return boxes(s, title)
    return wait_until(found, timeout, "a message box")[0]


def box_title(s, wid):
    return s.xdotool("getwindowname", wid).strip()


def box_text(s, wid):
    """The prompt of a message box, which Ctrl+C copies after its title."""
    s.xdotool("windowfocus", "--sync", wid)
    s.key("ctrl+c")

    def copied():
        result = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=dict(os.environ, DISPLAY=s.display),
                                capture_output=True, timeout=15.0)
        text = result.stdout.decode(errors="replace") if result.returncode == 0 else ""
        title = box_title(s, wid) + "\n"
        return text[len(title):] if text.startswith(title) else None
    return wait_until(copied, 10.0, "the box's text on the clipboard")


def dismiss(s, wid):
    """Closes a box with Return, as the operator would."""
    s.xdotool("windowfocus", "--sync", wid)
    s.key("Return")
    wait_until(lambda: wid not in boxes(s), 10.0, "the message box to close")


def move_aside(s, wid):
    """Without a window manager a box sits at 0,0 over the readouts."""
    s.xdotool("windowmove", "--sync", wid, "560", "420", check=False)


# --- logging -----------------------------------------------------------------

def start_logging(s, path=None, mode=OVERWRITE, interval="1", new_file=True, wait=True):
    """Logging switch on; Write to File, the file (typed, or the one preset in
    the file dialog when path is None), the mode, the interval ("1", "0.5", or
    None to keep the previous run's), OK; with wait, until the dialog goes."""
    s.main.click_twips(CWBUTTON2)
    dialog = s.window("^Logger$")
    dialog.click_twips(WRITE_TO_FILE, origin=FRAME1)
    dialog.click_twips(SELECT_FILE)
    s.accept_file_dialog(path)
    if path and new_file:
        s.window("^Select File$").wait_for_focus()  # "... does not exist. Create the file?"
        s.key("Return")  # Yes
        s.wait_gone("^Select File$")
    dialog.click_twips(mode)
    if interval:
        dialog.click_twips(INTERVAL_LIST, origin=FRAME1)
        time.sleep(0.5)  # the list opens
        s.key(*(("End", "Return") if interval == "0.5" else ("End", "Up", "Return")))  # 0.5 is last, 1 before it
    dialog.click_twips(OK)
    if wait:
        s.wait_gone("^Logger$")


COLUMN_NAMES = '"Time, Frequency, Liters / min, Total Liters"'
ROW = re.compile(r'"(\d\d):(\d\d):(\d\d)",([^,]+),([^,]+),"([^"]*)"\Z')


def header(path, dates):
    """The header block a run writes, for each date the run may have seen."""
    return [("\r\n".join(['', '"Veltrane Logging Program",#%s#' % day.isoformat(), '"Version: 1.0"', '',
                          '"Log File: %s"' % path, '', COLUMN_NAMES, '', ''])
             ).encode() for day in dates]


def split_header(data, path, dates):
    """What follows the header block at the start of data."""
    for block in header(path, dates):
        if data.startswith(block):
            return data[len(block):]
    raise AssertionError("no header block for %s at %r" % (path, data[:200]))


def lines_after_header(data):
    """The lines after the last header's column names and the empty line below them."""
    marker = (COLUMN_NAMES + "\r\n\r\n").encode()
    at = data.rfind(marker)
    check(at >= 0, "no header in the log file")
    return data[at + len(marker):]


def parse_rows(data):
    """Rows (seconds of the day, frequency, flow, total text); each must be whole."""
    check(data == b"" or data.endswith(b"\r\n"), "the log ends in a torn row: %r" % data[-40:])
    rows = []
    for line in data.decode().split("\r\n")[:-1]:
        match = ROW.match(line)
        check(match, "not a well-formed row: %r" % line)
        h, m, sec, frequency, flow, total = match.groups()
        rows.append((int(h) * 3600 + int(m) * 60 + int(sec), frequency, flow, total))
    return rows


def total_text(samples, reading):
    """The total readout after a number of samples of one reading."""
    return "%.15g" % round(samples * reading / PULSES_PER_LITER, 2) if samples else "000"


# --- the program -------------------------------------------------------------

def commands(s):
    return s.sim.command_times()


def wait_commands(s, count, timeout):
    return wait_until(lambda: len(commands(s)) >= count and commands(s), timeout, "%d read commands" % count)


def cpu_seconds(pid):
    """User plus system time of a process so far."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def check_answers_operator(s):
    """Stop takes effect within a second and Start again starts sampling a
    second later: the window handles input while the fault goes on."""
    stop = time.monotonic()
    s.main.click_twips(CWBUTTON1)  # Stop
    time.sleep(2.5)
    late = [t - stop for t in commands(s) if t > stop + 1.0]
    check(not late, "read commands %s s after Stop" % ["%.2f" % t for t in late])
    before = len(commands(s))
    start = time.monotonic()
    s.main.click_twips(CWBUTTON1)  # Start
    first = wait_commands(s, before + 1, 10.0)[before] - start
    check(0.5 <= first <= 2.0, "first read command %.2f s after Start" % first)
    return first


SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak)Sanitizer|runtime error: |SUMMARY: \w+Sanitizer")


def check_no_sanitizer_report(s):
    """The program's stderr holds no report of a sanitizer build."""
    with open(os.path.join(s.work, "tavelin.log"), errors="replace") as log:
        report = SANITIZER_REPORT.search(log.read())
    check(not report, "a sanitizer report in tavelin's output: %r" % (report and report.group(0)))


def terminate(s):
    status = s.terminate()
    check(status == 0, "tavelin ended with status %s after SIGTERM" % status)
