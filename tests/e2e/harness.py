"""Drives the real tavelin executable on a private X server.

A Session starts Xvfb (on a free display), the simulated module tavelin-sim
and then tavelin on the simulator's device, and ends all three however the
test ends. Windows are found by title and worked with real X input events
(xdotool); control positions are given in twips as the panels were drawn.

    with Session(paths, sim_args=["--constant", "250"]) as s:
        s.main.click_twips(CWBUTTON1)
        ...
        assert s.terminate() == 0
"""

import argparse
import os
import re
import select
import shutil
import signal
import sqlite3
import subprocess
import sys
import time

TOOLS = ("Xvfb", "xdotool", "xdpyinfo", "import")

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "src")


def read_layout(header):
    """A window's layout table from the program's source: each control's
    (left, top, width, height) in twips with its container's origin, and the
    client area's (width, height)."""
    with open(os.path.join(SOURCE, header)) as source:
        text = source.read()
    rows = re.findall(r'\{"(\w+)", (?:"(\w+)"|nullptr), (\d+), (\d+), (\d+), (\d+)\}', text)
    rects = {name: tuple(int(v) for v in rect) for name, _, *rect in rows}
    places = {name: (rects[name], rects[container][:2] if container else (0, 0)) for name, container, *_ in rows}
    client = tuple(int(v) for v in re.search(r"Client\{(\d+), (\d+)\}", text).groups())
    return places, client


# The instrument window: (left, top, width, height) in twips.
MAIN_PLACES, MAIN_CLIENT_TWIPS = read_layout("ui/main/frmmain_layout.h")
CWBUTTON1 = MAIN_PLACES["CWButton1"][0]  # Start/Stop
CWBUTTON2 = MAIN_PLACES["CWButton2"][0]  # Logging
CWBUTTON3 = MAIN_PLACES["CWButton3"][0]  # Reset
READOUTS = {name: (MAIN_PLACES[name][1], MAIN_PLACES[name][0])  # frame origin + label rectangle
            for name in ("lblHz", "lblLitersPerMin", "liters")}

# The Logger dialog: controls of the dialog, and those inside Frame1.
LOGGER_PLACES, _ = read_layout("logging/frm_loggingflow_layout.h")
FRAME1 = LOGGER_PLACES["Frame1"][0][:2]
WRITE_TO_FILE = LOGGER_PLACES["optDatafile1"][0]  # in Frame1
INTERVAL_LIST = LOGGER_PLACES["cmbInterval"][0]  # in Frame1
APPEND = LOGGER_PLACES["optAppend0"][0]
OVERWRITE = LOGGER_PLACES["optAppend1"][0]
SELECT_FILE = LOGGER_PLACES["cmdSelect"][0]
OK = LOGGER_PLACES["cmdExit"][0]


class HarnessError(Exception):
    pass


def write_store(path, readings, k=6900.0):
    """A readings store as the version before the quarter-hour intervals made
    it (schema 1: readings, store_info, alarm_events), holding the readings
    given as (utc_ms, frequency) pairs with their meter; returns the liters
    each reading stands for at k, summed."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    for stale in (path, path + "-wal", path + "-shm"):
        if os.path.exists(stale):
            os.remove(stale)
    db = sqlite3.connect(path)
    db.executescript(
        "CREATE TABLE readings(seq INTEGER PRIMARY KEY, utc_ms INTEGER NOT NULL, frequency REAL, "
        "liters_per_min REAL, pulse_total REAL, total_liters REAL, meter_centipulses INTEGER NOT NULL);"
        "CREATE INDEX readings_utc_ms ON readings(utc_ms);"
        "CREATE TABLE store_info(key TEXT PRIMARY KEY, value);"
        "CREATE TABLE alarm_events(seq INTEGER PRIMARY KEY AUTOINCREMENT, utc_ms INTEGER NOT NULL, "
        "alarm TEXT NOT NULL, event TEXT NOT NULL, value REAL, threshold REAL);")
    rows, meter, liters = [], 0, 0.0
    for seq, (utc_ms, frequency) in enumerate(readings, start=1):
        centipulses = round(frequency * 100)
        meter += centipulses
        liters += centipulses / 100.0 / k
        rows.append((seq, utc_ms, frequency, round(frequency * 60 / k, 2), meter / 100.0, round(meter / 100.0 / k, 2),
                     meter))
    db.executemany("INSERT INTO readings VALUES (?, ?, ?, ?, ?, ?, ?)", rows)
    first = rows[0][1] if rows else int(time.time() * 1000)
    db.executemany("INSERT INTO store_info VALUES (?, ?)", [("created_utc_ms", first), ("schema_version", 1)])
    db.commit()
    db.close()
    return liters


def check(condition, message):
    """A test's assertion; unlike assert, it stays under python -O."""
    if not condition:
        raise AssertionError(message)


def parse_args(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--tavelin", required=True, help="the tavelin executable")
    parser.add_argument("--sim", required=True, help="the tavelin-sim executable")
    parser.add_argument("--work", required=True, help="folder for logs, files and screenshots")
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    return args


def require_tools():
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        raise HarnessError("missing tools: %s (scripts/setup.sh installs them)" % ", ".join(missing))


def twips_to_pixels(twips, dpi):
    # The same rounding as the program (qRound of a positive value).
    return int(twips * dpi / 1440.0 + 0.5)


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise HarnessError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.1)


def _start(argv, log_path, env=None, **kwargs):
    log = open(log_path, "wb")
    try:
        # Own session, so that ending the group ends everything it started.
        return subprocess.Popen(argv, stdout=kwargs.pop("stdout", log), stderr=log, env=env,
                                start_new_session=True, **kwargs)
    finally:
        log.close()


def _end(process, grace=3.0):
    if process is None or process.poll() is not None:
        return
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 5.0)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=wait)
            return
        except subprocess.TimeoutExpired:
            pass


class Screenshot:
    """The whole screen as RGB pixels."""

    def __init__(self, ppm):
        # "P6 <width> <height> 255" and exactly one blank, then the pixels.
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not match:
            raise HarnessError("unexpected screenshot format")
        self.width, self.height = int(match.group(1)), int(match.group(2))
        self._pixels = ppm[match.end():]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self._pixels[i:i + 3])

    def region(self, x, y, width, height):
        return [self.pixel(x + dx, y + dy) for dy in range(height) for dx in range(width)]


class Window:
    def __init__(self, session, wid):
        self.session = session
        self.wid = wid

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        out = self.session.xdotool("getwindowgeometry", "--shell", self.wid)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def rect_pixels(self, rect, origin=(0, 0)):
        """A control's rectangle in window pixels; origin is its container's place."""
        px = lambda t: twips_to_pixels(t, self.session.dpi)
        left, top, width, height = rect
        return (px(origin[0]) + px(left), px(origin[1]) + px(top), px(width), px(height))

    def wait_for_focus(self, timeout=5.0):
        """Waits until keys go to this window (the program gives it the focus)."""
        wait_until(lambda: self.session.xdotool("getwindowfocus").strip() == self.wid, timeout,
                   "the keyboard focus on window %s" % self.wid)
        return self

    def click(self, x, y):
        self.session.xdotool("mousemove", "--window", self.wid, str(x), str(y), "click", "1")

    def click_twips(self, rect, origin=(0, 0)):
        """Clicks the middle of a control given in twips."""
        x, y, width, height = self.rect_pixels(rect, origin)
        self.click(x + width // 2, y + height // 2)


class Simulator:
    def __init__(self, executable, args, work):
        self.command_log = os.path.join(work, "sim-commands.txt")
        self.process = _start([executable, "--log-commands", self.command_log] + list(args),
                              os.path.join(work, "sim.log"), stdout=subprocess.PIPE)
        self.device = self._read_line(10.0)

    def _read_line(self, timeout):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        line = self.process.stdout.readline().decode().strip() if ready else ""
        if not line:
            raise HarnessError("tavelin-sim printed no device path")
        return line

    def command_times(self):
        """Arrival of each read command, in seconds of time.monotonic()."""
        with open(self.command_log) as log:
            return [int(line) / 1e6 for line in log if line.strip()]


class Session:
    """Xvfb + tavelin-sim + tavelin; a context manager that always cleans up."""

    def __init__(self, paths, sim_args=(), locale="C.UTF-8", startup_box=False, dpi=96, screen="1024x768",
                 app_env=None, on_display=None, keep_state=False, app_args=()):
        """startup_box: the program is expected to stop at its start-up port
        message, before its window shows; the test then sets main itself.
        dpi and screen set up the X server; app_env is added to the program's
        environment; on_display(session) runs once the display is up, before
        the program starts. The program's state folder (its readings store)
        starts empty unless keep_state; app_args are added to its command
        line."""
        self.paths = paths
        self.sim_args = list(sim_args)
        self.locale = locale
        self.startup_box = startup_box
        self.screen_dpi = dpi
        self.screen_size = screen
        self.app_env = dict(app_env or {})
        self.on_display = on_display
        self.keep_state = keep_state
        self.app_args = list(app_args)
        self.work = paths.work
        self.state_dir = os.path.join(paths.work, "state")
        self.xvfb = self.sim = self.app = None
        self.main = None

    # --- lifetime ---------------------------------------------------------

    def __enter__(self):
        try:
            require_tools()
            self._start_display()
            if self.on_display:
                self.on_display(self)
            self.sim = Simulator(self.paths.sim, self.sim_args, self.work)
            self._start_app()
        except BaseException:
            self.close()
            self._print_logs()
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            self._save_failure_screen()
        self.close()
        if exc_type is not None:
            self._print_logs()
        return False

    def close(self):
        for process in (self.app, self.sim and self.sim.process, self.xvfb):
            _end(process)

    def terminate(self, timeout=10.0):
        """Ends the program with SIGTERM; returns its exit status."""
        self.app.send_signal(signal.SIGTERM)
        try:
            return self.app.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("tavelin did not end within %.0f s of SIGTERM" % timeout)

    def _start_display(self):
        read_end, write_end = os.pipe()
        try:
            # -noreset: by default the server resets whenever its last client
            # leaves (every xdotool call) and drops connections meanwhile.
            self.xvfb = _start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen_size + "x24",
                                "-dpi", str(self.screen_dpi), "-nolisten", "tcp", "-noreset"],
                               os.path.join(self.work, "xvfb.log"), pass_fds=(write_end,))
            os.close(write_end)
            # Xvfb writes the number and the newline separately and dies if
            # the pipe is gone in between: read up to the newline.
            number = b""
            deadline = time.monotonic() + 15.0
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
                chunk = os.read(read_end, 32) if ready else b""
                if not chunk:
                    break
                number += chunk
            number = number.decode().strip() if number.endswith(b"\n") else ""
        finally:
            os.close(read_end)
        if not number:
            raise HarnessError("Xvfb reported no display")
        self.display = ":" + number
        resolution = self._run(["xdpyinfo"]).split("resolution:")[1].split("x")[0]
        self.dpi = int(resolution)

    def _start_app(self):
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        if not self.keep_state:
            shutil.rmtree(self.state_dir, ignore_errors=True)
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", LC_ALL=self.locale,
                   XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                   XDG_STATE_HOME=self.state_dir, **self.app_env)
        env.pop("STATE_DIRECTORY", None)
        self.app = _start([self.paths.tavelin, "--port", self.sim.device] + self.app_args,
                          os.path.join(self.work, "tavelin.log"), env=env)
        if not self.startup_box:
            self.main = self.window("^Veltrane ")

    def _save_failure_screen(self):
        try:
            sys.stderr.write("screen at the failure: %s\n" % self.screenshot("failure.png"))
        except Exception as error:  # the display may be gone with the failure
            sys.stderr.write("no screenshot of the failure: %s\n" % error)

    def _print_logs(self):
        for name in ("tavelin.log", "sim.log", "xvfb.log"):
            path = os.path.join(self.work, name)
            if os.path.exists(path):
                with open(path, errors="replace") as log:
                    text = log.read()[-3000:]
                if text.strip():
                    sys.stderr.write("--- %s ---\n%s\n" % (name, text))

    # --- X tools ----------------------------------------------------------

    def _run(self, argv, timeout=15.0, check=True):
        result = subprocess.run(argv, env=dict(os.environ, DISPLAY=self.display), capture_output=True,
                                timeout=timeout)
        if check and result.returncode != 0:
            raise HarnessError("%s failed: %s" % (" ".join(argv), result.stderr.decode().strip()))
        return result.stdout.decode()

    def xdotool(self, *args, check=True):
        return self._run(["xdotool"] + list(args), check=check)

    def _visible_windows(self, title):
        out = self.xdotool("search", "--all", "--onlyvisible", "--pid", str(self.app.pid),
                           "--name", title, check=False)
        return out.split()

    def window(self, title, timeout=15.0):
        """Waits for a visible window of the program whose title matches the regular expression."""
        def found():
            if self.app.poll() is not None:
                raise HarnessError("tavelin ended (status %s)" % self.app.returncode)
            return self._visible_windows(title)
        return Window(self, wait_until(found, timeout, "a window titled %r" % title)[-1])

    def wait_gone(self, title, timeout=10.0):
        wait_until(lambda: not self._visible_windows(title), timeout, "window %r to close" % title)

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", text)

    def key(self, *keys):
        self.xdotool("key", "--delay", "50", *keys)

    def accept_file_dialog(self, path=None, title="^Open$"):
        """Types path into the open file dialog (or keeps the name it offers)
        and presses Return until the dialog has taken it.

        The name field's completion list (a popup titled like the program)
        takes a Return for itself when it is up as the key arrives: Return is
        pressed again, as an operator would, if the dialog stays open.
        """
        dialog = self.window(title).wait_for_focus()
        if path:
            self.type_text(path)
        for attempt in range(3):
            self.wait_gone("^tavelin$")
            time.sleep(0.3)
            dialog.wait_for_focus()
            self.key("Return")
            try:
                return self.wait_gone(title, timeout=3.0)
            except HarnessError:
                print("the file dialog stayed open after Return (attempt %d)" % (attempt + 1))
        raise HarnessError("the file dialog did not take the name")

    def screenshot(self, name):
        path = os.path.join(self.work, name)
        self._run(["import", "-window", "root", path])
        return path

    def grab(self):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, timeout=15.0, check=True).stdout
        return Screenshot(ppm)
