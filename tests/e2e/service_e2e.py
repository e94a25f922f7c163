#!/usr/bin/env python3
"""tavelind as systemd runs it, one case a row, with no display at all: the
log file's bytes, sd_notify on a socket the test owns, SIGHUP after logrotate
moved the file away, SIGTERM with whole rows, log writes refused for a while
and taken again, a silent module that writes a line a minute instead of a
line a second, an alarm and its rule taken away, the libraries it loads, the
state folder held by one program, MQTT (a slow resolver and a slow disk from
an LD_PRELOAD library that sleeps in getaddrinfo and fsync, a K-factor changed
by SIGHUP, and two instances on one broker), the history exported beside it
(a store of the version before the quarter-hour intervals across the end of
summer time, and the store of a running instance), and the records: --verify
on a store changed with sqlite3, the event log across restarts (a K-factor
changed in the file, a SIGKILL), --version's hash."""

import argparse
import datetime
import hashlib
import hmac
import json
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
from harness import Simulator, _end, check, parse_args, wait_until, write_store


class Service:
    """tavelind on a simulator, with a settings file of the test's and its
    stderr (the journal's lines) in work/tavelind.log; a named instance keeps
    all of its files in work/<name>/."""

    def __init__(self, paths, sim_args, settings, env=None, name=None, state="state", preexec=None,
                 keep_state=False, fresh=True):
        self.paths = paths
        folder = os.path.join(paths.work, name) if name else paths.work
        os.makedirs(folder, exist_ok=True)
        self.sim = Simulator(paths.sim, sim_args, folder)
        self.config = os.path.join(folder, "tavelind.conf")
        with open(self.config, "w") as out:
            out.write(settings)
        self.stderr_path = os.path.join(folder, "tavelind.log")
        self.started = time.monotonic()
        self.state = os.path.join(folder, state)
        if fresh and not keep_state:
            subprocess.run(["rm", "-rf", os.path.join(folder, "state")], check=True)
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

    def stored_seqs(self):
        with sqlite3.connect("file:%s?mode=ro" % os.path.join(self.state, "readings.db"), uri=True) as db:
            return [seq for seq, in db.execute("SELECT seq FROM readings ORDER BY seq")]


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


def export(paths, *args, tz="UTC", state=None):
    """tavelind --export ... on the test's state folder: (status, stdout bytes, stderr text)."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "NOTIFY_SOCKET")}
    env.update(TZ=tz, STATE_DIRECTORY=state or os.path.join(paths.work, "state"))
    result = subprocess.run([paths.tavelind, "--export", *args], env=env, capture_output=True, timeout=60)
    return result.returncode, result.stdout, result.stderr.decode()


def csv_rows(data):
    check(data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""), "not CRLF rows: %r" % data[:200])
    return [line.split(",") for line in data.decode().split("\r\n")[:-1]]


def case_export_dst_days(paths):
    """A store of the version before the intervals, holding 24 to 26 October
    2026 in Europe/Berlin (half a day, the long day whole, half a day), is
    opened by this version; --export days gives three days whose liters add
    up to the readings' and whose coverage counts the long day as 90 000 s;
    the intervals' hundredths of a pulse add up to the meter."""
    day = 86400 * 1000
    first = int(datetime.datetime(2026, 10, 23, 22, tzinfo=datetime.timezone.utc).timestamp() * 1000)  # 24 Oct 00:00
    seconds = [first + i * 1000 for i in range(43200)]                      # 24 October, 00:00 to 12:00
    seconds += [first + day + i * 1000 for i in range(90000)]               # 25 October, all 25 hours
    seconds += [first + 2 * day + 3600000 + i * 1000 for i in range(43200)]  # 26 October, 00:00 to 12:00
    store = os.path.join(paths.work, "state", "readings.db")
    liters = write_store(store, [(t, 250.0 + (i % 9) * 0.25) for i, t in enumerate(seconds)])
    service = Service(paths, ["--constant", "250"], "", env={"TZ": "Europe/Berlin"}, keep_state=True)
    time.sleep(3.5)
    check(service.stop() == 0, "tavelind did not end with status 0")
    status, out, err = export(paths, "days", "--from", "2026-10-24", "--to", "2026-10-27", tz="Europe/Berlin")
    check(status == 0, "--export days ended with %d: %s" % (status, err))
    rows = csv_rows(out)
    check(rows[0][:5] == ["start", "end", "liters", "readings", "coverage_percent"], "header %s" % rows[0])
    days = rows[1:]
    check([row[:2] for row in days] == [
        ["2026-10-24T00:00:00+02:00", "2026-10-25T00:00:00+02:00"],
        ["2026-10-25T00:00:00+02:00", "2026-10-26T00:00:00+01:00"],
        ["2026-10-26T00:00:00+01:00", "2026-10-27T00:00:00+01:00"]], "days %s" % days)
    check([row[3:5] for row in days] == [["43200", "50.0"], ["90000", "100.0"], ["43200", "50.0"]],
          "readings and coverage %s" % [row[3:5] for row in days])
    check(abs(sum(float(row[2]) for row in days) - liters) < 0.002, "%s L, the readings hold %.4f L" % (days, liters))
    import sqlite3
    db = sqlite3.connect(store)
    meter, seq = db.execute("SELECT meter_centipulses, seq FROM readings ORDER BY seq DESC LIMIT 1").fetchone()
    counted = db.execute("SELECT SUM(centipulses), SUM(readings) FROM intervals").fetchone()
    db.close()
    check(seq > len(seconds) and counted == (meter, seq), "intervals %s, meter %d at seq %d" % (counted, meter, seq))
    check(len(events_of(os.path.dirname(store), "intervals_built")) == 1, "no intervals_built in the event log")
    status, lines = verify(paths, os.path.dirname(store))
    check(status == 0, "--verify after the intervals were built: %d %s" % (status, lines))


def case_export_readings_running(paths):
    """--export readings beside a running instance, and from a state folder
    without a store: the header alone."""
    status, out, err = export(paths, "readings", state=os.path.join(paths.work, "empty"))
    check((status, out) == (0, b"seq,utc,frequency_hz,flow_l_min,total_l,meter_l\r\n"), "%d %r %s" % (status, out, err))
    service = Service(paths, ["--constant", "250"], "")
    time.sleep(4.5)
    status, out, err = export(paths, "readings", "--from", "2000-01-01")
    running = service.process.poll() is None
    check(service.stop() == 0, "tavelind did not end with status 0")
    check(status == 0 and running, "--export ended with %d beside the instance: %s" % (status, err))
    rows = csv_rows(out)[1:]
    check(len(rows) >= 3, "%d readings exported" % len(rows))
    check([row[0] for row in rows] == [str(i) for i in range(1, len(rows) + 1)], "seqs %s" % rows)
    check(all(row[1].endswith("Z") and row[2:4] == ["250.00", "2.17"] for row in rows), "rows %s" % rows)
    check(rows[-1][5] == "%.3f" % (250 * len(rows) / 6900.0), "meter %s after %d readings" % (rows[-1], len(rows)))


def case_export_intervals_running(paths):
    """--export quarter-hours beside a running instance: the intervals hold
    every reading it stored."""
    service = Service(paths, ["--constant", "250"], "")
    time.sleep(4.5)
    status, out, err = export(paths, "quarter-hours")
    _, readings, _ = export(paths, "readings")
    check(service.stop() == 0, "tavelind did not end with status 0")
    check(status == 0, "--export quarter-hours ended with %d: %s" % (status, err))
    rows = csv_rows(out)[1:]
    check(1 <= len(rows) <= 2, "%d quarter hours in 4.5 s" % len(rows))
    check(sum(int(row[3]) for row in rows) == len(csv_rows(readings)) - 1, "intervals %s" % rows)


def case_libraries(paths):
    """No graphical library: ldd lists no Qt Gui, Qt Widgets or Qwt."""
    libraries = subprocess.run(["ldd", paths.tavelind], capture_output=True, text=True, check=True).stdout
    found = re.findall(r"lib(?:Qt5Gui|Qt5Widgets|qwt)[^ ]*", libraries)
    check(not found, "tavelind loads %s" % found)


def case_slow_lookup(paths):
    """The broker named by a host name whose every lookup takes 3 s, and down,
    and a disk whose every sync takes 400 ms; halfway, a reload while a
    lookup runs: the read commands keep their second and every reading is
    stored."""
    from mqtt_e2e import free_ports
    settings = "[mqtt]\nurl=mqtt://localhost:%d\n"
    first, second = free_ports(2)  # the reload changes the broker's port
    service = Service(paths, ["--constant", "250"], settings % first,
                      env={"LD_PRELOAD": paths.slow_calls, "TAVELIN_SLOW_LOOKUP_MS": "3000",
                           "TAVELIN_SLOW_FSYNC_MS": "400"})
    time.sleep(10)
    with open(service.config, "w") as out:
        out.write(settings % second)
    service.process.send_signal(signal.SIGHUP)
    time.sleep(10.5)
    check(service.stop() == 0, "tavelind did not end with status 0")
    times = service.sim.command_times()
    gaps = [b - a for a, b in zip(times, times[1:])]
    print("%d read commands, longest gap %.3f s" % (len(times), max(gaps)))
    check(len(times) >= 19 and max(gaps) <= 1.2, "%d read commands, gaps %s" % (len(times), gaps))
    stored = service.stored_seqs()
    check(stored == list(range(1, len(stored) + 1)) and len(times) - len(stored) <= 1,
          "%d readings stored for %d read commands" % (len(stored), len(times)))
    tried = [line for line in service.journal() if "MQTT: cannot reach localhost:" in line]
    check(len(tried) >= 2, "the broker's name was not looked up and tried: %s" % service.journal())


def case_mqtt_k_change(paths):
    """A K-factor change by SIGHUP (6900 to 7000) after some 60 000 Hz readings:
    the published meter never falls."""
    from mqtt_e2e import PASSWORD, STATE_TOPIC, USER, DEVICE, Broker, Subscriber, write_password
    subprocess.run(["rm", "-rf", os.path.join(paths.work, "broker")], check=True)
    broker = Broker(paths.work)
    sub = None
    try:
        broker.start()
        sub = Subscriber(broker, paths.work, STATE_TOPIC)
        settings = "[sensor]\npulses_per_liter=%d\n[mqtt]\nurl=mqtt://127.0.0.1:%d\ndevice_id=%s\nusername=%s\n" \
                   "password_file=%s\n"
        password_file = write_password(paths.work, PASSWORD)
        # Some 26 L in three readings, then 0.036 L a reading: a meter at the new
        # K would fall by 0.38 L.
        service = Service(paths, ["--list", ",".join(["60000"] * 3 + ["250"] * 30)],
                          settings % (6900, broker.plain, DEVICE, USER, password_file))
        wait_until(lambda: len(sub.payloads()) >= 5, 15.0, "five readings at the subscriber")
        with open(service.config, "w") as out:
            out.write(settings % (7000, broker.plain, DEVICE, USER, password_file))
        service.process.send_signal(signal.SIGHUP)
        wait_until(lambda: any(p["flow_l_min"] == 2.14 for p in sub.payloads()), 10.0, "a reading at K 7000")
        time.sleep(2)
        check(service.stop() == 0, "tavelind did not end with status 0")
        by_seq = {p["seq"]: p for p in sub.payloads()}
        meters = [by_seq[seq]["meter_l"] for seq in sorted(by_seq)]
        print("meter_l across the change: %s" % meters)
        check(all(b >= a for a, b in zip(meters, meters[1:])), "the meter fell: %s" % meters)
        check(any(p["flow_l_min"] == 2.17 for p in by_seq.values()), "no reading at K 6900")
    finally:
        if sub:
            sub.end()
        broker.end()


def case_two_instances(paths):
    """Two services with one settings text (no device_id) on one broker: a
    device id each, each one's seq consecutive on its own topic, and no
    connection of one taken over by the other."""
    from mqtt_e2e import PASSWORD, USER, Broker, write_password
    subprocess.run(["rm", "-rf", os.path.join(paths.work, "broker")], check=True)
    broker = Broker(paths.work)
    services, sub = [], None
    try:
        broker.start()
        received = os.path.join(paths.work, "states.txt")
        with open(received, "wb") as out:
            sub = subprocess.Popen(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P",
                                    PASSWORD, "-q", "1", "-v", "-t", "tavelin/+/state"], stdout=out,
                                   stderr=subprocess.DEVNULL)
        settings = "[mqtt]\nurl=mqtt://127.0.0.1:%d\nusername=%s\npassword_file=%s\n" % (
            broker.plain, USER, write_password(paths.work, PASSWORD))
        services = [Service(paths, ["--constant", "250"], settings, name=name) for name in ("a", "b")]
        time.sleep(6.5)
        with open(os.path.join(broker.folder, "mosquitto.log"), errors="replace") as log:
            broker_log = log.read().splitlines()
        for service in services:
            check(service.stop() == 0, "tavelind did not end with status 0")
        time.sleep(1)
        seqs = {}
        with open(received) as lines:
            for line in lines:
                topic, payload = line.split(" ", 1)
                seqs.setdefault(topic, []).append(json.loads(payload)["seq"])
        print("topics: %s" % {topic: len(s) for topic, s in seqs.items()})
        check(len(seqs) == 2, "topics %s" % sorted(seqs))
        for topic, numbers in seqs.items():
            check(len(numbers) >= 4 and numbers == list(range(1, len(numbers) + 1)), "%s: %s" % (topic, numbers))
        clients = [line for line in broker_log if "New client connected" in line and " as tavelin-" in line]
        # Only the services' own connections: the rig's probe of the TLS port
        # before the services start ends as "Client <unknown> disconnected".
        dropped = [line for line in broker_log if " tavelin-" in line and
                   re.search(r"already connected|disconnect|closed its connection", line)]
        check(len(clients) == 2 and not dropped, "the broker's log: %s" % (clients + dropped))
    finally:
        for service in services:
            if service.process.poll() is None:
                service.stop()
        if sub and sub.poll() is None:
            sub.terminate()
            sub.wait(10)
        broker.end()


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
    check(status == 0 and len(lines) == 4 and lines[0].startswith("readings: ") and "seq 1 to " in lines[0],
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
        check(status == 1 and lines[4:] == [expected], "--verify after a reading %s: %d %s" % (name, status, lines))


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
    exported = subprocess.run([paths.tavelind, "--export", "events"], env=dict(os.environ, STATE_DIRECTORY=service.state),
                              capture_output=True, timeout=30)
    rows = [row.split(",") for row in exported.stdout.decode().split("\r\n")[:-1]]
    check(exported.returncode == 0 and rows[0][:3] == ["seq", "utc", "kind"] and [row[2] for row in rows[1:]] == kinds,
          "--export events: %d %s" % (exported.returncode, rows))


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


def run_cases(cases, rig):
    """Runs the case a row names: --case NAME --tavelind D and the harness's arguments."""
    parser = argparse.ArgumentParser(add_help=False, allow_abbrev=False)
    parser.add_argument("--case", required=True, choices=sorted(cases))
    parser.add_argument("--tavelind", required=True)
    parser.add_argument("--slow-calls", help="the LD_PRELOAD library that slows lookups and syncs")
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    paths.tavelind = known.tavelind
    paths.slow_calls = known.slow_calls
    cases[known.case](paths)
    print("%s %s: passed" % (rig, known.case))


def main():
    run_cases(CASES, "service")


if __name__ == "__main__":
    main()
