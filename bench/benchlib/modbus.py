"""Modbus TCP clients for the benchmark, and its Modbus scenarios.

The clients are plain sockets on one thread with a selector, so the figures
are the server's and the loopback's, not a client library's: each client
sends "read 18 input registers" at its own fixed rate (the clients' phases
spread over the period) and times the request from just before its send to
the whole response read (time.perf_counter)."""

import os
import selectors
import socket
import struct
import threading
import time

from . import procinfo, programs, scenarios, stats

READ_MAP = 18


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _connect(port, timeout=30.0):
    """A client socket, once the server listens."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=2)
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


def _request(transaction):
    return struct.pack(">HHHBBHH", transaction & 0xFFFF, 0, 6, 1, 4, 0, READ_MAP)


RESPONSE_BYTES = 9 + 2 * READ_MAP


def poll(port, clients, rate_hz, stop):
    """Polls until stop is set or the server has closed every client; returns
    (latencies in ms, failed requests, clients the server closed)."""
    period = 1.0 / rate_hz
    selector = selectors.DefaultSelector()
    state = []
    start = time.monotonic() + 0.05
    for i in range(clients):
        s = _connect(port)
        s.setblocking(False)
        entry = {"socket": s, "due": start + period * i / clients, "sent": None, "got": b"", "n": 0}
        selector.register(s, selectors.EVENT_READ, entry)
        state.append(entry)
    latencies, failed, closed = [], 0, 0
    while not stop.is_set() and closed < clients:
        now = time.monotonic()
        for entry in (e for e in state if not e.get("closed")):
            if entry["sent"] is None and now >= entry["due"]:
                entry["n"] += 1
                entry["sent"] = time.perf_counter()
                entry["socket"].send(_request(entry["n"]))
                entry["due"] += period
            elif entry["sent"] is not None and time.perf_counter() - entry["sent"] > 2.0:
                failed += 1
                entry["sent"], entry["got"] = None, b""
        wait = max(0.0, min(e["due"] for e in state) - time.monotonic())
        for key, _ in selector.select(timeout=min(wait, 0.01)):
            entry = key.data
            chunk = entry["socket"].recv(4096)
            if not chunk:
                selector.unregister(entry["socket"])
                entry["closed"] = True
                closed += 1
                continue
            entry["got"] += chunk
            if len(entry["got"]) >= RESPONSE_BYTES and entry["sent"] is not None:
                latencies.append((time.perf_counter() - entry["sent"]) * 1000.0)
                failed += entry["got"][7] != 4  # an exception response
                entry["sent"], entry["got"] = None, b""
    for entry in state:
        entry["socket"].close()
    return latencies, failed, closed


class Poller:
    """poll() on a thread of its own, for as long as something else runs."""

    def __init__(self, port, clients=10, rate_hz=10.0):
        self.stop = threading.Event()
        self.result = None
        self.thread = threading.Thread(target=self._run, args=(port, clients, rate_hz))
        self.thread.start()

    def _run(self, *args):
        self.result = poll(*args, self.stop)

    def end(self):
        self.stop.set()
        self.thread.join(30)
        if self.result is None:
            raise RuntimeError("the Modbus clients did not finish")
        latencies, failed, closed = self.result
        return {"requests": len(latencies), "failed": failed, "closed": closed,
                "p50": stats.percentile(latencies, 0.50),
                "p99": stats.percentile(latencies, 0.99), "max": max(latencies)}


def _hold_clients(port, count):
    """count connected clients, each having read the map once."""
    held = []
    for i in range(count):
        s = _connect(port)
        s.sendall(_request(i))
        got = b""
        while len(got) < RESPONSE_BYTES:
            got += s.recv(4096)
        held.append(s)
    return held


def service_latency(binary, sim_binary, work_dir, seconds, held_clients=100):
    """tavelind sampling and serving: RSS with no client and with held_clients
    connected, then ten clients polling the map ten times a second."""
    port = _free_port()
    config = os.path.join(work_dir, "service-modbus.conf")
    settings = "[modbus]\nlisten=127.0.0.1:%d\nmax_clients=%d\n" % (port, held_clients + 10)
    with programs.running_service(binary, sim_binary, config, settings,
                                  os.path.join(work_dir, "service-modbus")) as process:
        _connect(port).close()
        time.sleep(3.0)
        alone = procinfo.memory_kib(process.pid)["Rss"]
        held = _hold_clients(port, held_clients)
        time.sleep(1.0)
        with_clients = procinfo.memory_kib(process.pid)["Rss"]
        for s in held:
            s.close()
        poller = Poller(port)
        time.sleep(seconds)
        figures = poller.end()
    figures.update(rss_alone_kib=alone, rss_with_clients_kib=with_clients, held_clients=held_clients,
                   kib_per_client=(with_clients - alone) / held_clients)
    return figures


def cycle_latency(harness, sim_binary, cycles, out_path):
    """The window's cycle while ten clients poll its registers ten times a second."""
    port = _free_port()
    poller = None
    result = {}

    def run():
        result["latency"] = scenarios.cycle_latency(harness, sim_binary, cycles, out_path,
                                                    modbus_listen="127.0.0.1:%d" % port)
    harness_thread = threading.Thread(target=run)
    harness_thread.start()
    try:
        poller = Poller(port)
        harness_thread.join()
    finally:
        clients = poller.end() if poller else None
        harness_thread.join()
    if "latency" not in result:
        raise RuntimeError("cycle-latency with Modbus clients failed")
    result["latency"]["clients"] = clients
    return result["latency"]
