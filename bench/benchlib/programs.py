"""Starting and stopping the programs under measurement: the module
simulator, the instrument program and the reference program."""

import contextlib
import os
import signal
import subprocess
import time

from . import xmap


class Simulator:
    """tavelin-sim on a fresh pseudo-terminal; optionally logging the arrival
    of every read command (CLOCK_MONOTONIC microseconds)."""

    def __init__(self, binary, command_log=None, readings=("--vary",)):
        args = [binary, *readings]
        if command_log:
            args += ["--log-commands", command_log]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()
        if not self.device:
            self.stop()
            raise RuntimeError("tavelin-sim printed no device")

    def stop(self):
        stop_process(self.process)


def stop_process(process, timeout=10):
    """SIGTERM, then SIGKILL if it does not go; returns the exit status."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


@contextlib.contextmanager
def running_service(binary, sim_binary, config, settings, state_dir, command_log=None, env=None):
    """tavelind with the settings text written to config and its state in
    state_dir, on a simulator of its own; yields its process, then stops both
    and raises when tavelind did not end with status 0."""
    with open(config, "w") as out:
        out.write(settings)
    sim = Simulator(sim_binary, command_log=command_log)
    try:
        process = subprocess.Popen([binary, "--config", config, "--port", sim.device],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   env=dict(os.environ, STATE_DIRECTORY=state_dir, **(env or {})))
        try:
            yield process
        finally:
            status = stop_process(process)
    finally:
        sim.stop()
    if status != 0:
        raise RuntimeError("tavelind ended with status %s" % status)


def start_until_mapped(args, timeout=30, cwd=None, env=None):
    """Starts a GUI program and waits until its window is mapped.

    Returns (process, seconds from just before exec to the map)."""
    watcher = xmap.MapWatcher()
    try:
        started = time.monotonic()
        process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd,
                                   env=dict(os.environ, QT_QPA_PLATFORM="xcb", **(env or {})))
        mapped = watcher.wait_for_map(timeout)
    finally:
        watcher.close()
    if mapped is None:
        stop_process(process)
        raise RuntimeError("%s: no window mapped within %d s" % (args[0], timeout))
    return process, mapped - started
