#!/usr/bin/env python3
"""The operator's own sensor and what the program remembers, one case a row:
the K-factor from the settings file, a calibration run through its dialog,
the meter and the readings count after a SIGKILL and a restart, the total
kept across a restart, a damaged store and a state folder that cannot be
made, a malformed setting, and Reset in the event log with the total it
took. --show-totals reads the store as the operator would, without a
display."""

import argparse
import os
import shutil
import re
import signal
import sqlite3
import subprocess
import sys
import time

from fault_rig import box_text, dismiss, lines_after_header, parse_rows, start_logging, wait_box, wait_commands
from harness import CWBUTTON1, CWBUTTON3, Session, check, parse_args, wait_until


def settings_path(paths):
    return os.path.join(paths.work, "config", "tavelin", "tavelin.conf")


def write_settings(paths, text):
    os.makedirs(os.path.dirname(settings_path(paths)), exist_ok=True)
    with open(settings_path(paths), "w") as settings:
        settings.write(text)


def show_totals(paths):
    """tavelin --show-totals with the session's folders, as key -> value."""
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(paths.work, "config"),
               XDG_STATE_HOME=os.path.join(paths.work, "state"))
    env.pop("DISPLAY", None)
    result = subprocess.run([paths.tavelin, "--show-totals"], env=env, capture_output=True, text=True, timeout=30)
    check(result.returncode == 0, "--show-totals ended with status %d: %s" % (result.returncode, result.stderr))
    return dict(line.split("=", 1) for line in result.stdout.splitlines())


def fresh_log(paths, name):
    """A log file path that does not exist yet, so the file dialog asks to create it."""
    path = os.path.join(paths.work, name)
    if os.path.exists(path):
        os.remove(path)
    return path


def log_rows(path):
    with open(path, "rb") as log:
        return parse_rows(lines_after_header(log.read()))


def sample(s, count):
    """Start, then until count read commands have been answered."""
    s.main.click_twips(CWBUTTON1)
    wait_commands(s, count, count + 10.0)
    time.sleep(0.3)  # the last reply is taken and stored


def case_k_factor(paths):
    """pulses_per_liter=450: a 450 Hz reading is 60 L/min, a liter a second."""
    write_settings(paths, "[sensor]\npulses_per_liter=450\n")
    log = fresh_log(paths, "k.txt")
    with Session(paths, sim_args=["--constant", "450"]) as s:
        start_logging(s, log)
        sample(s, 4)
        time.sleep(1.5)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    sampled = [row for row in log_rows(log) if row[1] != "0"]
    check(len(sampled) >= 2, "%d sampled rows" % len(sampled))
    check(all(row[1:3] == ("450", "60") for row in sampled), "rows %s" % sampled)
    totals = [float(row[3]) for row in sampled]
    check(all(t == int(t) and t >= 1 for t in totals) and totals == sorted(totals), "totals %s" % totals)
    check(show_totals(paths)["pulses_per_liter"] == "450", "--show-totals gives another K-factor")


def case_calibration(paths):
    """Start, a few readings of 250 Hz, Stop, 0.5 L: K = pulses / 0.5, written
    to the settings file and used from the next reading."""
    with Session(paths, sim_args=["--constant", "250"]) as s:
        s.main.click_twips(CWBUTTON1)
        wait_commands(s, 1, 10.0)
        s.xdotool("windowfocus", "--sync", s.main.wid)
        s.key("shift+F10")
        time.sleep(0.5)
        s.key("c")
        dialog = s.window("^Calibrate$")
        dialog.wait_for_focus()
        s.key("alt+s")
        time.sleep(3.5)
        s.key("alt+t")
        s.key("alt+v")
        s.type_text("0.5")
        s.key("alt+a")
        wait_until(lambda: os.path.exists(settings_path(paths)), 10.0, "the settings file")
        s.key("Escape")
        s.wait_gone("^Calibrate$")
        check(s.terminate() == 0, "tavelin did not end with status 0")
    with open(settings_path(paths)) as settings:
        text = settings.read()
    k = float(text.split("pulses_per_liter=")[1].split()[0])
    check(k in (500.0 * n for n in range(2, 7)), "K-factor %g is not the pulses of 2 to 6 readings over 0.5 L" % k)
    check(float(show_totals(paths)["pulses_per_liter"]) == k, "--show-totals does not give the new K-factor")


def case_kill_restart(paths):
    """SIGKILL while sampling: the meter holds every reading taken; a
    restart continues the count."""
    with Session(paths, sim_args=["--constant", "250"]) as s:
        sample(s, 5)
        s.app.send_signal(signal.SIGKILL)
        s.app.wait(10)
        commands = len(s.sim.command_times())
    first = show_totals(paths)
    readings = int(first["readings"])
    check(commands - 1 <= readings <= commands, "%d readings stored for %d read commands" % (readings, commands))
    check(first["meter_pulses"] == "%.2f" % (250 * readings), "meter %s for %d readings" % (first, readings))
    check(first["last_reading"].endswith("Z") and len(first["last_reading"]) == 24, "last_reading %r" % first)
    with Session(paths, sim_args=["--constant", "250"], keep_state=True) as s:
        sample(s, 3)
        check(s.terminate() == 0, "tavelin did not end with status 0")
        more = len(s.sim.command_times())
    second = show_totals(paths)
    check(int(second["readings"]) == readings + more, "%s readings after %d more" % (second["readings"], more))
    check(second["meter_pulses"] == "%.2f" % (250 * (readings + more)), "meter %s" % second)


def case_keep_total(paths):
    """keep_total=true: the total of the last run shows from the start."""
    write_settings(paths, "[sensor]\nkeep_total=true\n")
    with Session(paths, sim_args=["--constant", "6900"]) as s:
        sample(s, 3)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    total = show_totals(paths)["total_liters"]
    check(float(total) >= 2, "total %s after three readings of a liter" % total)
    log = fresh_log(paths, "kept.txt")
    with Session(paths, sim_args=["--constant", "6900"], keep_state=True) as s:
        start_logging(s, log)
        time.sleep(1.5)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    rows = log_rows(log)
    check(rows and all(row[3] == "%g" % float(total) for row in rows), "rows %s, kept total %s" % (rows, total))


def case_damaged_store(paths):
    """A store that is not a database is set aside and a new one made."""
    store = os.path.join(paths.work, "state", "tavelin", "readings.db")
    shutil.rmtree(os.path.dirname(store), ignore_errors=True)
    os.makedirs(os.path.dirname(store))
    garbage = b"this is not a readings store\n" * 64
    with open(store, "wb") as damaged:
        damaged.write(garbage)
    with Session(paths, sim_args=["--constant", "250"], keep_state=True) as s:
        box = wait_box(s)
        text = box_text(s, box)
        check("damaged" in text and store in text, "the box says %r" % text)
        dismiss(s, box)
        sample(s, 3)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    kept = [name for name in os.listdir(os.path.dirname(store)) if name.startswith("readings.db.damaged-")]
    check(kept, "no damaged file kept beside the store")
    with open(os.path.join(os.path.dirname(store), sorted(kept)[0]), "rb") as damaged:
        check(damaged.read() == garbage, "the damaged file's bytes changed")
    check(int(show_totals(paths)["readings"]) >= 2, "the new store has no readings")
    with sqlite3.connect("file:%s?mode=ro" % store, uri=True) as db:
        aside = db.execute("SELECT old_value, new_value FROM events WHERE kind = 'store_set_aside'").fetchall()
    check(aside == [(store, os.path.join(os.path.dirname(store), sorted(kept)[0]))], "store_set_aside %s" % aside)


def case_no_state_folder(paths):
    """A state folder that cannot be made: told once, sampling goes on."""
    state = os.path.join(paths.work, "state")
    shutil.rmtree(state, ignore_errors=True)
    with open(state, "w") as blocker:  # a file where the folder would be
        blocker.write("")
    try:
        log = fresh_log(paths, "no-store.txt")
        with Session(paths, sim_args=["--constant", "250"], keep_state=True) as s:
            box = wait_box(s)
            text = box_text(s, box)
            check("cannot be opened" in text and "without it" in text, "the box says %r" % text)
            dismiss(s, box)
            start_logging(s, log)
            sample(s, 3)
            time.sleep(1.2)
            check(not s.app.poll(), "tavelin ended")
            check(s.terminate() == 0, "tavelin did not end with status 0")
        check(any(row[1] == "250" for row in log_rows(log)), "no sampled row in the log")
    finally:
        os.remove(state)


def case_malformed_value(paths):
    """pulses_per_liter=abc: told once, naming file, key, value and default."""
    write_settings(paths, "[sensor]\npulses_per_liter=abc\n")
    with Session(paths, sim_args=["--constant", "6900"]) as s:
        box = wait_box(s)
        text = box_text(s, box)
        for part in (settings_path(paths), "pulses_per_liter", '"abc"', "6900"):
            check(part in text, "the box does not name %r: %r" % (part, text))
        dismiss(s, box)
        sample(s, 2)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    with open(settings_path(paths)) as settings:
        check(settings.read() == "[sensor]\npulses_per_liter=abc\n", "the settings file was rewritten")


def case_reset(paths):
    """Reset while sampling 1 L a second: a total_reset event with the total
    it took, in pulses and liters, and the window's user."""
    with Session(paths, sim_args=["--constant", "6900"]) as s:
        sample(s, 3)
        s.main.click_twips(CWBUTTON3)
        time.sleep(0.5)
        check(s.terminate() == 0, "tavelin did not end with status 0")
    store = os.path.join(paths.work, "state", "tavelin", "readings.db")
    with sqlite3.connect("file:%s?mode=ro" % store, uri=True) as db:
        resets = db.execute("SELECT subject, old_value, new_value, source FROM events WHERE kind = 'total_reset'")
        resets = resets.fetchall()
    check(len(resets) == 1, "total_reset events %s" % resets)
    taken = re.match(r"^(\d+)\.00 pulses, (\d+) L$", resets[0][1])
    check(resets[0][0] == "total" and taken and int(taken.group(1)) == 6900 * int(taken.group(2)) >= 6900 * 2
          and resets[0][2:] == ("0 pulses, 0 L", "reset_switch"), "total_reset %s" % (resets,))


CASES = {name[len("case_"):]: case for name, case in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    shutil.rmtree(os.path.join(paths.work, "config"), ignore_errors=True)
    CASES[known.case](paths)
    print("meter %s: passed" % known.case)


if __name__ == "__main__":
    main()
