#!/usr/bin/python3
"""What a screen reader reads over the AT-SPI bus, one case a row. panel:
the readouts give their readings as text, the gauges are read-only sliders
with value, minimum and maximum, the knob is a dial that a tool can set
(which sets the total gauge's full scale), and the switches are check boxes
that a tool can toggle as the operator does; changes are announced. history:
the History window on a store holding yesterday's and today's readings draws
the bars of yesterday's hours and its table reads cell by cell. Runs with
Debian's python3, the one python3-pyatspi serves, in a D-Bus session of its own."""

import argparse
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Gio, GLib

from harness import Session, check, parse_args, wait_until, write_store

# What a tool reads, control by control: role, then the text of a readout,
# (value, minimum, maximum, step) of a gauge or the knob, or the check state.
AT_START = {
    "Frequency, hertz": ("label", "000"),
    "Flow rate, liters per minute": ("label", "000"),
    "Flow rate gauge, liters per minute": ("slider", (0, 0, 5, 0)),
    "Total volume gauge, liters": ("slider", (0, 0, 2, 0)),
    "Total liters tank scale": ("dial", (25, 25, 400, 5)),
    "Start/Stop sampling": ("check box", False),
}
# After the knob is set to 100 and Start/Stop toggled, with 250 Hz from the module.
SAMPLING = {
    "Frequency, hertz": ("label", "250"),
    "Flow rate, liters per minute": ("label", "2.17"),
    "Flow rate gauge, liters per minute": ("slider", (2.17, 0, 5, 0)),
    "Total liters tank scale": ("dial", (100, 25, 400, 5)),
    "Start/Stop sampling": ("check box", True),
}


def pump():
    """Delivers the bus's signals, which pyatspi takes in only from its main loop."""
    while GLib.MainContext.default().iteration(False):
        pass


def application(pid):
    pump()
    return next((app for app in pyatspi.Registry.getDesktop(0) if app and app.get_process_id() == pid), None)


def by_name(node, found=None):
    found = {} if found is None else found
    for child in node:
        if child is not None:
            found.setdefault(child.name, child)
            by_name(child, found)
    return found


def read(node):
    role = node.getRoleName()
    if role == "label":
        return role, node.queryText().getText(0, -1)
    if role == "check box":
        return role, node.getState().contains(pyatspi.STATE_CHECKED)
    v = node.queryValue()
    return role, (round(v.currentValue, 6), v.minimumValue, v.maximumValue, v.minimumIncrement)


def check_reads(nodes, expected, when):
    for name, wanted in expected.items():
        print("%-36s %s" % (name, read(nodes[name])))
        check(read(nodes[name]) == wanted, "%s %s reads %s, not %s" % (when, name, read(nodes[name]), wanted))


def announcements(kinds, seconds):
    """The names of the objects whose events of these kinds arrive within seconds."""
    names = set()
    listener = lambda event: names.add(event.source.name if event.source else "")
    for kind in kinds:
        pyatspi.Registry.registerEventListener(listener, kind)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()
    return names


def in_own_bus_session():
    """Runs this script again inside a D-Bus session of its own, with a
    private runtime folder: otherwise the accessibility bus of every such
    session on the machine would share one socket path."""
    if os.environ.get("TAVELIN_OWN_BUS_SESSION") == "1":
        return
    runtime = tempfile.mkdtemp(prefix="tavelin-a11y-")
    try:
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, TAVELIN_OWN_BUS_SESSION="1")
        status = subprocess.call(["dbus-run-session", "--", sys.executable] + sys.argv, env=env)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(status)


def publish_accessibility_bus(session):
    """Puts the accessibility bus's address on the root window, as a desktop
    session does. Without it Qt 5.15 asks the session bus, and when that
    answer comes late it uses the bus before it has connected, and never
    shows up on it."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                          GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 10000, None)
    session._run(["xprop", "-root", "-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS", reply.unpack()[0]])


def case_panel(paths):
    with Session(paths, sim_args=["--constant", "250"], app_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"},
                 on_display=publish_accessibility_bus) as s:
        app = wait_until(lambda: application(s.app.pid), 15.0, "tavelin on the accessibility bus")
        nodes = wait_until(lambda: (lambda found: found if set(AT_START) <= set(found) else None)(by_name(app)),
                           10.0, "the panel's controls on the bus")
        check_reads(nodes, AT_START, "at start-up")
        check(nodes["Total volume gauge, liters"].getState().contains(pyatspi.STATE_READ_ONLY),
              "the total gauge is not read-only")

        nodes["Total liters tank scale"].queryValue().currentValue = 100.0
        wait_until(lambda: read(nodes["Total volume gauge, liters"])[1][2] == 100, 5.0,
                   "the total gauge's maximum to follow the knob to 100")
        start = nodes["Start/Stop sampling"].queryAction()
        start.doAction([start.getName(i) for i in range(start.nActions)].index("Toggle"))
        announced = announcements(["object:text-changed", "object:property-change:accessible-value"], 2.5)
        wait_until(lambda: read(nodes["Frequency, hertz"])[1] == "250", 5.0, "the first reading")
        check_reads(nodes, SAMPLING, "while sampling")
        check({"Frequency, hertz", "Flow rate gauge, liters per minute"} <= announced,
              "changes announced for %s only" % sorted(announced))
        check(s.terminate() == 0, "tavelin did not end cleanly after SIGTERM")


def cells(table):
    """The table's text, row by row, as a screen reader takes it from the cells."""
    t = table.queryTable()
    return [[t.getAccessibleAt(row, column).name for column in range(t.nColumns)] for row in range(t.nRows)]


def bar_pixels(s, window):
    """How many pixels of the window have the full bars' colour."""
    x, y, width, height = window.geometry()
    return sum(1 for pixel in s.grab().region(x, y, width, height) if pixel == (0, 65, 220))


def case_history(paths):
    """A store of the version before the intervals holding a reading a second
    from yesterday's start (UTC) up to now: after Ctrl+H and Previous, 24
    full bars of 3600 readings each, and the table's 24 rows and its total."""
    midnight = datetime.datetime.now(datetime.timezone.utc).replace(hour=0, minute=0, second=0, microsecond=0)
    first = int((midnight - datetime.timedelta(days=1)).timestamp() * 1000)
    readings = [(t, 250.0) for t in range(first, int(time.time() * 1000), 1000)]
    write_store(os.path.join(paths.work, "state", "tavelin", "readings.db"), readings)
    with Session(paths, sim_args=["--constant", "250"], keep_state=True, on_display=publish_accessibility_bus,
                 app_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "TZ": "UTC"}) as s:
        app = wait_until(lambda: application(s.app.pid), 15.0, "tavelin on the accessibility bus")
        s.xdotool("windowfocus", "--sync", s.main.wid)
        s.key("ctrl+h")
        window = s.window("^History$")
        window.wait_for_focus()
        s.key("alt+p")
        by_hour = lambda: next((node for name, node in by_name(app).items()
                                if name.startswith("Liters by hour, ") and node.getRoleName() == "table"), None)
        def yesterday_shown():
            table = by_hour()
            if table and len(cells(table)) == 25 and cells(table)[24][4] == "86,400":
                return table
            s.key("alt+t", "alt+p")  # read again: the store may still be making its intervals
            return None

        table = wait_until(yesterday_shown, 20.0, "yesterday's 24 hours and the total in the table")
        rows = cells(table)
        header = [table.queryTable().getColumnDescription(c) for c in range(table.queryTable().nColumns)]
        check(header[:6] == ["Period", "Start", "End", "Liters", "Readings", "Coverage"], "columns %s" % header)
        check(all(row[3:6] == ["130.4", "3,600", "100.0 %"] for row in rows[:24]), "hours %s" % rows[:24])
        check(rows[24][0] == "Total" and rows[24][3:6] == ["3,130.4", "86,400", "100.0 %"], "total %s" % rows[24])
        check(rows[0][1] == (midnight - datetime.timedelta(days=1)).strftime("%Y-%m-%dT00:00:00+00:00"),
              "first hour %s" % rows[0])
        check(bar_pixels(s, window) > 24 * 100, "no full bars drawn")
        check(s.terminate() == 0, "tavelin did not end cleanly after SIGTERM")


CASES = {name[len("case_"):]: case for name, case in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--case", default="panel", choices=sorted(CASES))
    known, rest = parser.parse_known_args()
    sys.argv = sys.argv[:1] + rest + ["--case", known.case]
    in_own_bus_session()
    sys.argv = sys.argv[:-2]
    paths = parse_args(__doc__)
    pyatspi.Registry.getDesktop(0)  # brings the accessibility bus up
    CASES[known.case](paths)


if __name__ == "__main__":
    main()
