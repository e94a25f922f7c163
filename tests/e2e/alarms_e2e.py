#!/usr/bin/python3
"""Alarms end to end, one row per --case: the real tavelin on the simulated
module, on a private D-Bus session bus with a test notification service (this
script again, with --serve-notifications). Each rule is raised after its
delay and not before, clears beyond its deadband, and with latching stays
until acknowledged (from the notification, Ctrl+K or the context menu); the
notification's summary, body, urgency and action, the journal's lines, the
store's rows, the title and the red digits are checked. Without a
notification service the program goes on and says so once.
Runs with Debian's python3, the one python3-dbus serves."""

import argparse
import calendar
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

from fault_rig import boxes, box_text, dismiss, move_aside, terminate, wait_box
from harness import CWBUTTON3, CWBUTTON1, READOUTS, Session, check, parse_args, wait_until

NOTIFICATIONS = "org.freedesktop.Notifications"
NOTIFICATIONS_PATH = "/org/freedesktop/Notifications"
TEST_INTERFACE = "io.github.tavelin.TestNotifications"
RED = (255, 0, 0)
FLOW = ["lblLitersPerMin"]

# Each case: the [alarms] section, the simulator's arguments, and whether a
# notification service is on the bus.
CASES = {
    "high_flow": ("high_flow_l_min=2\nflow_delay_s=2\ndeadband_percent=5\nlatching=true\n",
                  ["--list", ",".join(["250"] * 4 + ["225"] * 2 + ["200"] * 40)], True),
    "low_flow": ("low_flow_l_min=1\nflow_delay_s=2\ndeadband_percent=10\nlatching=false\n",
                 ["--list", ",".join(["69"] * 4 + ["125"] * 2 + ["150"] * 40)], True),
    "no_reading": ("no_reading_s=3\nlatching=true\n",
                   ["--constant", "250", "--fault", "silence", "--fault-for", "6"], True),
    "leak": ("leak_flow_l_min=1\nleak_minutes=0.1\nlatching=false\n",
             ["--list", ",".join(["250"] * 9 + ["69"] * 40)], True),
    "batch": ("batch_liters=0.1\nlatching=true\n", ["--constant", "250"], True),
    "no_service": ("high_flow_l_min=2\nflow_delay_s=0\nlatching=false\n", ["--list", "250,69"], False),
}

BUS_CONFIG = """<busconfig>
  <type>session</type>
  <listen>unix:dir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
"""


# --- the test notification service --------------------------------------------

def serve_notifications(log_path):
    """Owns org.freedesktop.Notifications and writes each call as a JSON line;
    InvokeAction on the test interface plays the operator choosing an action."""
    import dbus
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    log = open(log_path, "a", buffering=1)

    class Service(dbus.service.Object):
        last_id = 0

        @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u")
        def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
            if not replaces:
                Service.last_id += 1
            nid = int(replaces) or Service.last_id
            urgency = hints.get("urgency")
            log.write(json.dumps({"call": "Notify", "id": nid, "app": str(app), "summary": str(summary),
                                  "body": str(body), "actions": [str(a) for a in actions],
                                  "urgency": [type(urgency).__name__, int(urgency) if urgency is not None else None],
                                  "timeout": int(timeout)}) + "\n")
            return nid

        @dbus.service.method(NOTIFICATIONS, in_signature="u")
        def CloseNotification(self, nid):
            log.write(json.dumps({"call": "CloseNotification", "id": int(nid)}) + "\n")
            self.NotificationClosed(nid, 3)

        @dbus.service.signal(NOTIFICATIONS, signature="us")
        def ActionInvoked(self, nid, key):
            pass

        @dbus.service.signal(NOTIFICATIONS, signature="uu")
        def NotificationClosed(self, nid, reason):
            pass

        @dbus.service.method(TEST_INTERFACE, in_signature="us")
        def InvokeAction(self, nid, key):
            self.ActionInvoked(nid, key)

    bus = dbus.SessionBus()
    name = dbus.service.BusName(NOTIFICATIONS, bus)
    Service(name, NOTIFICATIONS_PATH)
    log.write(json.dumps({"call": "ready"}) + "\n")
    GLib.MainLoop().run()


class Bus:
    """A private session bus, and on it (unless without_service) the test
    notification service; both end with the test."""

    def __init__(self, work, with_service):
        self.folder = tempfile.mkdtemp(prefix="tavelin-bus-")
        config = os.path.join(self.folder, "bus.conf")
        with open(config, "w") as out:
            out.write(BUS_CONFIG % self.folder)
        self.daemon = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork", "--print-address"],
                                       stdout=subprocess.PIPE, text=True)
        self.service = None
        self.log = os.path.join(work, "notifications.jsonl")
        open(self.log, "w").close()
        try:
            self.address = self.daemon.stdout.readline().strip()
            check(self.address.startswith("unix:"), "the bus gave no address")
            if with_service:
                self.service = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--serve-notifications",
                                                 self.log], env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address))
                wait_until(lambda: self.calls("ready"), 10.0, "the notification service")
        except BaseException:
            self.close()
            raise

    def calls(self, name):
        with open(self.log) as log:
            return [call for call in map(json.loads, log) if call["call"] == name]

    def invoke_action(self, nid, key):
        import dbus
        bus = dbus.bus.BusConnection(self.address)
        service = bus.get_object(NOTIFICATIONS, NOTIFICATIONS_PATH)
        service.InvokeAction(dbus.UInt32(nid), key, dbus_interface=TEST_INTERFACE)
        bus.close()

    def close(self):
        for process in (self.service, self.daemon):
            if process and process.poll() is None:
                process.terminate()
                process.wait(timeout=5)
        shutil.rmtree(self.folder, ignore_errors=True)


# --- what the program shows and writes ------------------------------------------

def journal(s):
    """The journal's lines as (utc ms, alarm, event, value, threshold)."""
    path = os.path.join(s.state_dir, "tavelin", "alarms.csv")
    if not os.path.exists(path):
        return []
    rows = []
    with open(path) as lines:
        for line in lines:
            stamp, alarm, event, value, threshold = line.rstrip("\n").split(",")
            check(len(stamp) == 24 and stamp.endswith("Z"), "not UTC with milliseconds: %r" % stamp)
            seconds = calendar.timegm(time.strptime(stamp[:19], "%Y-%m-%dT%H:%M:%S"))
            rows.append((seconds * 1000 + int(stamp[20:23]), alarm, event, float(value), float(threshold)))
    return rows


def wait_event(s, event, timeout=12.0):
    return wait_until(lambda: next((r for r in journal(s) if r[2] == event), None), timeout, "a %s line" % event)


def store(s, query):
    db = sqlite3.connect("file:%s?mode=ro" % os.path.join(s.state_dir, "tavelin", "readings.db"), uri=True)
    try:
        return db.execute(query).fetchall()
    finally:
        db.close()


def check_raised_after_delay(s, raised, holds, delay_ms):
    """The raise came with the first reading at which the condition had held
    for the delay: not before, and not a reading later."""
    readings = store(s, "SELECT utc_ms, liters_per_min FROM readings WHERE utc_ms <= %d ORDER BY seq" % raised[0])
    first = raised[0]
    for utc, flow in reversed(readings):
        if not holds(flow):
            break
        first = utc
    held = raised[0] - first
    # The rules count on the monotonic clock, the times here are the wall
    # clock's whole milliseconds: 2 ms either way, far below a reading's 1 s.
    check(delay_ms - 2 <= held < delay_ms + 1500, "raised after %d ms of the condition, the delay is %d ms" %
          (held, delay_ms))
    return held


def title(s):
    return s.xdotool("getwindowname", s.main.wid).strip()


def red_readouts(s):
    shot = s.grab()
    left, top, _, _ = s.main.geometry()
    red = []
    for name, (frame, rect) in READOUTS.items():
        x, y, width, height = s.main.rect_pixels(rect, origin=frame)
        if RED in shot.region(left + x, top + y, width, height):
            red.append(name)
    return sorted(red)


def check_shown(s, name, readouts):
    wait_until(lambda: title(s).startswith("ALARM: %s - Veltrane " % name), 5.0, "the title naming %s" % name)
    wait_until(lambda: red_readouts(s) == sorted(readouts), 5.0, "red digits on %s" % readouts)


def check_gone(s):
    wait_until(lambda: title(s).startswith("Veltrane "), 5.0, "the title without the alarm")
    wait_until(lambda: red_readouts(s) == [], 5.0, "no red digits")


def check_notification(bus, summary, body):
    notified = wait_until(lambda: bus.calls("Notify"), 5.0, "a notification")[-1]
    check(notified["summary"] == summary and notified["body"] == body,
          "notified %r / %r" % (notified["summary"], notified["body"]))
    check(notified["urgency"] == ["Byte", 2], "urgency %s, not a byte 2" % notified["urgency"])
    check(notified["actions"] == ["acknowledge", "Acknowledge"] and notified["app"] == "tavelin",
          "actions %s from %r" % (notified["actions"], notified["app"]))
    return notified["id"]


def check_store_matches_journal(s):
    rows = store(s, "SELECT seq, utc_ms, alarm, event, value, threshold FROM alarm_events ORDER BY seq")
    lines = journal(s)
    check([r[0] for r in rows] == list(range(1, len(lines) + 1)), "store seqs %s" % [r[0] for r in rows])
    check([tuple(r[1:]) for r in rows] == lines, "the store's rows %s are not the journal's %s" % (rows, lines))


# --- the rows ---------------------------------------------------------------------

def flow_case(s, bus, name, alarm, holds, delay_ms, body, clears_at, deadband_flow, latching):
    """A flow rule: raised after its delay, not cleared by the two readings
    inside its deadband (deadband_flow; none for the leak, which has none),
    cleared at clears_at; latched until the notification's Acknowledge."""
    s.main.click_twips(CWBUTTON1)  # Start
    raised = wait_event(s, "raised")
    check_raised_after_delay(s, raised, holds, delay_ms)
    nid = check_notification(bus, name, body)
    check_shown(s, name, FLOW)
    cleared = wait_event(s, "cleared")
    check(cleared[3] == clears_at, "cleared at %s L/min, not %s" % (cleared[3], clears_at))
    if deadband_flow is not None:
        inside = store(s, "SELECT COUNT(*) FROM readings WHERE utc_ms > %d AND utc_ms < %d AND liters_per_min = %s"
                       % (raised[0], cleared[0], deadband_flow))[0][0]
        check(inside == 2, "%d readings of %s L/min inside the deadband before it cleared" % (inside, deadband_flow))
    if latching:
        time.sleep(1.5)
        check_shown(s, name, FLOW)  # until acknowledged
        bus.invoke_action(nid, "acknowledge")
        wait_event(s, "acknowledged")
    check_gone(s)
    wait_until(lambda: [c for c in bus.calls("CloseNotification") if c["id"] == nid], 5.0, "the notification closed")
    check([r[2] for r in journal(s)] == ["raised", "cleared"] + (["acknowledged"] if latching else []),
          "journal %s" % journal(s))
    check(all(r[1] == alarm for r in journal(s)), "journal %s" % journal(s))


def no_reading_case(s, bus):
    started = time.time() * 1000
    s.main.click_twips(CWBUTTON1)
    move_aside(s, wait_box(s))  # NO VALID RETURN, which holds the sampling timer
    raised = wait_event(s, "raised", timeout=8.0)
    check(boxes(s), "the box closed by itself")
    check(3000 <= raised[0] - started < 4500 and raised[3] >= 3, "raised %d ms after Start, at %s s" %
          (raised[0] - started, raised[3]))
    check_shown(s, "No reading", READOUTS)
    nid = check_notification(bus, "No reading", "No reading for %s s, allowed 3 s" % ("%g" % raised[3]))

    def cleared():
        for wid in boxes(s):
            dismiss(s, wid)
        return next((r for r in journal(s) if r[2] == "cleared"), None)
    wait_until(cleared, 15.0, "a reading to clear it")
    check_shown(s, "No reading", READOUTS)
    s.xdotool("windowfocus", "--sync", s.main.wid)
    s.key("ctrl+k")
    wait_event(s, "acknowledged")
    check_gone(s)
    wait_until(lambda: [c for c in bus.calls("CloseNotification") if c["id"] == nid], 5.0, "the notification closed")


def batch_case(s, bus):
    s.main.click_twips(CWBUTTON1)
    raised = wait_event(s, "raised", timeout=8.0)
    check(raised[1:] == ("batch", "raised", 0.11, 0.1), "raised %s" % (raised,))
    check_notification(bus, "Batch complete", "Total 0.11 L, batch 0.1 L")
    check_shown(s, "Batch complete", ["liters"])
    s.main.click_twips(CWBUTTON3)  # Reset
    cleared = wait_event(s, "cleared")
    check(cleared[3] == 0, "cleared at %s" % cleared[3])
    time.sleep(1.5)
    check_shown(s, "Batch complete", ["liters"])  # latched
    s.xdotool("mousemove", "--window", s.main.wid, "130", "100", "click", "3")  # the panel between readouts and gauges
    time.sleep(0.5)
    s.key("k")  # Ac&knowledge alarms
    wait_event(s, "acknowledged")
    check_gone(s)


def no_service_case(s):
    s.main.click_twips(CWBUTTON1)
    wid = wait_box(s)
    text = box_text(s, wid)
    check(text.startswith("Alarms cannot be shown as desktop notifications: ") and
          text.endswith("They show on the panel and go to the alarm journal."), "the box says %r" % text)
    dismiss(s, wid)
    raises = len([r for r in journal(s) if r[2] == "raised"])
    wait_until(lambda: len([r for r in journal(s) if r[2] == "raised"]) >= raises + 2, 10.0, "two more raises")
    check(not boxes(s), "a second box about the notifications")
    check(title(s).startswith(("ALARM: High flow - Veltrane ", "Veltrane ")), "title %r" % title(s))


def main():
    pre = argparse.ArgumentParser(add_help=False)
    pre.add_argument("--serve-notifications")
    pre.add_argument("--case", choices=sorted(CASES))
    known, rest = pre.parse_known_args()
    if known.serve_notifications:
        return serve_notifications(known.serve_notifications)
    sys.argv = sys.argv[:1] + rest
    paths = parse_args(__doc__)
    section, sim_args, with_service = CASES[known.case]
    config = os.path.join(paths.work, "config", "tavelin")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "tavelin.conf"), "w") as out:
        out.write("[alarms]\n" + section)

    bus = Bus(paths.work, with_service)
    try:
        with Session(paths, sim_args=sim_args, app_env={"DBUS_SESSION_BUS_ADDRESS": bus.address}) as s:
            if known.case == "high_flow":
                flow_case(s, bus, "High flow", "high_flow", lambda f: f > 2, 2000,
                          "Flow rate 2.17 L/min, above 2 L/min", 1.74, 1.96, latching=True)
            elif known.case == "low_flow":
                flow_case(s, bus, "Low flow", "low_flow", lambda f: f < 1, 2000,
                          "Flow rate 0.6 L/min, below 1 L/min", 1.3, 1.09, latching=False)
            elif known.case == "leak":
                flow_case(s, bus, "Possible leak", "leak", lambda f: f > 1, 6000,
                          "Flow rate 2.17 L/min, above 1 L/min without a pause", 0.6, None, latching=False)
            elif known.case == "no_reading":
                no_reading_case(s, bus)
            elif known.case == "batch":
                batch_case(s, bus)
            else:
                no_service_case(s)
            if with_service:
                check_store_matches_journal(s)
            terminate(s)
    finally:
        bus.close()
    print("%s: %s" % (known.case, "; ".join("%s %s %g/%g" % r[1:] for r in journal(s))))


if __name__ == "__main__":
    main()
