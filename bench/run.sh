#!/usr/bin/env bash
# Performance benchmark of tavelin: `make bench`, or `make bench ARGS=--long`
# for the time base over ten minutes instead of one. Prints one table, each
# figure beside its target and, where it applies, beside the reference
# program's figure and the ratio of the two.
#
# What is measured, and how:
#  - Cycle latency: bench/cycle-latency builds the program's own window
#    (frmmain, with the real QtSerialPort, SystemMillisecondCounter and
#    QtWindowTimer) against tavelin-sim on a pseudo-terminal. The program has
#    no switch for instrumentation, so the harness times it from outside the
#    cycle: an application event filter stamps the sampling timer's event as
#    it is delivered, and an override of the window's last display write
#    (CWSlide2's value) stamps the cycle's end. Only the timer interval is
#    shorter than a second, so that 320 cycles take half a minute; the first
#    5 cycles are not counted. A message box is counted instead of shown.
#    The harness also reads how long its thread stood runnable but off the
#    processor (/proc/thread-self/schedstat), and it runs a second time under
#    SCHED_FIFO (chrt, where permitted), where no other work on the machine
#    can delay it: that row is the program's own cost; and a third time with
#    two processes spinning beside it, as on a machine that is not quiet.
#  - Time base: the real executable, started on the simulator, Start clicked
#    with xdotool; tavelin-sim --log-commands records when each read command
#    arrives (CLOCK_MONOTONIC); the intervals between them are the figures.
#  - Start-up: exec to the main window mapped, seen as the X server's
#    MapNotify (a small X client in benchlib/xmap.py, no polling); median of
#    11 launches after one unrecorded launch to warm the caches; once beside
#    an empty readings store, once beside a store holding a day of readings
#    (86 400, written by store-commit --fill) that the trend restores.
#  - Store: store-commit times single-reading commits for three ways of
#    journaling; cycle-latency runs once more committing every reading.
#  - Memory: RSS and PSS from /proc/PID/smaps_rollup after 60 s of sampling
#    with logging to a file once a second (switched on through the Logger
#    dialog, as an operator would).
#  - CPU: utime + stime from /proc/PID/stat over 60 s with sampling off, and
#    over the first 60 s of sampling with logging on.
#  - Service: tavelind on the simulator, logging a row a second to a file
#    (from its settings file): RSS, PSS and CPU as for the window, beside the
#    window's, and the time base from the simulator's record.
#  - A slow resolver: tavelind with MQTT on a broker named by a host name
#    ("localhost", nothing listening) while each name lookup takes 3 s (the
#    slow-calls library from tests/support, by LD_PRELOAD): the longest gap
#    between read commands over 30 s, from the simulator's record.
#  - Records: bench/records-cost times single-reading durable commits in a
#    store that seals and one that does not, taking turns; --verify over a
#    week of readings (604 800); the event log window opened on 10 000 events.
#  - Alarm rules: bench/alarm-cost tells the alarm monitor of a reading and
#    its tick a million times on the real counter, with every rule off and
#    with all five on and nothing due; then one raise and one clear with
#    their journal lines.
#  - History: bench/history-cost commits 2000 readings alone with and without
#    their quarter-hour interval's upsert in the same transaction; opens the
#    History window on ten years of intervals (350 400) and changes what it
#    shows, each until painted; builds the intervals of a week's store
#    (604 800 readings) in transactions of 5000. Then tavelind --export
#    readings of that week, beside `sqlite3 -csv` writing the same table
#    (medians of 3), and the export's peak RSS for a week and for a day.
#  - Reference: bench/reference builds the least program on this stack (one
#    window, a QwtKnob, a QwtSlider, a QSerialPort open on the simulator's
#    pseudo-terminal); start-up, memory and idle CPU are taken from it in the
#    same run, so the ratios show what the instrument costs beyond the stack.
#  - MQTT: bench/mqtt-replay starts a mosquitto of its own on loopback and
#    replays a store of 86 400 readings with the program's outbox and client
#    (time, RSS, CPU, lateness of a 5 ms timer beside it), then times single
#    readings from the store's commit to a subscriber (p50/p99).
#  - Modbus: ten clients (plain sockets on one thread, benchlib/modbus.py)
#    each read the 18 registers ten times a second from tavelind for 30 s:
#    request-to-response p50/p99/max; before that, tavelind's RSS with no
#    client and with 100 connected, over 100: memory per client. The same ten
#    clients poll the window of cycle-latency for a cycle-latency run.
#
# Each program runs alone on its own private Xvfb display. The whole run takes
# about 10 minutes (21 with --long); keep the machine otherwise quiet.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
work="$build/bench-results"

args=()
for arg in "$@"; do
  case "$arg" in
    --long) args+=(--long) ;;
    -h|--help) sed -n '2,73p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/run.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

echo "bench: building (Release) in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVELIN_TESTS=OFF -DTAVELIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target tavelin tavelind tavelin-sim cycle-latency trend-cost store-commit alarm-cost mqtt-replay \
  history-cost records-cost \
  reference-program slow-calls >/dev/null

mkdir -p "$work"
xvfb_pid=""
cleanup() {
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A display of our own; Xvfb picks a free number and writes it to the pipe.
display_file="$work/display"
rm -f "$display_file"
exec {display_fd}>"$display_file"
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 2>"$work/xvfb.log" &
xvfb_pid=$!
exec {display_fd}>&-
for _ in $(seq 100); do
  [[ -s "$display_file" ]] && break
  sleep 0.1
done
[[ -s "$display_file" ]] || { echo "bench: Xvfb did not start (see $work/xvfb.log)" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
# The programs' settings and readings store: the bench's own, empty at each run.
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
rm -rf "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
unset STATE_DIRECTORY
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

cd "$root/bench"
python3 measure.py --bin "$build/bin" --work "$work" "${args[@]}"

# MQTT: a day's backlog replayed to a local broker, then reading-to-subscriber
# latency (name value unit lines).
echo
echo "MQTT (bench/mqtt_replay_main.cpp):"
"$build/bin/mqtt-replay"
