#!/usr/bin/python3
"""The instrument panel as a screen reader reads it over the AT-SPI bus: the
readouts give their readings as text, the gauges are read-only sliders with
value, minimum and maximum, the knob is a dial that a tool can set (which
sets the total gauge's full scale), and the switches are check boxes that a
tool can toggle as the operator does. Runs with Debian's python3, the one
python3-pyatspi serves, in a D-Bus session of its own."""

import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi
from gi.repository import Gio, GLib

from harness import Session, check, parse_args, wait_until

READING = "250"  # Hz, every reply
FLOW = "2.17"  # liters per minute at 250 Hz

READOUTS = ("Frequency, hertz", "Flow rate, liters per minute", "Total volume, liters")
FLOW_GAUGE = "Flow rate gauge, liters per minute"
TOTAL_GAUGE = "Total volume gauge, liters"
KNOB = "Total liters tank scale"
SWITCHES = ("Start/Stop sampling", "Logging on/off", "Reset total")


def application(pid):
    # The desktop's list of applications follows the bus's signals, which
    # arrive only while the main loop runs.
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def named_objects(root):
    found = {}

    def walk(node):
        for child in node:
            if child is None:
                continue
            if child.name:
                found.setdefault(child.name, child)
            walk(child)
    walk(root)
    return found


def text_of(node):
    return node.queryText().getText(0, -1)


def value_of(node):
    value = node.queryValue()
    return value.currentValue, value.minimumValue, value.maximumValue


def describe(nodes):
    lines = []
    for name in READOUTS:
        lines.append("%-10s %-32r text=%r" % (nodes[name].getRoleName(), name, text_of(nodes[name])))
    for name in (FLOW_GAUGE, TOTAL_GAUGE, KNOB):
        value = nodes[name].queryValue()
        lines.append("%-10s %-32r value=%g min=%g max=%g step=%g" % (
            nodes[name].getRoleName(), name, value.currentValue, value.minimumValue, value.maximumValue,
            value.minimumIncrement))
    for name in SWITCHES:
        checked = nodes[name].getState().contains(pyatspi.STATE_CHECKED)
        lines.append("%-10s %-32r %s" % (nodes[name].getRoleName(), name, "checked" if checked else "not checked"))
    return "\n".join(lines)


def collect_events(kinds, seconds):
    """The AT-SPI events of the given kinds that arrive within seconds: (kind, source name)."""
    events = []
    listener = lambda event: events.append((event.type, event.source.name if event.source else ""))
    for kind in kinds:
        pyatspi.Registry.registerEventListener(listener, kind)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()
    for kind in kinds:
        pyatspi.Registry.deregisterEventListener(listener, kind)
    return events


def in_own_bus_session():
    """Runs this script again inside a D-Bus session of its own. Its runtime
    folder is private too: without one, the accessibility bus of every such
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
    """Puts the accessibility bus's address on the display's root window, as
    a desktop session does. Without it Qt 5.15 asks the session bus, and when
    that answer comes late it tries the accessibility bus before it has
    connected, and never shows up."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                          GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 10000, None)
    session._run(["xprop", "-root", "-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS", reply.unpack()[0]])


def main():
    paths = parse_args(__doc__)
    in_own_bus_session()
    pyatspi.Registry.getDesktop(0)  # brings the accessibility bus up
    with Session(paths, sim_args=["--constant", READING], app_env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"},
                 on_display=publish_accessibility_bus) as s:
        app = wait_until(lambda: application(s.app.pid), 15.0, "tavelin on the accessibility bus")
        nodes = wait_until(lambda: (lambda n: n if all(k in n for k in READOUTS + SWITCHES + (KNOB,)) else None)(
            named_objects(app)), 10.0, "the panel's controls on the bus")
        print("at start-up:\n" + describe(nodes))

        # Readouts: labels whose text is the reading.
        for name in READOUTS:
            check(nodes[name].getRoleName() == "label", "%s is a %s" % (name, nodes[name].getRoleName()))
            check(text_of(nodes[name]) == "000", "%s reads %r at start-up" % (name, text_of(nodes[name])))

        # Gauges: read-only sliders with their scale; the knob: a dial.
        for name, expected in ((FLOW_GAUGE, (0.0, 0.0, 5.0)), (TOTAL_GAUGE, (0.0, 0.0, 2.0)),
                               (KNOB, (25.0, 25.0, 400.0))):
            check(value_of(nodes[name]) == expected, "%s: value, min, max %s" % (name, value_of(nodes[name])))
        for name in (FLOW_GAUGE, TOTAL_GAUGE):
            check(nodes[name].getRoleName() == "slider", "%s is a %s" % (name, nodes[name].getRoleName()))
            check(nodes[name].getState().contains(pyatspi.STATE_READ_ONLY), "%s is not read-only" % name)
        check(nodes[KNOB].getRoleName() == "dial", "the knob is a %s" % nodes[KNOB].getRoleName())
        check(nodes[KNOB].queryValue().minimumIncrement == 5.0, "the knob's step")

        # Setting the knob runs the tank-scale handler: the total gauge's full scale follows.
        nodes[KNOB].queryValue().currentValue = 100.0
        wait_until(lambda: value_of(nodes[TOTAL_GAUGE])[2] == 100.0, 5.0, "the total gauge's maximum at 100")
        check(value_of(nodes[KNOB])[0] == 100.0, "the knob reads %s after being set" % value_of(nodes[KNOB])[0])

        # The switches: check boxes; toggling Start/Stop through the bus starts sampling,
        # and the readings are announced as they change.
        for name in SWITCHES:
            check(nodes[name].getRoleName() == "check box", "%s is a %s" % (name, nodes[name].getRoleName()))
        start = nodes["Start/Stop sampling"].queryAction()
        actions = [start.getName(i) for i in range(start.nActions)]
        check("Toggle" in actions, "the Start/Stop switch offers %s" % actions)
        start.doAction(actions.index("Toggle"))
        events = collect_events(["object:text-changed", "object:property-change:accessible-value"], 3.0)
        check(nodes["Start/Stop sampling"].getState().contains(pyatspi.STATE_CHECKED), "Start/Stop is not checked")
        wait_until(lambda: text_of(nodes[READOUTS[0]]) == READING, 5.0, "the frequency readout at %s" % READING)
        check(text_of(nodes[READOUTS[1]]) == FLOW, "the flow readout reads %r" % text_of(nodes[READOUTS[1]]))
        flow = value_of(nodes[FLOW_GAUGE])[0]
        check(abs(flow - float(FLOW)) < 1e-9, "the flow gauge reads %s" % flow)
        announced = {name for _, name in events}
        check(READOUTS[0] in announced and FLOW_GAUGE in announced,
              "changes announced for %s only" % sorted(announced))
        print("after Toggle on Start/Stop and the knob set to 100:\n" + describe(nodes))
        print("announced: %s" % ", ".join(sorted({"%s (%s)" % (name, kind) for kind, name in events})))

        status = s.terminate()
        check(status == 0, "tavelin ended with status %s after SIGTERM" % status)


if __name__ == "__main__":
    main()
