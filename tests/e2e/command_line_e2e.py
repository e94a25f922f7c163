"""One row of the command-line table: runs tavelin with no graphical session.

    command_line_e2e.py EXPECTED PATTERN TAVELIN [ARGUMENT...]

EXPECTED is an exit status, or "runs": the program must still be running two
seconds after it started, then end with status 0 on SIGTERM. PATTERN (a
regular expression, across lines) must occur in what it printed."""

import os
import re
import signal
import subprocess
import sys

expected, pattern, command = sys.argv[1], sys.argv[2], sys.argv[3:]
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
program = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
try:
    output, _ = program.communicate(timeout=2 if expected == "runs" else 20)
    ran = False
except subprocess.TimeoutExpired:
    program.send_signal(signal.SIGTERM)
    output, _ = program.communicate(timeout=10)
    ran = True
if expected == "runs":
    status_ok = ran and program.returncode == 0
else:
    status_ok = not ran and program.returncode == int(expected)
if not status_ok or not re.search(pattern, output, re.S):
    print("expected %s and /%s/; ended with %d%s, printed:\n%s"
          % (expected, pattern, program.returncode, " after SIGTERM" if ran else "", output))
    sys.exit(1)
