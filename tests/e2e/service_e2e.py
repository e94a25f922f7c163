#!/usr/bin/env python3
"""tavelind as systemd runs it, one case a row, with no display at all: the
log file's bytes, sd_notify on a socket the test owns, SIGHUP after logrotate
moved the file away, SIGTERM with whole rows, log writes refused for a while
and taken again, a silent module that writes a line a minute instead of a
line a second, an alarm and its rule taken away, the libraries it loads, and
the records: --verify on a store changed with sqlite3, the event log across
restarts (a K-factor changed in the file, a SIGKILL), --version's hash."""

import argparse
import datetime
import hashlib
import hmac
import os
import re
import resource
import signal
import shutil
import socket
import sqlite3
import struct
import subprocess
import sys
import time

from fault_rig import parse_rows, split_header
from harness import Simulator, _end, check, parse_args, wait_until


class Service:
    """tavelind on a simulator, with a settings file of the test's and its
    stderr (the journal's lines) in work/tavelind.log."""

    def __init__(self, paths, sim_args, settings, env=None, state="state", preexec=None, fresh=True):
        self.paths = paths
        self.sim = Simulator(paths.sim, sim_args, paths.work)
        self.config = os.path.join(paths.work, "tavelind.conf")
        with open(self.config, "w") as out:
            out.write(settings)
        self.stderr_path = os.path.join(paths.work, "tavelind.log")
        self.started = time.monotonic()
        self.state = os.path.join(paths.work, state)
        if fresh:
            subprocess.run(["rm", "-rf", os.path.join(paths.work, "state")], check=True)
        self.env = dict({k: v for k, v in os.environ.items() if k not in ("DISPLAY", "NOTIFY_SOCKET")},
                        STATE_DIRECTORY=self.state, **(env or {}))
        self.process = subprocess.Popen(
            [paths.tavelind, "--config", self.config, "--port", self.sim.device],
            stdout=subprocess.DEVNULL, stderr=open(self.stderr_path, "wb"), preexec_fn=preexec, env=self.env)

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


def case_log_retry(paths):
    """Rows refused for a while (a file size limit set on the running service,
    as a full disk refuses them): one line however many fail, sampling goes
    on; once rows are taken again one line says so, and they follow whole."""
    log = os.path.join(paths.work, "limited.txt")
    earlier = b'"23:59:59",0,0,"000"\r\n' * 50000  # 1.1 MB: more than the readings store grows to meanwhile
    with open(log, "wb") as out:
        out.write(earlier)
    service = Service(paths, ["--constant", "250"], "[logging]\nfile=%s\nmode=append\ninterval_s=0.5\n" % log,
                      preexec=lambda: signal.signal(signal.SIGXFSZ, signal.SIG_IGN))
    days = [datetime.date.today()]
    wait_until(lambda: os.path.getsize(log) > len(earlier) + 200, 5.0, "the header and a row")
    hard = resource.prlimit(service.process.pid, resource.RLIMIT_FSIZE)[1]
    resource.prlimit(service.process.pid, resource.RLIMIT_FSIZE, (os.path.getsize(log) + 10, hard))

    def about_log():
        return [line for line in service.journal() if " log file %s" % log in line]
    wait_until(about_log, 5.0, "the failure's line")
    commands = len(service.sim.command_times())
    time.sleep(3.0)
    check(len(service.sim.command_times()) >= commands + 2, "sampling stood still while rows failed")
    resource.prlimit(service.process.pid, resource.RLIMIT_FSIZE, (hard, hard))
    wait_until(lambda: len(about_log()) >= 2, 5.0, "the line saying so")
    time.sleep(1.5)
    check(service.stop() == 0, "tavelind did not end with status 0")
    lines = about_log()
    check(len(lines) == 2 and lines[0].startswith("<3>Cannot write to the log file %s: File too large." % log)
          and re.match(r"<4>The log file .* is written again; ([6-9]|1[0-4]) rows could not", lines[1]),
          "journal %s" % lines)
    with open(log, "rb") as out:
        data = out.read()
    rows = parse_rows(split_header(data[len(earlier):], log, days + [datetime.date.today()]))
    steps = [later[0] - row[0] for row, later in zip(rows, rows[1:])]
    check(data.startswith(earlier) and len(rows) >= 4 and max(steps) >= 3, "rows %s apart" % steps)


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
    """A high flow alarm: one journal line when it comes, its rows in alarms.csv;
    its rule taken out of the settings file and SIGHUP: the alarm is cleared
    first, in the journal, alarms.csv and the store's alarm_events, and the
    event log has the rule's change from the reload."""
    service = Service(paths, ["--constant", "250"], "[alarms]\nhigh_flow_l_min=1\nflow_delay_s=1\nlatching=false\n")
    wait_until(lambda: any("ALARM: High flow" in line for line in service.journal()), 10.0, "the alarm's line")
    with open(service.config, "w") as out:
        out.write("[alarms]\nflow_delay_s=1\nlatching=false\n")
    service.process.send_signal(signal.SIGHUP)
    wait_until(lambda: "<6>Alarm over: High flow" in service.journal(), 5.0, "the alarm's end after SIGHUP")
    check(service.stop() == 0, "tavelind did not end with status 0")
    alarms = [line for line in service.journal() if "ALARM" in line]
    check(len(alarms) == 1 and alarms[0].startswith("<4>ALARM: High flow - "), "journal %s" % alarms)
    with open(os.path.join(paths.work, "state", "alarms.csv")) as journal:
        events = [line.split(",")[1:3] for line in journal.read().splitlines()]
    check(events == [["high_flow", "raised"], ["high_flow", "cleared"]], "alarms.csv %s" % events)
    db = sqlite3.connect("file:%s?mode=ro" % os.path.join(paths.work, "state", "readings.db"), uri=True)
    try:
        stored = db.execute("SELECT alarm, event FROM alarm_events ORDER BY seq").fetchall()
    finally:
        db.close()
    check(stored == [("high_flow", "raised"), ("high_flow", "cleared")], "alarm_events %s" % stored)
    changed = [row[:4] for row in events_of(os.path.join(paths.work, "state"), "setting_changed")]
    check(changed == [("alarms/high_flow_l_min", "1", "", "reload")], "setting_changed %s" % changed)


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


def stored_readings(state):
    with sqlite3.connect(os.path.join(state, "readings.db")) as db:
        return db.execute("SELECT seq, frequency, meter_centipulses FROM readings ORDER BY seq").fetchall()


def case_two_on_one_folder(paths):
    """A second tavelind on a state folder that one holds refuses to start,
    naming the folder and the first's PID; the first's meter stays the sum of
    its stored readings."""
    service = Service(paths, ["--constant", "250.25"], "")
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
        second = subprocess.run([paths.tavelind, "--config", service.config, "--simulate"], env=service.env,
                                capture_output=True, text=True, timeout=20)
        check(second.returncode == 3, "the second ended with status %d" % second.returncode)
        check(service.state in second.stderr and "tavelind (PID %d)" % service.process.pid in second.stderr,
              "the refusal says %r" % second.stderr)
        time.sleep(2.0)
    finally:
        check(service.stop() == 0, "the first did not end with status 0")
    rows = stored_readings(service.state)
    check([seq for seq, _, _ in rows] == list(range(1, len(rows) + 1)) and len(rows) >= 3, "seqs %s" % rows)
    meter = 0
    for seq, frequency, stored in rows:
        meter += round(frequency * 100)
        check(stored == meter, "reading %d carries the meter %d, the readings sum to %d" % (seq, stored, meter))


def case_window_beside(paths):
    """The window on the folder a tavelind holds: a box names the holder, and
    it ends with status 3 without touching the store."""
    from fault_rig import box_text, dismiss, wait_box
    from harness import Session
    service = Service(paths, ["--constant", "250"], "", state=os.path.join("state", "tavelin"))
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
        with Session(paths, sim_args=["--constant", "6900"], startup_box=True,
                     keep_state=True) as s:
            box = wait_box(s)
            text = box_text(s, box)
            check("tavelind (PID %d)" % service.process.pid in text and service.state in text,
                  "the box says %r" % text)
            dismiss(s, box)
            check(s.app.wait(10) == 3, "tavelin ended with status %s" % s.app.returncode)
        time.sleep(1.5)
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    rows = stored_readings(service.state)
    check(rows and all(frequency == 250 for _, frequency, _ in rows), "readings %s" % rows)


def case_libraries(paths):
    """No graphical library: ldd lists no Qt Gui, Qt Widgets or Qwt."""
    libraries = subprocess.run(["ldd", paths.tavelind], capture_output=True, text=True, check=True).stdout
    found = re.findall(r"lib(?:Qt5Gui|Qt5Widgets|qwt)[^ ]*", libraries)
    check(not found, "tavelind loads %s" % found)


def store_rows(state, query):
    db = sqlite3.connect("file:%s?mode=ro" % os.path.join(state, "readings.db"), uri=True)
    try:
        return db.execute(query).fetchall()
    finally:
        db.close()


def verify(paths, state):
    """tavelind --verify on the store in state: (status, its lines)."""
    env = dict(os.environ, STATE_DIRECTORY=state)
    run = subprocess.run([paths.tavelind, "--verify"], env=env, capture_output=True, text=True, timeout=60)
    return run.returncode, run.stdout.splitlines()


def seal_field(value):
    """One field of the seal's message, as docs/data.md gives it."""
    if value is None:
        return b"\xff\xff\xff\xff"
    if isinstance(value, float):
        value = struct.pack(">d", value + 0.0).hex()  # -0 as 0
    data = str(value).encode()
    return struct.pack(">I", len(data)) + data


def case_records(paths):
    """A store a short run made holds (status 0), every seal recomputed here
    from docs/data.md's form; a copy changed with sqlite3 is named for what
    was done: a reading changed, removed, inserted."""
    service = Service(paths, ["--constant", "250"], "")
    wait_until(lambda: len(service.sim.command_times()) >= 4, 10.0, "four read commands")
    time.sleep(0.5)
    check(service.stop() == 0, "tavelind did not end with status 0")
    status, lines = verify(paths, service.state)
    check(status == 0 and len(lines) == 3 and lines[0].startswith("readings: ") and "seq 1 to " in lines[0],
          "--verify of the untouched store: %d %s" % (status, lines))

    with open(os.path.join(service.state, "readings.db.key"), "rb") as key_file:
        key = key_file.read()
    check(os.stat(os.path.join(service.state, "readings.db.key")).st_mode & 0o077 == 0, "the key is not the owner's alone")
    anchor = store_rows(service.state, "SELECT value FROM store_info WHERE key = 'seal_anchor/readings'")[0][0]
    previous = bytes.fromhex(anchor.split()[1])
    columns = "seq, utc_ms, frequency, liters_per_min, pulse_total, total_liters, meter_centipulses, " \
              "pulses_per_liter, meter_liters"
    rows = store_rows(service.state, "SELECT %s, seal FROM readings ORDER BY seq" % columns)
    for row in rows:
        message = previous + seal_field("readings") + b"".join(seal_field(value) for value in row[:-1])
        previous = hmac.new(key, message, hashlib.sha256).digest()
        check(previous == row[-1], "reading %d: its seal is not the documented form's" % row[0])

    newest = rows[-1][0]
    for name, statement, expected in (
            ("changed", "UPDATE readings SET frequency = frequency + 1 WHERE seq = 2", "readings: seq 2 changed"),
            ("removed", "DELETE FROM readings WHERE seq = 2", "readings: seq 2 removed"),
            ("inserted", "INSERT INTO readings SELECT seq + 1, utc_ms + 1000, frequency, liters_per_min, "
                         "pulse_total, total_liters, meter_centipulses, pulses_per_liter, meter_liters, seal "
                         "FROM readings WHERE seq = %d" % newest, "readings: seq %d inserted" % (newest + 1))):
        copy = os.path.join(paths.work, "copy-" + name)
        shutil.rmtree(copy, ignore_errors=True)
        shutil.copytree(service.state, copy)
        with sqlite3.connect(os.path.join(copy, "readings.db")) as db:
            db.execute(statement)
        db.close()
        status, lines = verify(paths, copy)
        check(status == 1 and lines[3:] == [expected], "--verify after a reading %s: %d %s" % (name, status, lines))


def events_of(state, kind):
    return store_rows(state, "SELECT subject, old_value, new_value, source, utc_ms FROM events WHERE kind = '%s' "
                             "ORDER BY seq" % kind)


def case_events_across_runs(paths):
    """The K-factor changed in the settings file between two runs: a
    setting_changed from the file, with old and new; a SIGKILL: an
    unclean_stop at the next start, with the time of the last reading."""
    service = Service(paths, ["--constant", "250"], "[sensor]\npulses_per_liter=450\n")
    first_device = service.sim.device
    wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
    check(service.stop() == 0, "the first run did not end with status 0")
    service = Service(paths, ["--constant", "250"], "[sensor]\npulses_per_liter=500\n", fresh=False)
    wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
    time.sleep(0.5)
    service.stop(signal.SIGKILL)
    last = store_rows(service.state, "SELECT MAX(utc_ms) FROM readings")[0][0]
    service = Service(paths, ["--constant", "250"], "[sensor]\npulses_per_liter=500\n", fresh=False)
    wait_until(lambda: events_of(service.state, "unclean_stop"), 10.0, "the unclean stop recorded")
    check(service.stop() == 0, "the third run did not end with status 0")

    changed = [row[:4] for row in events_of(service.state, "setting_changed")]
    check(changed == [("sensor/pulses_per_liter", "450", "500", "settings_file")], "setting_changed %s" % changed)
    unclean = events_of(service.state, "unclean_stop")
    expected = datetime.datetime.fromtimestamp(last / 1000, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%S.%f")
    check(len(unclean) == 1 and unclean[0][1] == expected[:-3] + "Z", "unclean_stop %s, last reading %s" % (unclean, expected))
    kinds = [row[0] for row in store_rows(service.state, "SELECT kind FROM events ORDER BY seq")]
    check(kinds == ["program_started", "program_stopped", "program_started", "setting_changed", "unclean_stop",
                    "program_started", "program_stopped"], "events %s" % kinds)
    started = events_of(service.state, "program_started")[0]
    check(started[0] == "tavelind" and "sha256=" in started[2] and "port=%s;" % first_device in started[2],
          "program_started %s, on %s" % (started, first_device))
    check(verify(paths, service.state)[0] == 0, "--verify after the three runs")


def case_version(paths):
    """--version's SHA-256 is the executable's, as sha256sum gives it."""
    for program in (paths.tavelind, paths.tavelin):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        lines = subprocess.run([program, "--version"], env=env, capture_output=True, text=True,
                               timeout=30).stdout.splitlines()
        expected = subprocess.run(["sha256sum", program], capture_output=True, text=True, check=True).stdout.split()[0]
        check(len(lines) == 2 and re.match(r"^%s \d+\.\d+\.\d+$" % os.path.basename(program), lines[0])
              and lines[1].split()[:2] == ["sha256", expected]
              and os.path.samefile(lines[1].split(None, 2)[2], program), "%s --version: %s" % (program, lines))


CASES = {name[len("case_"):]: case for name, case in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser(add_help=False, allow_abbrev=False)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--tavelind", required=True)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    paths.tavelind = known.tavelind
    CASES[known.case](paths)
    print("service %s: passed" % known.case)


if __name__ == "__main__":
    main()
