#!/usr/bin/env python3
"""Modbus TCP end to end: tavelind (or the window) serving its registers on a
free loopback port, read by the real clients Debian packages, mbpoll and
pymodbus, one case a row. The registers are checked against --show-totals,
the service's status text and the simulator's constant reading; writes,
reads beyond the map, other unit ids and malformed frames are refused
without harm; a client outside allowed_clients is disconnected at once;
without listen nothing listens; ten clients polling leave sampling on time.

    modbus_e2e.py --case NAME --tavelind D --tavelin T --sim S --work W
"""

import argparse
import math
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

from harness import CWBUTTON1, Session, check, parse_args, wait_until
from mqtt_e2e import free_port
from service_e2e import Service

from pymodbus.client import ModbusTcpClient

K = 6900.0
READ_ALL = 18  # words in the map


def modbus_settings(port, extra=""):
    return "[modbus]\nlisten=127.0.0.1:%d\n%s" % (port, extra)


def client(port, source=None):
    c = ModbusTcpClient("127.0.0.1", port=port, timeout=1, retries=0,
                        source_address=(source, 0) if source else None)
    check(c.connect(), "pymodbus cannot connect to port %d" % port)
    return c


def decode(words):
    """The map's fields from its 18 words."""
    def f32(at):
        return struct.unpack(">f", struct.pack(">HH", words[at], words[at + 1]))[0]
    return {"flow": f32(0), "hz": f32(2), "total": f32(4), "meter": f32(6),
            "ml": (words[8] << 48) | (words[9] << 32) | (words[10] << 16) | words[11],
            "seq": (words[12] << 16) | words[13], "age": words[14], "status": words[15], "k": f32(16)}


def read_map(c, holding=False):
    reply = (c.read_holding_registers if holding else c.read_input_registers)(0, READ_ALL, slave=1)
    check(not reply.isError(), "the map was not read: %s" % reply)
    return decode(reply.registers)


def mbpoll(port, *args):
    """mbpoll once against the server; (status, {address: text}, its error output)."""
    run = subprocess.run(["mbpoll", "-m", "tcp", "-p", str(port), "-a", "1", "-0", "-1", "-o", "1"] + list(args),
                         capture_output=True, text=True, timeout=20)
    values = {}
    for line in run.stdout.splitlines():
        if line.startswith("["):
            address, _, value = line.partition(":")
            values[int(address.strip("[]"))] = value.split()[0]
    return run.returncode, values, run.stderr


def listening_ports(pid):
    """The TCP ports the process listens on, from /proc."""
    sockets = set()
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
        except OSError:
            continue
        if target.startswith("socket:["):
            sockets.add(target[len("socket:["):-1])
    ports = set()
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as rows:
            for row in list(rows)[1:]:
                fields = row.split()
                if fields[3] == "0A" and fields[9] in sockets:  # LISTEN
                    ports.add(int(fields[1].rsplit(":", 1)[1], 16))
    return ports


def show_totals(paths, service):
    env = dict(os.environ, STATE_DIRECTORY=os.path.join(paths.work, "state"))
    run = subprocess.run([paths.tavelind, "--config", os.path.join(paths.work, "tavelind.conf"), "--show-totals"],
                         env=env, capture_output=True, text=True, timeout=30)
    check(run.returncode == 0, "--show-totals ended with status %d: %s" % (run.returncode, run.stderr))
    return dict(line.split("=", 1) for line in run.stdout.splitlines())


def close(a, b, tolerance):
    return abs(a - b) <= tolerance


def last_status(receiver):
    """The newest STATUS= the service sent to the notify socket."""
    receiver.settimeout(0.2)
    fields = []
    try:
        while True:
            fields += receiver.recv(65536).decode().split("\n")
    except socket.timeout:
        pass
    return [field for field in fields if field.startswith("STATUS=")][-1]


def case_values(paths):
    """The flow, frequency, total and meter as --show-totals and the status
    text give them, through both tables, pymodbus and mbpoll alike, once the
    module is unplugged and readings stop."""
    port = free_port()
    notify = os.path.join(paths.work, "notify.sock")
    if os.path.exists(notify):
        os.remove(notify)
    receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    receiver.bind(notify)
    service = Service(paths, ["--constant", "250"], modbus_settings(port), env={"NOTIFY_SOCKET": notify})
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 3, 10.0, "three read commands")
        time.sleep(0.5)
        service.sim.process.send_signal(signal.SIGUSR1)  # unplugged: no reading from now on
        time.sleep(2.2)
        check(listening_ports(service.process.pid) == {port}, "listening on %s" % listening_ports(service.process.pid))
        c = client(port)
        shown, holding = read_map(c), read_map(c, holding=True)
        c.close()
        _, floats, _ = mbpoll(port, "-t", "4:float", "-B", "-r", "0", "-c", "4", "127.0.0.1")
        _, words, _ = mbpoll(port, "-t", "3", "-r", "8", "-c", "10", "127.0.0.1")
        totals = show_totals(paths, service)
        status = last_status(receiver)
    finally:
        service.stop()
        receiver.close()
    holding["age"] = shown["age"]  # read a moment apart
    check(holding == shown, "the tables differ: %s / %s" % (holding, shown))
    check(status == "STATUS=250 Hz, 2.17 L/min, %s L" % totals["total_liters"], "status %r, totals %s" % (status, totals))
    check(close(shown["flow"], 2.17, 1e-6) and shown["hz"] == 250.0, "flow and frequency %s" % shown)
    check(close(shown["total"], float(totals["total_liters"]), 1e-6), "total %s, --show-totals %s" % (shown, totals))
    check(close(shown["meter"], float(totals["meter_liters"]), 0.005), "meter %s, --show-totals %s" % (shown, totals))
    check(shown["ml"] == round(float(totals["meter_pulses"]) / K * 1000), "mL %s, --show-totals %s" % (shown, totals))
    check(shown["seq"] == int(totals["readings"]) and shown["k"] == K, "seq and K %s, %s" % (shown, totals))
    # Sampling on and the store writing; the port gone and no valid reply since;
    # the seconds since the reading, counted once a second.
    check(shown["status"] == 0b1001 and 1 <= shown["age"] <= 4, "status and age %s" % shown)
    mbpoll_floats = [float(floats[a]) for a in (0, 2, 4, 6)]
    check(all(close(a, shown[k], 1e-5 * max(1, abs(a))) for a, k in zip(mbpoll_floats, ("flow", "hz", "total", "meter"))),
          "mbpoll read %s" % floats)
    check(int(words[13]) == shown["seq"] and int(words[15]) == shown["status"],
          "mbpoll read %s" % words)


def case_refusals(paths):
    """Writes get exception 1, reads beyond the map 2, bad counts 3; another
    unit id gets no answer; malformed frames harm nothing; the connect line
    is written once."""
    port = free_port()
    service = Service(paths, ["--constant", "250"], modbus_settings(port))
    try:
        wait_until(lambda: port in listening_ports(service.process.pid), 10.0, "the server to listen")
        c = client(port)
        codes = [getattr(reply, "exception_code", None) for reply in (
            c.write_register(0, 5, slave=1), c.write_registers(0, [5, 6], slave=1), c.write_coil(0, True, slave=1),
            c.read_holding_registers(17, 2, slave=1), c.read_input_registers(18, 1, slave=1),
            c.read_holding_registers(0, 126, slave=1), c.read_coils(0, 1, slave=1))]
        check(codes == [1, 1, 1, 2, 2, 3, 1], "exception codes %s" % codes)
        try:
            other = c.read_input_registers(0, 2, slave=2)
        except Exception as error:  # pymodbus raises or returns its I/O error
            other = error
        check("No response" in str(other), "another unit id got %s" % other)
        c.close()
        status, _, error = mbpoll(port, "-t", "4", "-r", "0", "127.0.0.1", "5")
        check(status != 0 and "Illegal function" in error, "an mbpoll write: %d %r" % (status, error))
        status, _, error = mbpoll(port, "-t", "3", "-r", "17", "-c", "2", "127.0.0.1")
        check(status != 0 and "Illegal data address" in error, "an mbpoll read beyond: %d %r" % (status, error))
        for frame in (struct.pack(">HHHB", 1, 0, 0, 1) + b"\x03\x00\x00\x00\x01", os.urandom(300),
                      struct.pack(">HHHBB", 1, 0, 6, 1, 3), bytes(range(256)) * 4):
            with socket.create_connection(("127.0.0.1", port), timeout=2) as raw:
                raw.sendall(frame)
        count = struct.pack(">HHHBBHH", 9, 0, 6, 1, 3, 0, 0)  # a count of 0
        with socket.create_connection(("127.0.0.1", port), timeout=2) as raw:
            raw.sendall(count)
            check(raw.recv(64)[7:] == b"\x83\x03", "a count of 0 was not refused with exception 3")
        before = len(service.sim.command_times())
        c = client(port)
        check(read_map(c)["hz"] == 250.0, "no reading after the malformed frames")
        c.close()
        wait_until(lambda: len(service.sim.command_times()) >= before + 2, 5.0, "sampling to go on")
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    connects = [line for line in service.journal() if "Modbus: client" in line]
    check(connects == ["<6>Modbus: client 127.0.0.1 connected"], "journal %s" % connects)


def case_allowed(paths):
    """A client outside allowed_clients is disconnected at once; one inside is served."""
    port = free_port()
    service = Service(paths, ["--constant", "250"], modbus_settings(port, "allowed_clients=127.0.0.2/32\n"))
    try:
        wait_until(lambda: port in listening_ports(service.process.pid), 10.0, "the server to listen")
        with socket.create_connection(("127.0.0.1", port), timeout=2) as outsider:
            outsider.sendall(struct.pack(">HHHBBHH", 1, 0, 6, 1, 3, 0, 2))
            try:
                answer = outsider.recv(64)  # b"": closed; a reset: closed with the request unread
            except ConnectionResetError:
                answer = b""
            check(answer == b"", "a client from 127.0.0.1 was answered")
        inside = client(port, source="127.0.0.2")
        check(read_map(inside)["k"] == K, "the allowed client was not served")
        inside.close()
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    check("<6>Modbus: client 127.0.0.1 refused: not in allowed_clients" in service.journal(), "journal %s"
          % service.journal())


def case_off(paths):
    """Without listen nothing listens, and the registers' port stays closed."""
    port = free_port()
    service = Service(paths, ["--constant", "250"], "[modbus]\nlisten=\n")
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
        check(listening_ports(service.process.pid) == set(), "listening on %s" % listening_ports(service.process.pid))
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    check(not [line for line in service.journal() if "Modbus" in line], "journal %s" % service.journal())


def poll(port, seconds, results):
    """One client reading the whole map ten times a second."""
    c = client(port)
    due = time.monotonic()
    end = due + seconds
    while due < end:
        try:
            results.append(read_map(c))
        except Exception as error:
            results.append(error)
        due += 0.1
        time.sleep(max(0.0, due - time.monotonic()))
    c.close()


def consistent(m):
    """The words of one reading: total and meter of a fresh store are the same liters."""
    return close(m["total"], m["ml"] / 1000.0, 0.0051) and close(m["meter"], m["ml"] / 1000.0, 1e-6 * m["meter"] + 1e-3)


def case_gaps(paths):
    """Ten clients polling the map ten times a second for 20 s: every reply
    from one reading, and every gap between read commands within 1.05 s."""
    port = free_port()
    service = Service(paths, ["--vary"], modbus_settings(port, "max_clients=10\n"))
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
        results = [[] for _ in range(10)]
        started = time.monotonic()
        threads = [threading.Thread(target=poll, args=(port, 20.0, r)) for r in results]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(60)
        times = [t for t in service.sim.command_times() if t >= started]
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    failed = [r for rs in results for r in rs if not isinstance(r, dict)]
    check(not failed and all(len(rs) >= 190 for rs in results),
          "%d failed reads (%s); reads per client %s" % (len(failed), failed[:3], [len(rs) for rs in results]))
    mixed = [m for rs in results for m in rs if not consistent(m)]
    check(not mixed, "%d replies not from one reading: %s" % (len(mixed), mixed[:3]))
    check(all([m["seq"] for m in rs] == sorted(m["seq"] for m in rs) for rs in results), "a seq went back")
    gaps = [later - earlier for earlier, later in zip(times, times[1:])]
    check(len(gaps) >= 18 and max(gaps) <= 1.05, "gaps between read commands: %s s"
          % ", ".join("%.3f" % g for g in gaps))
    print("gaps: %d, largest %.3f s; %d reads" % (len(gaps), max(gaps), sum(len(rs) for rs in results)))


def case_window(paths):
    """The window serves what it shows: 250 Hz, 2.17 L/min and the total of
    the readings it has stored."""
    port = free_port()
    config = os.path.join(paths.work, "config", "tavelin")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "tavelin.conf"), "w") as out:
        out.write(modbus_settings(port))
    with Session(paths, sim_args=["--constant", "250"]) as s:
        s.main.click_twips(CWBUTTON1)
        c = client(port)
        shown = wait_until(lambda: (lambda m: m if m["seq"] >= 3 else None)(read_map(c)), 10.0, "three readings")
        c.close()
        check(s.terminate() == 0, "tavelin did not end with status 0")
    liters = shown["seq"] * 250 / K
    check(close(shown["flow"], 2.17, 1e-6) and shown["hz"] == 250.0, "flow and frequency %s" % shown)
    check(close(shown["total"], round(liters, 2), 1e-6) and shown["ml"] == round(liters * 1000), "total %s" % shown)
    check(shown["status"] == 0b1111 and shown["age"] <= 1, "status and age %s" % shown)


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
    print("modbus %s: passed" % known.case)


if __name__ == "__main__":
    main()
