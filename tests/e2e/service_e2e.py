#!/usr/bin/env python3
"""tavelind as systemd runs it, one case a row, with no display at all: the
log file's bytes, sd_notify on a socket the test owns, SIGHUP after logrotate
moved the file away, SIGTERM with whole rows, a silent module that writes a
line a minute instead of a line a second, and the libraries it loads."""

import argparse
import datetime
import os
import re
import signal
import socket
import subprocess
import sys
import time

from fault_rig import parse_rows, split_header
from harness import Simulator, _end, check, parse_args, wait_until


class Service:
    """tavelind on a simulator, with a settings file of the test's and its
    stderr (the journal's lines) in work/tavelind.log."""

    def __init__(self, paths, sim_args, settings, env=None):
        self.paths = paths
        self.sim = Simulator(paths.sim, sim_args, paths.work)
        config = os.path.join(paths.work, "tavelind.conf")
        with open(config, "w") as out:
            out.write(settings)
        self.stderr_path = os.path.join(paths.work, "tavelind.log")
        self.started = time.monotonic()
        state = os.path.join(paths.work, "state")
        subprocess.run(["rm", "-rf", state], check=True)
        self.process = subprocess.Popen(
            [paths.tavelind, "--config", config, "--port", self.sim.device],
            stdout=subprocess.DEVNULL, stderr=open(self.stderr_path, "wb"),
            env=dict({k: v for k, v in os.environ.items() if k not in ("DISPLAY", "NOTIFY_SOCKET")},
                     STATE_DIRECTORY=state, **(env or {})))

    def stop(self, sig=signal.SIGTERM):
        self.process.send_signal(sig)
        status = self.process.wait(10)
        _end(self.sim.process)
        return status

    def journal(self):
        with open(self.stderr_path, errors="replace") as log:
            return log.read().splitlines()


def log_settings(path, mode="overwrite"):
    return "[logging]\nfile=%s\nmode=%s\ninterval_s=1\n" % (path, mode)


def read_rows(path, days, named=None):
    """The rows after the header block, which names the path the file was written at."""
    with open(path, "rb") as log:
        return parse_rows(split_header(log.read(), named or path, days))


def case_log_file(paths):
    """Samples from the start, a row a second in the Logger dialog's format."""
    log = os.path.join(paths.work, "flow.txt")
    service = Service(paths, ["--constant", "250"], log_settings(log))
    days = [datetime.date.today()]
    time.sleep(4.6)
    first = service.sim.command_times()[0] - service.started
    check(service.stop() == 0, "tavelind did not end with status 0 after SIGTERM")
    check(0.7 <= first <= 1.8, "first read command %.2f s after start-up" % first)
    rows = read_rows(log, days + [datetime.date.today()])
    check(3 <= len(rows) <= 5, "%d rows in 4.6 s" % len(rows))
    check(all(row[1:3] == ("250", "2.17") for row in rows), "rows %s" % rows)
    check(service.journal()[0].startswith("<6>Sampling "), "journal %s" % service.journal())


def case_notify(paths):
    """READY=1 once the port was tried, WATCHDOG=1 a cycle, STOPPING=1 at the end."""
    address = os.path.join(paths.work, "notify.sock")
    if os.path.exists(address):
        os.remove(address)
    receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    receiver.bind(address)
    receiver.settimeout(0.2)
    service = Service(paths, ["--constant", "250"], "", env={"NOTIFY_SOCKET": address, "WATCHDOG_USEC": "5000000"})
    messages = []
    deadline = time.monotonic() + 4.6
    while time.monotonic() < deadline:
        try:
            messages.append(receiver.recv(4096).decode())
        except socket.timeout:
            pass
    check(service.stop() == 0, "tavelind did not end with status 0")
    try:
        while True:
            messages.append(receiver.recv(4096).decode())
    except socket.timeout:
        pass
    receiver.close()
    fields = [field for message in messages for field in message.split("\n") if field]
    cycles = len(service.sim.command_times())
    check(fields[0] == "READY=1", "first message %r" % fields[:1])
    check(fields.count("WATCHDOG=1") == cycles, "%d WATCHDOG=1 for %d cycles" % (fields.count("WATCHDOG=1"), cycles))
    check("STATUS=250 Hz, 2.17 L/min, 0.14 L" in fields, "no STATUS with the reading in %s" % fields)
    check(fields[-1] == "STOPPING=1", "last message %r" % fields[-1:])


def case_hangup(paths):
    """SIGHUP after the file was moved away: a new file with its own header at
    the path; the moved one keeps whole rows."""
    log = os.path.join(paths.work, "rotated.txt")
    moved = log + ".1"
    for path in (log, moved):
        if os.path.exists(path):
            os.remove(path)
    service = Service(paths, ["--constant", "250"], log_settings(log, "append"))
    days = [datetime.date.today()]
    time.sleep(2.6)
    os.rename(log, moved)
    service.process.send_signal(signal.SIGHUP)
    wait_until(lambda: os.path.exists(log), 5.0, "a new log file after SIGHUP")
    time.sleep(2.5)
    check(service.stop() == 0, "tavelind did not end with status 0")
    days.append(datetime.date.today())
    old, new = read_rows(moved, days, named=log), read_rows(log, days)
    check(len(old) >= 1 and len(new) >= 2, "%d rows before and %d after the rotation" % (len(old), len(new)))
    check(float(new[0][3]) >= float(old[-1][3]), "the total went back across SIGHUP")


def case_silent_module(paths):
    """A module that never answers: one line, then a count a minute."""
    service = Service(paths, ["--fault", "silence"], "")
    time.sleep(64)
    check(service.stop() == 0, "tavelind did not end with status 0")
    journal = [line for line in service.journal() if "NO VALID RETURN" in line]
    check(journal and journal[0] == "<3>NO VALID RETURN FROM pH MODULE", "journal %s" % journal)
    summaries = [line for line in journal if re.search(r"\(repeated \d+ times in the last minute\)$", line)]
    check(len(journal) <= 4 and summaries, "%d lines about the silent module: %s" % (len(journal), journal))
    counted = int(re.search(r"repeated (\d+) times", summaries[0]).group(1))
    check(50 <= counted <= 62, "a minute's summary counts %d" % counted)


def case_alarm(paths):
    """A high flow alarm: one journal line when it comes, its rows in alarms.csv."""
    service = Service(paths, ["--constant", "250"], "[alarms]\nhigh_flow_l_min=1\nflow_delay_s=1\nlatching=false\n")
    wait_until(lambda: any("ALARM: High flow" in line for line in service.journal()), 10.0, "the alarm's line")
    check(service.stop() == 0, "tavelind did not end with status 0")
    alarms = [line for line in service.journal() if "ALARM" in line]
    check(len(alarms) == 1 and alarms[0].startswith("<4>ALARM: High flow - "), "journal %s" % alarms)
    with open(os.path.join(paths.work, "state", "alarms.csv")) as journal:
        events = [line.split(",")[1:3] for line in journal.read().splitlines()]
    check(events[:1] == [["high_flow", "raised"]], "alarms.csv %s" % events)


def case_mqtt(paths):
    """Every stored reading reaches a real broker; offline at the end."""
    from mqtt_e2e import DEVICE, PASSWORD, STATE_TOPIC, STATUS_TOPIC, USER, Broker, Subscriber, retained, \
        write_password
    subprocess.run(["rm", "-rf", os.path.join(paths.work, "broker")], check=True)
    broker = Broker(paths.work)
    sub = None
    try:
        broker.start()
        sub = Subscriber(broker, paths.work, STATE_TOPIC)
        settings = "[mqtt]\nurl=mqtt://127.0.0.1:%d\ndevice_id=%s\nusername=%s\npassword_file=%s\n" % (
            broker.plain, DEVICE, USER, write_password(paths.work, PASSWORD))
        service = Service(paths, ["--constant", "250"], settings)
        time.sleep(5.5)
        check(service.stop() == 0, "tavelind did not end with status 0")
        readings = len(service.sim.command_times())
        wait_until(lambda: len(set(sub.seqs())) >= readings, 10.0, "%d readings at the subscriber" % readings)
        check(sorted(set(sub.seqs())) == list(range(1, readings + 1)), "seqs %s" % sub.seqs())
        check(retained(broker, STATUS_TOPIC, 1) == [(STATUS_TOPIC, "offline")], "no offline at the end")
    finally:
        if sub:
            sub.end()
        broker.end()


def case_libraries(paths):
    """No graphical library: ldd lists no Qt Gui, Qt Widgets or Qwt."""
    libraries = subprocess.run(["ldd", paths.tavelind], capture_output=True, text=True, check=True).stdout
    found = re.findall(r"lib(?:Qt5Gui|Qt5Widgets|qwt)[^ ]*", libraries)
    check(not found, "tavelind loads %s" % found)


CASES = {name[len("case_"):]: case for name, case in globals().items() if name.startswith("case_")}


def run_cases(cases, rig):
    """Runs the case a row names: --case NAME --tavelind D and the harness's arguments."""
    parser = argparse.ArgumentParser(add_help=False, allow_abbrev=False)
    parser.add_argument("--case", required=True, choices=sorted(cases))
    parser.add_argument("--tavelind", required=True)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    paths.tavelind = known.tavelind
    cases[known.case](paths)
    print("%s %s: passed" % (rig, known.case))


def main():
    run_cases(CASES, "service")


if __name__ == "__main__":
    main()
