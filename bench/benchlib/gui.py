"""Working the instrument window with xdotool, by the controls' places.

Positions are in twips as the panel was drawn (15 twips to the pixel at
96 dpi). Under Xvfb without a window manager a window sits at 0,0 unframed.
"""

import subprocess
import time

TWIPS_PER_PIXEL = 15

# left, top, width, height in twips
START_STOP_SWITCH = (420, 4620, 1092, 312)
LOGGING_SWITCH = (2100, 4620, 1092, 312)
# The "Logger" dialog; optDatafile and cmbInterval sit in Frame1 (120,120),
# hence the sums.
WRITE_TO_FILE_OPTION = (120 + 120, 120 + 720, 1212, 252)
APPEND_OPTION = (720, 1200, 1332, 252)
INTERVAL_LIST = (120 + 2040, 120 + 780, 792, 288)
SELECT_FILE_BUTTON = (600, 1920, 972, 372)
OK_BUTTON = (1920, 1920, 972, 372)
INTERVAL_ENTRIES = ["60", "30", "15", "10", "5", "2", "1", "0.5"]


def _xdotool(*args, timeout=30):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True,
                          timeout=timeout).stdout


def find_window(pid, title, timeout=30):
    """The id of the process's visible window with this title."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", title],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[-1]
        time.sleep(0.1)
    raise RuntimeError("no window %r of process %d" % (title, pid))


def wait_until_gone(pid, title, timeout=30, fail=True):
    """Waits until the process shows no window with this title; True once gone."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", title],
                               capture_output=True, text=True).stdout.split()
        if not found:
            return True
        time.sleep(0.1)
    if fail:
        raise RuntimeError("window %r of process %d stays open" % (title, pid))
    return False


def centre(rect):
    left, top, width, height = rect
    return round((left + width / 2) / TWIPS_PER_PIXEL), round((top + height / 2) / TWIPS_PER_PIXEL)


def click(window, rect):
    x, y = centre(rect)
    _xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")


def scroll_down(window, rect, steps):
    """Mouse-wheel steps over a control: a list box moves one entry a step."""
    x, y = centre(rect)
    _xdotool("mousemove", "--window", window, str(x), str(y))
    for _ in range(steps):
        _xdotool("click", "5")


def window_name(window):
    return _xdotool("getwindowname", window).strip()


def type_into(window, text):
    """Types into the focused field of a window (through the X test
    extension, as a keyboard would), then presses Return."""
    _xdotool("windowfocus", "--sync", window)
    _xdotool("type", "--delay", "5", text)
    _xdotool("key", "Return")


def press_return(pid, title, timeout=10):
    """Presses Return in the window with this title until it goes."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        window = find_window(pid, title)
        _xdotool("windowfocus", "--sync", window)
        _xdotool("key", "Return")
        if wait_until_gone(pid, title, timeout=1.0, fail=False):
            return
    raise RuntimeError("window %r of process %d does not take Return" % (title, pid))
