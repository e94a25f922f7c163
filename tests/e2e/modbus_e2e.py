#!/usr/bin/env python3
"""Modbus TCP end to end: tavelind serving its registers on a free loopback
port to the clients Debian packages, mbpoll and pymodbus, one case a row.

    modbus_e2e.py --case NAME --tavelind D --tavelin T --sim S --work W
"""

import os
import signal
import socket
import struct
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor

from harness import check, parse_args, wait_until
from mqtt_e2e import free_port
from service_e2e import Service, run_cases

from pymodbus.client import ModbusTcpClient

K = 6900.0


def start(paths, sim_args, extra=""):
    port = free_port()
    service = Service(paths, sim_args, "[modbus]\nlisten=127.0.0.1:%d\n%s" % (port, extra))
    wait_until(lambda: port in listening_ports(service.process.pid), 10.0, "the server to listen")
    return service, port


def client(port, source=None):
    c = ModbusTcpClient("127.0.0.1", port=port, timeout=1, retries=0, source_address=source and (source, 0))
    check(c.connect(), "pymodbus cannot connect")
    return c


def read_map(c, holding=False):
    reply = (c.read_holding_registers if holding else c.read_input_registers)(0, 18, slave=1)
    check(not reply.isError(), "the map was not read: %s" % reply)
    w = reply.registers
    f = struct.unpack(">4f", struct.pack(">8H", *w[0:8])) + struct.unpack(">f", struct.pack(">2H", *w[16:18]))
    return {"flow": f[0], "hz": f[1], "total": f[2], "meter": f[3], "k": f[4], "status": w[15], "age": w[14],
            "ml": struct.unpack(">Q", struct.pack(">4H", *w[8:12]))[0], "seq": w[12] << 16 | w[13]}


def mbpoll(port, *args, written=()):
    run = subprocess.run(["mbpoll", "-m", "tcp", "-p", str(port), "-a", "1", "-0", "-1", "-o", "1"] + list(args)
                         + ["127.0.0.1"] + list(written), capture_output=True, text=True, timeout=20)
    values = dict(line.split(":") for line in run.stdout.splitlines() if line.startswith("["))
    return run.returncode, {int(a.strip("[]")): float(v.split()[0]) for a, v in values.items()}, run.stderr


def link(path):
    try:
        return os.readlink(path)
    except OSError:  # a file closed meanwhile
        return ""


def listening_ports(pid):
    """The TCP ports the process listens on, from /proc."""
    links = (link("/proc/%d/fd/%s" % (pid, fd)) for fd in os.listdir("/proc/%d/fd" % pid))
    sockets = {name[8:-1] for name in links if name.startswith("socket:[")}
    rows = [row.split() for table in ("/proc/net/tcp", "/proc/net/tcp6") for row in list(open(table))[1:]]
    return {int(row[1].rsplit(":", 1)[1], 16) for row in rows if row[3] == "0A" and row[9] in sockets}


def case_values(paths):
    """Once the module is unplugged: 250 Hz and 2.17 L/min as the display
    shows them, the total and the meter as --show-totals gives them, in both
    tables, to both clients."""
    service, port = start(paths, ["--constant", "250"])
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 3, 10.0, "three read commands")
        service.sim.process.send_signal(signal.SIGUSR1)  # unplugged: no reading from now on
        time.sleep(2.5)
        c = client(port)
        shown, holding = read_map(c), read_map(c, holding=True)
        _, floats, _ = mbpoll(port, "-t", "4:float", "-B", "-r", "0", "-c", "4")
        run = subprocess.run([paths.tavelind, "--config", os.path.join(paths.work, "tavelind.conf"), "--show-totals"],
                             env=dict(os.environ, STATE_DIRECTORY=os.path.join(paths.work, "state")),
                             capture_output=True, text=True, timeout=30)
        totals = dict(line.split("=", 1) for line in run.stdout.splitlines())
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    check(dict(holding, age=0) == dict(shown, age=0), "the tables differ: %s / %s" % (holding, shown))
    meter = float(totals["meter_pulses"]) / K
    expected = {"flow": 2.17, "hz": 250, "total": float(totals["total_liters"]), "meter": meter, "k": K}
    check(all(abs(shown[key] - value) < 1e-5 * value for key, value in expected.items()), "map %s" % shown)
    check(all(abs(floats[2 * i] - expected[key]) < 1e-5 * expected[key] for i, key in
              enumerate(("flow", "hz", "total", "meter"))), "mbpoll %s" % floats)
    check(shown["ml"] == round(meter * 1000) and shown["seq"] == int(totals["readings"]), "mL, seq %s" % shown)
    # Sampling on, the store writing; no port and no valid reply since the unplug.
    check(shown["status"] == 0b1001 and 1 <= shown["age"] <= 4, "status and age %s" % shown)


def case_refusals(paths):
    """Writes get exception 1, reads beyond the map 2, bad counts 3; another
    unit id no answer; malformed frames harm nothing; one connect line."""
    service, port = start(paths, ["--constant", "250"])
    try:
        c = client(port)
        codes = [getattr(reply, "exception_code", None) for reply in (
            c.write_register(0, 5, slave=1), c.write_registers(0, [5, 6], slave=1), c.write_coil(0, True, slave=1),
            c.read_holding_registers(17, 2, slave=1), c.read_holding_registers(0, 126, slave=1),
            c.read_coils(0, 1, slave=1))]
        check(codes == [1, 1, 1, 2, 3, 1], "exception codes %s" % codes)
        try:
            other = c.read_input_registers(0, 2, slave=2)
        except Exception as error:  # pymodbus raises or returns its I/O error
            other = error
        check("No response" in str(other), "another unit id got %s" % other)
        status, _, said = mbpoll(port, "-t", "4", "-r", "0", written=["5"])
        check(status != 0 and "Illegal function" in said, "an mbpoll write: %d %r" % (status, said))
        for frame in (struct.pack(">HHHB", 1, 0, 0, 1) + b"\x03\x00\x00\x00\x01", os.urandom(300),
                      struct.pack(">HHHBB", 1, 0, 6, 1, 3), bytes(range(256)) * 4):
            with socket.create_connection(("127.0.0.1", port), timeout=2) as raw:
                raw.sendall(frame)
        before = len(service.sim.command_times())
        check(read_map(client(port))["hz"] == 250.0, "no reading after the malformed frames")
        wait_until(lambda: len(service.sim.command_times()) >= before + 2, 5.0, "sampling to go on")
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    connects = [line for line in service.journal() if "Modbus: client" in line]
    check(connects == ["<6>Modbus: client 127.0.0.1 connected"], "journal %s" % connects)


def case_allowed(paths):
    """A client outside allowed_clients is disconnected at once; one inside is served."""
    service, port = start(paths, ["--constant", "250"], "allowed_clients=127.0.0.2/32\n")
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as outsider:
            outsider.sendall(struct.pack(">HHHBBHH", 1, 0, 6, 1, 3, 0, 2))
            try:
                answer = outsider.recv(64)  # b"": closed; a reset: closed with the request unread
            except ConnectionResetError:
                answer = b""
        check(answer == b"", "a client from 127.0.0.1 was answered")
        check(read_map(client(port, source="127.0.0.2"))["k"] == K, "the allowed client was not served")
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    check("<6>Modbus: client 127.0.0.1 refused: not in allowed_clients" in service.journal(), "no refusal line")


def case_off(paths):
    """Without listen nothing listens."""
    service = Service(paths, ["--constant", "250"], "[modbus]\nlisten=\n")
    try:
        wait_until(lambda: len(service.sim.command_times()) >= 2, 10.0, "two read commands")
        check(listening_ports(service.process.pid) == set(), "listening on %s" % listening_ports(service.process.pid))
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")


def poll(port):
    """One client reading the whole map ten times a second for 20 s: its replies."""
    c, due, results = client(port), time.monotonic(), []
    for _ in range(200):
        try:
            results.append(read_map(c))
        except Exception as error:
            results.append(error)
        due += 0.1
        time.sleep(max(0.0, due - time.monotonic()))
    return results


def case_gaps(paths):
    """Ten clients polling the map ten times a second for 20 s: every reply
    from one reading, every gap between read commands within 1.05 s."""
    service, port = start(paths, ["--vary"], "max_clients=10\n")
    try:
        started = time.monotonic()
        with ThreadPoolExecutor(10) as clients:
            replies = [r for rs in clients.map(poll, [port] * 10) for r in rs]
        times = [t for t in service.sim.command_times() if t >= started]
    finally:
        check(service.stop() == 0, "tavelind did not end with status 0")
    failed = [r for r in replies if not isinstance(r, dict)]
    check(not failed and len(replies) == 2000, "%d replies, failed: %s" % (len(replies), failed[:3]))
    # In a fresh store the total and the meter are the same liters: both from one reading.
    mixed = [m for m in replies if abs(m["total"] - m["ml"] / 1000) > 0.0051 or abs(m["meter"] - m["ml"] / 1000) > 1e-3]
    check(not mixed, "%d replies not from one reading: %s" % (len(mixed), mixed[:3]))
    gaps = [later - earlier for earlier, later in zip(times, times[1:])]
    check(len(gaps) >= 18 and max(gaps) <= 1.05, "gaps between read commands: %s s" % ["%.3f" % g for g in gaps])


if __name__ == "__main__":
    run_cases({name[len("case_"):]: case for name, case in globals().items() if name.startswith("case_")}, "modbus")
