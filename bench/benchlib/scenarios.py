"""The measurements, one function each. Every program runs on its own fresh
simulator, and each is stopped (SIGTERM, by its process id) before the next
starts, so no two measured programs share the machine or the display."""

import getpass
import os
import shutil
import socket
import statistics
import subprocess
import time

from . import gui, procinfo, programs, stats

SETTLE_AFTER_MAP_S = 2.0  # start-up work that runs after the map is done by then
LOGGING_INTERVAL_ENTRY = "1"  # seconds, from the Logger dialog's list


def startup(tavelin_args, reference_args, sim_binary, runs, state_dir=None):
    """Exec to window mapped, in seconds: median of `runs` launches each,
    alternating the two programs, after one launch each to warm the caches.
    state_dir is the program's state folder (its readings store)."""
    sim = programs.Simulator(sim_binary, readings=("--constant", "72"))
    env = {"XDG_STATE_HOME": state_dir} if state_dir else {}
    try:
        def launch(args):
            process, seconds = programs.start_until_mapped([*args, sim.device], env=env)
            programs.stop_process(process)
            time.sleep(0.3)
            return seconds

        launch(tavelin_args)
        launch(reference_args)
        tavelin, reference = [], []
        for _ in range(runs):
            tavelin.append(launch(tavelin_args))
            reference.append(launch(reference_args))
    finally:
        sim.stop()
    return {"tavelin": statistics.median(tavelin), "reference": statistics.median(reference),
            "tavelin_all": tavelin, "reference_all": reference}


def _busy_processes(count):
    """Processes that want a processor all the time, as other programs on a
    loaded machine do."""
    return [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(count)]


def cycle_latency(harness, sim_binary, cycles, out_path, reserve_processor=False, trend=False, busy=0, store=None,
                  mqtt_url=None, modbus_listen=None):
    """Tick to last display write of the real cycle, through the harness.

    With reserve_processor the harness runs under SCHED_FIFO (chrt), so no
    other work on the machine can delay it: what remains is the program's
    own cost. None when the scheduling class cannot be had. With trend the
    trend window is open and redraws after every cycle. With busy, that
    many processes spin beside the harness for the whole run. With store,
    every reading is committed to a readings store at that path."""
    prefix = ["chrt", "--fifo", "10"] if reserve_processor else []
    if prefix and subprocess.run([*prefix, "true"], capture_output=True).returncode != 0:
        return None
    sim = programs.Simulator(sim_binary)
    spinners = _busy_processes(busy)
    try:
        run = subprocess.run([*prefix, harness, "--port", sim.device, "--cycles", str(cycles),
                              *(["--trend"] if trend else []), *(["--store", store] if store else []),
                              *(["--mqtt-url", mqtt_url] if mqtt_url else []),
                              *(["--modbus-listen", modbus_listen] if modbus_listen else [])],
                             capture_output=True, text=True, timeout=cycles * 2 + 120)
    finally:
        for spinner in spinners:
            programs.stop_process(spinner)
        sim.stop()
    with open(out_path, "w") as out:
        out.write(run.stdout)
    if run.returncode != 0:
        raise RuntimeError("cycle-latency failed: " + run.stderr.strip())
    latencies_ms, waited_ms, durable_ms, summary = [], [], [], {}
    for line in run.stdout.splitlines():
        if line.startswith("#"):
            summary = dict(item.split("=") for item in line[1:].split())
        elif line.strip():
            fields = [int(field) for field in line.split()]
            latencies_ms.append(fields[1] / 1000.0)
            waited_ms.append(fields[2] / 1000.0)
            if len(fields) > 3 and fields[3] >= 0:
                durable_ms.append(fields[3] / 1000.0)
    return {"cycles": len(latencies_ms), "p50": stats.percentile(latencies_ms, 0.50),
            "durable_p50": stats.percentile(durable_ms, 0.50) if durable_ms else None,
            "durable_p99": stats.percentile(durable_ms, 0.99) if durable_ms else None,
            "p99": stats.percentile(latencies_ms, 0.99), "max": max(latencies_ms),
            "min": min(latencies_ms), "mean_waited": statistics.fmean(waited_ms),
            "without_display": int(summary.get("without_display", -1)),
            "messages": int(summary.get("messages", -1)), "interval_ms": int(summary.get("interval_ms", 0))}


def idle(args, sim_binary, seconds):
    """CPU seconds per minute while the program just stands there, and its
    memory at the end."""
    sim = programs.Simulator(sim_binary, readings=("--constant", "72"))
    try:
        process, _ = programs.start_until_mapped([*args, sim.device])
        try:
            time.sleep(SETTLE_AFTER_MAP_S)
            before = procinfo.cpu_seconds(process.pid)
            time.sleep(seconds)
            used = procinfo.cpu_seconds(process.pid) - before
            memory = procinfo.memory_kib(process.pid)
        finally:
            programs.stop_process(process)
    finally:
        sim.stop()
    return {"cpu_per_min": used * 60.0 / seconds, "rss_kib": memory["Rss"], "pss_kib": memory["Pss"]}


def _switch_logging_on(pid, window, log_name):
    """Logging switch on; in the Logger dialog: Write to File, Append, the
    interval, a new file through Select File (typed as a bare name, relative
    to the program's working folder, which the file dialog opens in: no
    completion pops up for a name that does not exist yet), Yes to the
    create prompt, OK."""
    gui.click(window, gui.LOGGING_SWITCH)
    dialog = gui.find_window(pid, "Logger")
    gui.click(dialog, gui.WRITE_TO_FILE_OPTION)
    gui.click(dialog, gui.APPEND_OPTION)
    gui.scroll_down(dialog, gui.INTERVAL_LIST, gui.INTERVAL_ENTRIES.index(LOGGING_INTERVAL_ENTRY) + 1)
    gui.click(dialog, gui.SELECT_FILE_BUTTON)
    gui.type_into(gui.find_window(pid, "Open"), log_name)
    gui.press_return(pid, "Select File")  # "Create the file?": Yes is the default
    gui.wait_until_gone(pid, "Open")
    # OK is enabled once the file dialog's call has returned, a moment after
    # its window went: click until the Logger dialog hides.
    for _ in range(20):
        time.sleep(0.25)
        gui.click(dialog, gui.OK_BUTTON)
        if gui.wait_until_gone(pid, "Logger", timeout=1.0, fail=False):
            return
    raise RuntimeError("the Logger dialog does not take OK")


def _rows(log_file):
    with open(log_file) as log:
        return sum(1 for line in log if line.startswith('"') and line[1:2].isdigit())


def _sampling_figures(command_log, cpu_used, seconds, memory, rows):
    """The time base from the simulator's record, CPU per minute over seconds,
    memory, and the count of log rows."""
    with open(command_log) as log:
        arrivals = [int(line) for line in log if line.strip()]
    figures = stats.time_base(arrivals)
    figures.update(cpu_per_min=cpu_used * 60.0 / seconds, rss_kib=memory["Rss"],
                   pss_kib=memory["Pss"], commands=len(arrivals), log_rows=rows)
    return figures


def sampling(tavelin_args, sim_binary, work_dir, seconds, memory_after):
    """The real program sampling with logging on: the time base from the
    simulator's record of read commands over `seconds`, and CPU and memory
    after `memory_after` seconds of it."""
    command_log = os.path.join(work_dir, "read-commands.txt")
    log_file = os.path.join(work_dir, "flow-log.csv")
    for stale in (command_log, log_file):
        if os.path.exists(stale):
            os.remove(stale)
    sim = programs.Simulator(sim_binary, command_log=command_log)
    try:
        process, _ = programs.start_until_mapped([*tavelin_args, sim.device], cwd=work_dir)
        try:
            window = gui.find_window(process.pid, "Veltrane")
            _switch_logging_on(process.pid, window, os.path.basename(log_file))
            time.sleep(1.0)
            cpu_before = procinfo.cpu_seconds(process.pid)
            gui.click(window, gui.START_STOP_SWITCH)
            started = time.monotonic()
            time.sleep(memory_after - (time.monotonic() - started))
            cpu_used = procinfo.cpu_seconds(process.pid) - cpu_before
            memory = procinfo.memory_kib(process.pid)
            # Half a period past the last due command, so it is in the record.
            time.sleep(max(0.0, seconds + 0.5 - (time.monotonic() - started)))
            rows = _rows(log_file)
        finally:
            status = programs.stop_process(process)
    finally:
        sim.stop()
    if status != 0:
        raise RuntimeError("tavelin ended with status %s" % status)
    return _sampling_figures(command_log, cpu_used, memory_after, memory, rows)


def figures_of(command):
    """{name: value} from a program's "name value unit" lines."""
    run = subprocess.run(command, capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        raise RuntimeError("%s failed: %s" % (os.path.basename(command[0]), run.stderr.strip()))
    return {name: float(value) for name, value, *_ in (line.split() for line in run.stdout.splitlines() if line)}


def trend_cost(binary):
    """The trend ring's memory at 24 hours and one redraw of the trend window."""
    return figures_of([binary])


def alarm_cost(binary):
    """The alarm rules' cost per cycle, off and all five on, and one raise and clear."""
    return figures_of([binary])


def store_commit(binary, folder):
    """One reading's commit in the readings store for each way of journaling,
    and the store a day of readings leaves, on the disk that holds folder."""
    return figures_of([binary, "--dir", folder])


def records_cost(binary, folder):
    """Sealing's cost per durable commit, --verify over a week, the event log
    window on 10 000 events."""
    return figures_of([binary, "--dir", folder])


def fill_store(binary, path):
    """A readings store at path holding the last day, one reading a second."""
    if os.path.exists(path):
        os.remove(path)
    subprocess.run([binary, "--fill", path], check=True, capture_output=True, timeout=600)


def service(binary, sim_binary, work_dir, seconds, memory_after):
    """tavelind sampling and logging a row a second, as the sampling scenario
    measures the window: the time base over `seconds`, CPU and memory after
    `memory_after` seconds (counted from the first read command)."""
    command_log = os.path.join(work_dir, "service-read-commands.txt")
    log_file = os.path.join(work_dir, "service-flow-log.csv")
    config = os.path.join(work_dir, "service.conf")
    for stale in (command_log, log_file):
        if os.path.exists(stale):
            os.remove(stale)
    settings = "[logging]\nfile=%s\nmode=overwrite\ninterval_s=1\n" % log_file
    with programs.running_service(binary, sim_binary, config, settings, os.path.join(work_dir, "service-state"),
                                  command_log=command_log) as process:
        time.sleep(1.0)  # the first read command comes a second after start-up
        cpu_before = procinfo.cpu_seconds(process.pid)
        started = time.monotonic()
        time.sleep(memory_after)
        cpu_used = procinfo.cpu_seconds(process.pid) - cpu_before
        memory = procinfo.memory_kib(process.pid)
        time.sleep(max(0.0, seconds + 0.5 - (time.monotonic() - started)))
        rows = _rows(log_file)
    return _sampling_figures(command_log, cpu_used, memory_after, memory, rows)


def service_slow_lookup(binary, sim_binary, slow_calls, work_dir, seconds, lookup_ms=3000, fsync_ms=0):
    """tavelind sampling with MQTT on a broker named by a host name whose every
    lookup takes lookup_ms (the slow-calls library) and that does not answer,
    and with every sync of its store taking fsync_ms: the gaps between read
    commands over `seconds`, from the simulator's record."""
    name = "slow-lookup" if not fsync_ms else "slow-disk"
    command_log = os.path.join(work_dir, name + "-read-commands.txt")
    config = os.path.join(work_dir, name + ".conf")
    if os.path.exists(command_log):
        os.remove(command_log)
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()  # nothing listens there: each attempt looks the name up, then is refused
    slow = {"LD_PRELOAD": slow_calls, "TAVELIN_SLOW_LOOKUP_MS": str(lookup_ms), "TAVELIN_SLOW_FSYNC_MS": str(fsync_ms)}
    with programs.running_service(binary, sim_binary, config, "[mqtt]\nurl=mqtt://localhost:%d\n" % port,
                                  os.path.join(work_dir, name + "-state"), command_log=command_log, env=slow):
        time.sleep(seconds + 1.5)
    with open(command_log) as log:
        arrivals = [int(line) / 1e6 for line in log if line.strip()]
    gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
    return {"commands": len(arrivals), "longest_gap_ms": max(gaps) * 1000.0, "lookup_ms": lookup_ms,
            "fsync_ms": fsync_ms, "seconds": seconds}


class _Broker:
    """A mosquitto of the bench's own on a free loopback port, anonymous."""

    def __init__(self, folder):
        os.makedirs(folder, exist_ok=True)
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()
        conf = os.path.join(folder, "mosquitto.conf")
        with open(conf, "w") as out:
            out.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n"
                      % (self.port, getpass.getuser()))
        self.process = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.5).close()
                return
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError("mosquitto did not listen")

    def stop(self):
        programs.stop_process(self.process)


def cycle_latency_mqtt(harness, sim_binary, store_binary, cycles, work_dir, backlog):
    """The cycle with every reading stored and published to a local broker;
    with backlog, while a day of stored readings (86 400) not yet delivered
    is replayed."""
    folder = os.path.join(work_dir, "latency-mqtt-backlog" if backlog else "latency-mqtt")
    store = os.path.join(folder, "readings.db")
    for stale in (store, store + "-wal", store + "-shm"):
        if os.path.exists(stale):
            os.remove(stale)
    if backlog:
        fill_store(store_binary, store)
    broker = _Broker(os.path.join(folder, "broker"))
    try:
        return cycle_latency(harness, sim_binary, cycles, os.path.join(folder, "cycle-latency.txt"), store=store,
                             mqtt_url="mqtt://127.0.0.1:%d" % broker.port)
    finally:
        broker.stop()


def history_cost(binary, folder):
    """A reading's commit with and without its interval, the History window on
    ten years of intervals, and a week's intervals built at first open."""
    return figures_of([binary, "--dir", folder])


def _timed_run(command, out_path, env=None):
    """Wall seconds and peak resident memory (KiB) of one run, its standard
    output into out_path."""
    with open(out_path, "wb") as out:
        started = time.monotonic()
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.PIPE, env=env)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.monotonic() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise RuntimeError("%s failed: %s" % (os.path.basename(command[0]), process.stderr.read().decode()))
    process.stderr.close()
    return elapsed, usage.ru_maxrss


def export_readings(history_binary, tavelind, folder, runs=3):
    """tavelind --export readings of a week's store (604 800 readings) beside
    the sqlite3 tool writing the same table as CSV: the median of `runs` each;
    and the export's peak memory for the week and for a day's store."""
    figures = {}
    for name, fill in (("week", "--fill-week"), ("day", "--fill-day")):
        state = os.path.join(folder, "export-" + name)
        shutil.rmtree(state, ignore_errors=True)
        os.makedirs(state)
        store = os.path.join(state, "readings.db")
        subprocess.run([history_binary, fill, store], check=True, capture_output=True, timeout=600)
        env = dict(os.environ, STATE_DIRECTORY=state)
        ours = [_timed_run([tavelind, "--export", "readings"], os.path.join(state, "tavelind.csv"), env)
                for _ in range(runs)]
        figures[name + "_rss_kib"] = max(rss for _, rss in ours)
        if name == "week":
            theirs = [_timed_run(["sqlite3", "-csv", "-header", store, "SELECT * FROM readings"],
                                 os.path.join(state, "sqlite3.csv")) for _ in range(runs)]
            figures["tavelind_s"] = statistics.median(seconds for seconds, _ in ours)
            figures["sqlite3_s"] = statistics.median(seconds for seconds, _ in theirs)
            with open(os.path.join(state, "tavelind.csv"), "rb") as out:
                figures["rows"] = sum(1 for _ in out) - 1
    return figures
