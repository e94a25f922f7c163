#!/usr/bin/env python3
"""MQTT end to end: the real tavelin, sampling the simulator, publishes to a
real mosquitto that the test starts on free loopback ports (a plain and a TLS
listener, and a TLS listener whose certificate no authority signed, logins
from a password file, persistence saved every second, a CA and the server
certificates made with openssl now), read with mosquitto_sub in
a persistent session at QoS 1. Every row ends with every seq from the first
to the last stored reading (or alarm event) received at least once,
increasing within each connection; every broker started is ended, also on
failure.

    mqtt_e2e.py --case NAME --tavelin T --sim S --work W
"""

import argparse
import getpass
import json
import os
import signal
import socket
import sqlite3
import subprocess
import sys
import time

from harness import CWBUTTON1, HarnessError, Session, check, parse_args, wait_until

USER, PASSWORD = "meter", "s3cret-Pa55"
DEVICE = "bench-1"
STATE_TOPIC = "tavelin/%s/state" % DEVICE
STATUS_TOPIC = "tavelin/%s/status" % DEVICE
ALARM_TOPIC = "tavelin/%s/alarm" % DEVICE
# Home Assistant's documented pairs of device class, state class and unit.
HA_PAIRS = {("frequency", "measurement", "Hz"), ("volume_flow_rate", "measurement", "L/min"),
            ("water", "total", "L"), ("water", "total_increasing", "L")}


def free_ports(count):
    """Ports free on loopback, all different: each socket stays bound until
    every port is chosen, as the kernel hands a port just let go out again."""
    sockets = [socket.socket() for _ in range(count)]
    try:
        for s in sockets:
            s.bind(("127.0.0.1", 0))
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


def free_port():
    return free_ports(1)[0]


def run(argv):
    subprocess.run(argv, check=True, capture_output=True, timeout=30)


def make_ca(folder, name):
    key, crt = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".crt")
    run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", key, "-out", crt, "-days", "2", "-subj", "/CN=%s" % name])
    return key, crt


class Broker:
    """A mosquitto of the test's own: plain and TLS listeners on loopback."""

    def __init__(self, work):
        self.folder = os.path.join(work, "broker")
        os.makedirs(os.path.join(self.folder, "data"), exist_ok=True)
        self.plain, self.tls, self.self_signed = free_ports(3)
        self.ca_key, self.ca = make_ca(self.folder, "test-ca")
        self_signed_key, self_signed_crt = make_ca(self.folder, "self-signed")
        _, self.other_ca = make_ca(self.folder, "other-ca")
        server_key, csr = os.path.join(self.folder, "server.key"), os.path.join(self.folder, "server.csr")
        self.server_crt = os.path.join(self.folder, "server.crt")
        run(["openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", server_key, "-out", csr, "-subj", "/CN=127.0.0.1"])
        ext = os.path.join(self.folder, "san.ext")
        with open(ext, "w") as f:
            f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
        run(["openssl", "x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", self.ca_key, "-CAcreateserial",
             "-out", self.server_crt, "-days", "2", "-extfile", ext])
        passwd = os.path.join(self.folder, "passwd")
        run(["mosquitto_passwd", "-b", "-c", passwd, USER, PASSWORD])
        self.conf = os.path.join(self.folder, "mosquitto.conf")
        with open(self.conf, "w") as f:
            f.write("\n".join([
                "per_listener_settings false", "allow_anonymous false", "password_file " + passwd,
                "persistence true", "persistence_location " + os.path.join(self.folder, "data") + "/",
                "autosave_interval 1", "user " + getpass.getuser(),
                "log_dest file " + os.path.join(self.folder, "mosquitto.log"),
                "listener %d 127.0.0.1" % self.plain,
                "listener %d 127.0.0.1" % self.tls, "cafile " + self.ca, "certfile " + self.server_crt,
                "keyfile " + server_key,
                "listener %d 127.0.0.1" % self.self_signed, "cafile " + self.ca, "certfile " + self_signed_crt,
                "keyfile " + self_signed_key, ""]))
        self.process = None
        self.starts = 0

    def start(self):
        # In the test's own process group: a test killed on its time-out takes it along.
        self.process = subprocess.Popen(["mosquitto", "-c", self.conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.starts += 1

        def listening():
            if self.process.poll() is not None:
                raise HarnessError("mosquitto ended (status %s)" % self.process.returncode)
            try:
                socket.create_connection(("127.0.0.1", self.tls), timeout=0.5).close()
                return True
            except OSError:
                return False
        wait_until(listening, 10.0, "mosquitto to listen")

    def signal(self, sig):
        self.process.send_signal(sig)
        if sig in (signal.SIGKILL, signal.SIGTERM):
            self.process.wait(timeout=10)

    def end(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGCONT)
            self.process.kill()
            self.process.wait(timeout=10)


class Subscriber:
    """mosquitto_sub in a persistent session; reconnects by itself."""

    def __init__(self, broker, work, topic, name="sub"):
        self.path = os.path.join(work, name + ".txt")
        with open(self.path, "wb") as out:
            self.process = subprocess.Popen(
                ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P", PASSWORD,
                 "-c", "-i", "tavelin-test-" + name, "-q", "1", "-t", topic], stdout=out,
                stderr=subprocess.DEVNULL)

    def seqs(self):
        with open(self.path) as f:
            return [json.loads(line)["seq"] for line in f if line.strip().startswith("{")]

    def payloads(self):
        with open(self.path) as f:
            return [json.loads(line) for line in f if line.strip().startswith("{")]

    def end(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)


def retained(broker, topic, count):
    """What the broker keeps on topic: (topic, payload) of its retained messages."""
    out = subprocess.run(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P", PASSWORD,
                          "-t", topic, "-v", "--retained-only", "-C", str(count), "-W", "5"],
                         capture_output=True, timeout=15).stdout.decode()
    return [tuple(line.split(" ", 1)) for line in out.splitlines() if " " in line]


def write_config(work, broker, tls=True, ca=None, password_file=None, sections="", url=None):
    folder = os.path.join(work, "config", "tavelin")
    os.makedirs(folder, exist_ok=True)
    url = url or ("mqtts://127.0.0.1:%d" % broker.tls if tls else "mqtt://127.0.0.1:%d" % broker.plain)
    with open(os.path.join(folder, "tavelin.conf"), "w") as f:
        f.write("[mqtt]\nurl=%s\ndevice_id=%s\nusername=%s\npassword_file=%s\nca_file=%s\n"
                % (url, DEVICE, USER, password_file, ca or broker.ca) + sections)


def write_password(work, password, mode=0o600):
    path = os.path.join(work, "password")
    with open(path, "w") as f:
        f.write(password + "\n")
    os.chmod(path, mode)
    return path


def status_lines(s):
    with open(os.path.join(s.work, "tavelin.log"), errors="replace") as log:
        return [line.strip() for line in log if line.startswith("tavelin: MQTT:")]


def status_count(s, text):
    return sum(1 for line in status_lines(s) if text in line)


def wait_status(s, text, timeout=30.0, more_than=0):
    return wait_until(lambda: status_count(s, text) > more_than, timeout, "the status %r" % text)


def newest_stored(s):
    path = os.path.join(s.state_dir, "tavelin", "readings.db")
    with sqlite3.connect("file:%s?mode=ro" % path, uri=True) as db:
        return db.execute("SELECT MAX(seq) FROM readings").fetchone()[0] or 0


def stored_alarm_events(s):
    """The store's alarm events, each as the message the program publishes for it."""
    path = os.path.join(s.state_dir, "tavelin", "readings.db")
    with sqlite3.connect("file:%s?mode=ro" % path, uri=True) as db:
        store_id = db.execute("SELECT value FROM store_info WHERE key = 'store_id'").fetchone()[0]
        rows = db.execute("SELECT seq, utc_ms, alarm, event, value, threshold FROM alarm_events ORDER BY seq")
        return [{"seq": seq, "ts": time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(ms // 1000)) + ".%03dZ" % (ms % 1000),
                 "alarm": alarm, "event": event, "value": value, "threshold": threshold, "store_id": store_id}
                for seq, ms, alarm, event, value, threshold in rows]


def stop_and_check_delivery(s, sub, broker, timeout=60.0):
    """Stops sampling, then every stored seq must arrive, in increasing runs:
    one run per connection of the program, and one per broker start (its
    saved queue for the subscriber)."""
    s.main.click_twips(CWBUTTON1)  # Stop
    time.sleep(1.5)
    last = newest_stored(s)
    check(last > 0, "nothing was stored")
    wait_until(lambda: set(range(1, last + 1)) <= set(sub.seqs()), timeout,
               "every seq up to %d at the subscriber" % last)
    seqs = sub.seqs()
    runs = 1 + sum(1 for a, b in zip(seqs, seqs[1:]) if b <= a)
    connections = status_count(s, "MQTT: connected to")
    check(runs <= connections + broker.starts,
          "%d increasing runs for %d connections and %d broker starts" % (runs, connections, broker.starts))
    print("seq 1..%d delivered: %d messages in %d runs, %d connections, %d broker starts"
          % (last, len(seqs), runs, connections, broker.starts))
    return seqs, connections


def start_sampling(s):
    s.main.click_twips(CWBUTTON1)


# --- rows ----------------------------------------------------------------------

def case_consecutive(paths, broker):
    write_config(paths.work, broker, tls=False, password_file=write_password(paths.work, PASSWORD))
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--constant", "250"]) as s:
            wait_status(s, "MQTT: connected to 127.0.0.1:%d" % broker.plain)
            check(retained(broker, STATUS_TOPIC, 1) == [(STATUS_TOPIC, "online")], "status is not online")
            start_sampling(s)
            time.sleep(8)
            seqs, _ = stop_and_check_delivery(s, sub, broker)
            check(seqs == list(range(1, len(seqs) + 1)), "seq not consecutive: %s" % seqs)
            state = sub.payloads()[-1]
            check(sorted(state) == ["flow_l_min", "frequency_hz", "meter_l", "seq", "store_id", "total_l", "ts"], state)
            check(len({p["store_id"] for p in sub.payloads()}) == 1 and len(state["store_id"]) == 36, state)
            check(state["frequency_hz"] == 250 and state["flow_l_min"] == 2.17, state)
            check(state["ts"].endswith("Z") and len(state["ts"]) == 24, state)
            check(s.terminate() == 0, "tavelin did not end cleanly")
        check(retained(broker, STATUS_TOPIC, 1) == [(STATUS_TOPIC, "offline")], "no offline at the clean end")
    finally:
        sub.end()


def case_discovery(paths, broker):
    write_config(paths.work, broker, password_file=write_password(paths.work, PASSWORD))
    with Session(paths, sim_args=["--constant", "250"]) as s:
        wait_status(s, "over TLS")
        configs = retained(broker, "homeassistant/sensor/%s/+/config" % DEVICE, 4)
        check(len(configs) == 4, "retained discovery configs: %s" % configs)
        for topic, payload in configs:
            config = json.loads(payload)
            pair = (config["device_class"], config["state_class"], config["unit_of_measurement"])
            check(pair in HA_PAIRS, "%s: %s is not one of Home Assistant's pairs" % (topic, pair))
            check(config["state_topic"] == STATE_TOPIC and config["availability_topic"] == STATUS_TOPIC, config)
            check(config["unique_id"].startswith(DEVICE + "_") and config["device"]["identifiers"] == [DEVICE],
                  config)
        # Home Assistant coming online asks for them again; junk there is ignored.
        fresh = subprocess.Popen(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P",
                                  PASSWORD, "-t", "homeassistant/sensor/#", "-R", "-C", "4", "-W", "10"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        time.sleep(1)
        for message in ("x" * 100000, "\xff\xfe", "offline", "online"):
            run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P", PASSWORD,
                 "-t", "homeassistant/status", "-m", message])
        again = fresh.communicate(timeout=15)[0].decode().splitlines()
        check(len(again) == 4, "discovery not published again on online: %s" % again)
        check(s.app.poll() is None, "tavelin ended")
        check(s.terminate() == 0, "tavelin did not end cleanly")


def case_broker_killed(paths, broker):
    write_config(paths.work, broker, password_file=write_password(paths.work, PASSWORD))
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--vary"]) as s:
            wait_status(s, "over TLS")
            start_sampling(s)
            for _ in range(2):
                time.sleep(6)
                lost = status_count(s, "lost")
                broker.signal(signal.SIGKILL)
                wait_status(s, "lost", 30, more_than=lost)
                time.sleep(4)
                broker.start()
            time.sleep(6)
            _, connections = stop_and_check_delivery(s, sub, broker)
            check(connections == 3, "%d connections for two broker restarts" % connections)
    finally:
        sub.end()


def case_broker_stopped(paths, broker):
    write_config(paths.work, broker, password_file=write_password(paths.work, PASSWORD))
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--vary"]) as s:
            wait_status(s, "over TLS")
            start_sampling(s)
            time.sleep(4)
            broker.signal(signal.SIGSTOP)
            wait_status(s, "the broker stopped answering", 35)
            time.sleep(paths.stop_seconds - 20)
            broker.signal(signal.SIGCONT)
            stop_and_check_delivery(s, sub, broker, timeout=90)
    finally:
        sub.end()


def case_program_restarted(paths, broker):
    write_config(paths.work, broker, password_file=write_password(paths.work, PASSWORD))
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--vary"]) as s:
            wait_status(s, "over TLS")
            start_sampling(s)
            time.sleep(4)
            broker.signal(signal.SIGTERM)
            time.sleep(4)
            check(s.terminate() == 0, "tavelin did not end cleanly")
        with Session(paths, sim_args=["--vary"], keep_state=True) as s:
            start_sampling(s)
            time.sleep(4)
            broker.start()
            wait_status(s, "over TLS")
            time.sleep(3)
            stop_and_check_delivery(s, sub, broker)
    finally:
        sub.end()


def case_wrong_password(paths, broker):
    password_file = write_password(paths.work, PASSWORD, mode=0o644)
    write_config(paths.work, broker, password_file=password_file)
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--constant", "250"]) as s:
            start_sampling(s)
            wait_status(s, "chmod 600 %s" % password_file)
            write_password(paths.work, "wrong-" + PASSWORD)
            wait_status(s, "refused the login")
            time.sleep(3)
            write_password(paths.work, PASSWORD)
            wait_status(s, "over TLS", 40)
            stop_and_check_delivery(s, sub, broker)
            with open(os.path.join(s.work, "tavelin.log"), errors="replace") as log:
                check(PASSWORD not in log.read(), "the password is in the program's output")
    finally:
        sub.end()


def case_wrong_ca(paths, broker):
    ca_file = os.path.join(paths.work, "ca.crt")
    with open(broker.other_ca) as other, open(ca_file, "w") as f:
        f.write(other.read())
    write_config(paths.work, broker, ca=ca_file, password_file=write_password(paths.work, PASSWORD))
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--constant", "250"]) as s:
            start_sampling(s)
            wait_status(s, "TLS failure with 127.0.0.1:%d (certificate verify failed)" % broker.tls)
            time.sleep(3)
            with open(broker.ca) as right, open(ca_file, "w") as f:
                f.write(right.read())
            wait_status(s, "over TLS", 40)
            stop_and_check_delivery(s, sub, broker)
    finally:
        sub.end()


def case_self_signed(paths, broker):
    """A broker whose certificate no authority signed: refused as such, taken
    with insecure_skip_verify, which the status line says."""
    url = "mqtts://127.0.0.1:%d" % broker.self_signed
    password_file = write_password(paths.work, PASSWORD)
    write_config(paths.work, broker, password_file=password_file, url=url)
    sub = Subscriber(broker, paths.work, STATE_TOPIC)
    try:
        with Session(paths, sim_args=["--constant", "250"]) as s:
            wait_status(s, "TLS failure with 127.0.0.1:%d (certificate verify failed)" % broker.self_signed)
            check(status_count(s, "MQTT: connected to") == 0, "connected to a broker no authority vouches for")
            check(s.terminate() == 0, "tavelin did not end cleanly")
        write_config(paths.work, broker, password_file=password_file, url=url,
                     sections="insecure_skip_verify=true\n")
        with Session(paths, sim_args=["--constant", "250"], keep_state=True) as s:
            wait_status(s, "MQTT: connected to 127.0.0.1:%d over TLS WITHOUT checking the broker's certificate "
                           "or host name" % broker.self_signed)
            start_sampling(s)
            time.sleep(4)
            stop_and_check_delivery(s, sub, broker)
            check(s.terminate() == 0, "tavelin did not end cleanly")
    finally:
        sub.end()


def case_alarm_events(paths, broker):
    write_config(paths.work, broker, tls=False, password_file=write_password(paths.work, PASSWORD),
                 sections="[alarms]\nhigh_flow_l_min=1\nflow_delay_s=0.5\nlatching=false\n")
    sensors = "homeassistant/binary_sensor/%s/+/config" % DEVICE
    # A config left by a run whose low flow rule was on: this run removes it.
    run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(broker.plain), "-u", USER, "-P", PASSWORD, "-r",
         "-t", sensors.replace("+", "low_flow"), "-m", "{}"])
    sub = Subscriber(broker, paths.work, ALARM_TOPIC, name="alarms")
    try:
        # 2.17 L/min twice, then 0.6 twice: raised and cleared every 4 s.
        with Session(paths, sim_args=["--list", "250,250,69,69"]) as s:
            wait_status(s, "MQTT: connected to 127.0.0.1:%d" % broker.plain)
            configs = retained(broker, sensors, 2)
            check([topic for topic, _ in configs] == [sensors.replace("+", "high_flow")],
                  "binary sensors for the rules on only: %s" % configs)
            config = json.loads(configs[0][1])
            check((config["device_class"], config["state_topic"], config["availability_topic"],
                   config["payload_on"], config["payload_off"]) == ("problem", ALARM_TOPIC, STATUS_TOPIC, "ON", "OFF"),
                  config)
            start_sampling(s)
            raised = wait_until(lambda: [m for m in sub.payloads() if m["event"] == "raised"], 15, "a raise")[0]
            check(raised in stored_alarm_events(s) and raised["alarm"] == "high_flow",
                  "%s is not the store's event" % raised)
            time.sleep(3)
            before = len(stored_alarm_events(s))
            lost, connections = status_count(s, "lost"), status_count(s, "MQTT: connected to")
            broker.signal(signal.SIGKILL)
            wait_status(s, "lost", 30, more_than=lost)
            time.sleep(6)
            check(len(stored_alarm_events(s)) > before, "no alarm event while the broker was away")
            broker.start()
            wait_status(s, "MQTT: connected to", 30, more_than=connections)
            time.sleep(3)
            s.main.click_twips(CWBUTTON1)  # Stop
            time.sleep(1.5)
            events = stored_alarm_events(s)
            wait_until(lambda: {e["seq"] for e in events} <= {m["seq"] for m in sub.payloads()}, 30,
                       "every alarm event up to %d at the subscriber" % len(events))
            received = sub.payloads()
            check(all(m in events for m in received), "a message is not its store row")
            seqs = [m["seq"] for m in received]
            runs = 1 + sum(1 for a, b in zip(seqs, seqs[1:]) if b <= a)
            check(runs <= status_count(s, "MQTT: connected to") + broker.starts, "out of order: %s" % seqs)
            print("alarm events 1..%d delivered: %s" % (len(events), seqs))
            check(s.terminate() == 0, "tavelin did not end cleanly")
    finally:
        sub.end()


CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("ended by SIGTERM"))  # the brokers are ended on the way out
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--stop-seconds", type=int, default=60)
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    paths.stop_seconds = known.stop_seconds
    for name in ("broker", "config", "state"):
        subprocess.run(["rm", "-rf", os.path.join(paths.work, name)], check=True)
    broker = Broker(paths.work)
    try:
        broker.start()
        CASES[known.case](paths, broker)
    finally:
        broker.end()
    print("mqtt %s: passed" % known.case)


if __name__ == "__main__":
    main()
