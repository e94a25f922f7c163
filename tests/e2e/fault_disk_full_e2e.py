#!/usr/bin/env python3
"""The disk fills up while logging every 0.5 s: a 16 KiB tmpfs holds the log
file, appended to, with room for the header and seven and a half rows. The
program shows exactly one message box, naming the file and the reason ("No
space left on device"), and stops logging: no further box, no further byte.
What the file held before is unchanged, the new header and the seven rows
follow it whole, and the row the disk took only part of is gone again.
SIGTERM ends the program with status 0 while the box is open.

The tmpfs is mounted in a private mount namespace, which disappears with the
test however it ends; without root, a user namespace provides one."""

import datetime
import os
import shutil
import subprocess
import sys
import time

from fault_rig import box_text, boxes, header, parse_rows, start_logging, terminate, wait_box
from harness import APPEND, Session, check, parse_args

DISK = 16384
PAGE = 4096
ROW = 22  # "HH:MM:SS",0,0,"000" and CR LF: sampling stays off
ROWS_THAT_FIT = 7
NAMESPACE_MARK = "TAVELIN_E2E_PRIVATE_MOUNTS"


def in_private_mount_namespace():
    """Runs this script again inside a mount namespace of its own."""
    if os.environ.get(NAMESPACE_MARK):
        return
    unshare = shutil.which("unshare")
    check(unshare is not None, "unshare (util-linux) is missing")
    env = dict(os.environ, **{NAMESPACE_MARK: "1"})
    for extra in ([], ["--user", "--map-root-user"]):
        argv = [unshare, "--mount", "--propagation", "private"] + extra
        if subprocess.run(argv + ["true"], capture_output=True).returncode == 0:
            os.execve(unshare, argv + [sys.executable] + sys.argv, env)
    raise AssertionError("no private mount namespace (unshare --mount failed, also as a user namespace)")


def mount_small_disk(folder):
    os.makedirs(folder, exist_ok=True)
    result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % DISK, "tavelin-full", folder],
                            capture_output=True)
    check(result.returncode == 0, "mount -t tmpfs failed: %s" % result.stderr.decode().strip())


def fill_disk(folder, path):
    """Half of the disk taken by another file, and an earlier run in the log
    that leaves room for a header and seven rows and part of an eighth."""
    with open(os.path.join(folder, "other"), "wb") as other:
        other.write(b"\0" * (DISK // 2))
    block = header(path, [datetime.date.today()])[0]  # the length does not depend on the date
    room = DISK // 2 - 2 * len(block)
    earlier_rows = room // ROW - ROWS_THAT_FIT
    if room % ROW == 0:  # an empty line for a row, so that the eighth row does not fit whole
        earlier_rows -= 1
    earlier = block + b'"23:59:59",0,0,"000"\r\n' * earlier_rows + (b"\r\n" if room % ROW == 0 else b"")
    with open(path, "wb") as log:
        log.write(earlier)
    check(DISK // 2 - len(earlier) - len(block) - ROWS_THAT_FIT * ROW in range(1, ROW), "wrong room left")
    return earlier, len(block)


def main():
    in_private_mount_namespace()
    paths = parse_args(__doc__)
    folder = os.path.join(paths.work, "small-disk")
    mount_small_disk(folder)
    path = os.path.join(folder, "full.txt")
    earlier, header_size = fill_disk(folder, path)

    with Session(paths) as s:
        days = [datetime.date.today()]
        start_logging(s, path, mode=APPEND, interval="0.5", new_file=False)
        wid = wait_box(s, timeout=20.0)
        text = box_text(s, wid)
        check(path in text and "No space left on device" in text, "the box says %r" % text)
        size = os.path.getsize(path)
        seen = {wid}
        deadline = time.monotonic() + 3.0
        while time.monotonic() < deadline:  # ticks would come while the box is open
            seen.update(boxes(s))
            time.sleep(0.2)
        check(seen == {wid}, "%d message boxes" % len(seen))
        check(os.path.getsize(path) == size, "the file grew after the box")
        terminate(s)  # with the box open
        days.append(datetime.date.today())

    with open(path, "rb") as log:
        data = log.read()
    check(data.startswith(earlier), "the earlier content changed")
    check(data[len(earlier):len(earlier) + header_size] in header(path, days), "no header after the earlier run")
    rows = parse_rows(data[len(earlier) + header_size:])
    check(len(rows) == ROWS_THAT_FIT, "%d rows after the header, %d fit" % (len(rows), ROWS_THAT_FIT))
    print("disk full: one box (%r); %d whole rows, the torn one cut off; the file ends at %d of %d bytes" %
          (text, len(rows), len(data), DISK // 2))


if __name__ == "__main__":
    main()
