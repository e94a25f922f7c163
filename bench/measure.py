#!/usr/bin/env python3
"""Runs every measurement of the performance benchmark and prints one table.

Called by bench/run.sh, which builds the programs and provides the X display
(DISPLAY); see run.sh for what each figure means and how it is taken.
"""

import argparse
import datetime
import json
import os
import shutil
import sys

from benchlib import modbus, scenarios


BUSY_PROCESSES = 2  # beside the loaded latency run: a machine that is not quiet


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin", required=True,
                        help="folder with tavelin, tavelin-sim, cycle-latency, trend-cost, store-commit, alarm-cost, "
                             "history-cost, records-cost, reference-program")
    parser.add_argument("--work", required=True, help="folder for raw results")
    parser.add_argument("--long", action="store_true", help="time base over 10 minutes instead of 1")
    parser.add_argument("--cycles", type=int, default=320, help="timed sampling cycles (default 320)")
    parser.add_argument("--startup-runs", type=int, default=11)
    return parser.parse_args()


def ms(seconds):
    return seconds * 1000.0


def row(figure, measured, reference="", ratio="", target="", met=None):
    verdict = "" if met is None else ("yes" if met else "NO")
    return [figure, measured, reference, ratio, target, verdict]


def latency_row(figure, lat, target):
    if lat is None:
        return row(figure, "n/a", target=target)
    return row(figure, "%.2f/%.2f/%.2f ms" % (lat["p50"], lat["p99"], lat["max"]), target=target)


def trend_rows(lat, cost):
    full = cost["rss_ring_full"] - cost["rss_ring_reserved"]
    wrapped = cost["rss_ring_wrapped_twice"] - cost["rss_ring_full"]
    return [
        row("Cycle latency p50/p99, trend window open", "%.2f/%.2f ms" % (lat["p50"], lat["p99"]),
            target="report: beside the closed window's"),
        row("Trend ring, 86 400 points", "%.2f MiB" % (cost["ring_bytes"] / 1048576), target="report"),
        row("  RSS growth: filling it / two more rounds", "%d / %d KiB" % (full, wrapped), target="flat when full",
            met=wrapped <= 64),
        row("Trend redraw, 10 min / 24 h in view", "%.2f / %.2f ms" % (cost["redraw_10_min_view"],
                                                                      cost["redraw_24_h_view"]),
            target="report (after the cycle)"),
    ]


def store_rows(s, lat_off, lat_on, startup, startup_day):
    day_ratio = startup_day["tavelin"] / startup_day["reference"]
    def commit(journal):
        return "%.0f/%.0f us" % (s["commit_%s_p50" % journal], s["commit_%s_p99" % journal])
    return [
        row("Store commit p50/p99 (%d), WAL + NORMAL" % s["readings"], commit("wal_normal"), target="report"),
        row("Store commit p50/p99, WAL + FULL", commit("wal_full"),
            target="report: the journal used, on the writer's thread"),
        row("Store commit p50/p99, DELETE + FULL", commit("delete_full"), target="report"),
        row("Store file, one day (86 400 readings)", "%.1f MiB" % (s["day_file_bytes"] / 1048576), target="report"),
        row("  opening it / its totals text", "%.1f / %.1f ms" % (s["day_open"], s["day_totals"]), target="report"),
        row("Cycle latency p50/p99, store off / on (durable)", "%.2f/%.2f / %.2f/%.2f ms"
            % (lat_off["p50"], lat_off["p99"], lat_on["p50"], lat_on["p99"]), target="report: the store's cost"),
        row("Reading to durable p50/p99", "%.2f/%.2f ms" % (lat_on["durable_p50"], lat_on["durable_p99"]),
            target="report: the writer's sync"),
        row("Start-up, a day in the store (86 400)", "%.1f ms" % ms(startup_day["tavelin"]),
            "%.1f ms" % ms(startup_day["reference"]), "%.2fx" % day_ratio, "<= 1.10x", day_ratio <= 1.10),
        row("  beside an empty store", "%.1f ms" % ms(startup["tavelin"]), target="report"),
    ]


def records_rows(rc):
    def commits(kind):
        sealed, unsealed = rc["commit_%s_sealed_p99" % kind], rc["commit_%s_unsealed_p99" % kind]
        return [
            row("Durable commit p50/p99 (%d), %s, sealed / not" % (rc["readings"], kind), "%.0f/%.0f / %.0f/%.0f us"
                % (rc["commit_%s_sealed_p50" % kind], sealed, rc["commit_%s_unsealed_p50" % kind], unsealed), "",
                "%.2fx" % (sealed / unsealed), "p99 <= 1.10x", sealed <= 1.10 * unsealed),
            row("  processor's time per commit, sealed / not", "%.0f / %.0f us"
                % (rc["commit_%s_sealed_cpu_mean" % kind], rc["commit_%s_unsealed_cpu_mean" % kind]), target="report"),
        ]
    return commits("growing") + commits("steady") + [
        row("--verify, a week (%d readings)" % rc["verify_week_readings"], "%.2f s" % rc["verify_week"],
            target="< 5 s", met=rc["verify_week"] < 5.0),
        row("Event log window, 10 000 events: open", "%.1f ms" % rc["event_log_open_10000"], target="report"),
    ]


def service_rows(sv, window):
    rss_share = sv["rss_kib"] / window["rss_kib"]
    return [
        row("tavelind RSS / PSS, 60 s sampling + logging", "%.1f / %.1f MiB" % (sv["rss_kib"] / 1024,
                                                                         sv["pss_kib"] / 1024),
            "%.1f MiB" % (window["rss_kib"] / 1024), "%.2fx" % rss_share, "<= 0.33x and < 25 MiB",
            rss_share <= 1 / 3 and sv["rss_kib"] < 25 * 1024),
        row("tavelind CPU, sampling + logging + store", "%.3f s/min" % sv["cpu_per_min"],
            "%.3f s/min" % window["cpu_per_min"], "", "<= the window's", sv["cpu_per_min"] <= window["cpu_per_min"]),
        row("tavelind time base mean / max deviation (%d)" % sv["intervals"],
            "%.3f / %.3f ms" % (sv["mean_ms"], sv["max_deviation_ms"]), target="1000 +/- 0.1 / < 20 ms",
            met=abs(sv["mean_ms"] - 1000.0) <= 0.1 and sv["max_deviation_ms"] < 20.0),
    ]


def slow_lookup_rows(sl, sd):
    return [
        row("tavelind longest gap between read commands, each name lookup %.0f s (broker down, %d commands)"
            % (sl["lookup_ms"] / 1000.0, sl["commands"]), "%.0f ms" % sl["longest_gap_ms"],
            target="<= 1200 ms (no cycle waits on a lookup)", met=sl["longest_gap_ms"] <= 1200.0),
        row("  and each sync of the store %.0f ms (%d commands)" % (sd["fsync_ms"], sd["commands"]),
            "%.0f ms" % sd["longest_gap_ms"], target="<= 1200 ms (no cycle waits on the disk)",
            met=sd["longest_gap_ms"] <= 1200.0),
    ]


def alarm_rows(a):
    return [
        row("Alarm rules per cycle, off / all five on", "%.0f / %.0f ns" % (a["rules_off"], a["rules_all_five"]),
            target="report: beside the 50 ms cycle"),
        row("  a raise / a clear, with its journal line", "%.1f / %.1f us" % (a["raise_with_journal_line"],
                                                                          a["clear_with_journal_line"]),
            target="report"),
    ]


def mqtt_rows(lat, live, replay):
    return [
        row("Cycle latency p50/p99, MQTT on", "%.2f/%.2f ms" % (live["p50"], live["p99"]),
            target="p99 as without: %.2f ms" % lat["p99"]),
        row("  while 86 400 stored readings replay", "%.2f/%.2f ms" % (replay["p50"], replay["p99"]),
            target="p99 unchanged (<= 52 ms)", met=replay["p99"] <= 52.0 and replay["messages"] == 0),
    ]


def history_rows(h, e):
    ratio = e["tavelind_s"] / e["sqlite3_s"]
    return [
        row("Store commit p50/p99, without / with interval", "%.0f/%.0f / %.0f/%.0f us"
            % (h["commit_without_interval_p50"], h["commit_without_interval_p99"], h["commit_with_interval_p50"],
               h["commit_with_interval_p99"]), target="report: the interval's cost"),
        row("History window open, 350 400 intervals", "%.1f ms" % h["window_open"], target="<= 150 ms",
            met=h["window_open"] <= 150.0),
        row("  slowest change of what it shows", "%.1f ms" % h["window_change_slowest"], target="<= 150 ms",
            met=h["window_change_slowest"] <= 150.0),
        row("Export, %d readings (a week)" % e["rows"], "%.2f s" % e["tavelind_s"], "%.2f s" % e["sqlite3_s"],
            "%.2fx" % ratio, "<= 1.5x sqlite3 -csv", ratio <= 1.5),
        row("  peak RSS, a week / a day of readings", "%.1f / %.1f MiB" % (e["week_rss_kib"] / 1024,
                                                                         e["day_rss_kib"] / 1024),
            target="flat", met=e["week_rss_kib"] <= e["day_rss_kib"] * 1.1),
        row("Intervals of a week's store at first open", "%.0f ms" % h["build_week_intervals"], target="report"),
        row("  longest transaction (5000 readings)", "%.1f ms" % h["build_longest_transaction"], target="report"),
    ]


def modbus_rows(lat, service, beside):
    clients = beside["clients"]
    return [
        row("Modbus request to response p50/p99/max", "%.2f/%.2f/%.2f ms" % (service["p50"], service["p99"],
                                                                          service["max"]),
            target="report: 10 clients x 10/s, tavelind", met=service["failed"] == 0 and service["closed"] == 0),
        row("  beside the window's cycle (%d requests)" % clients["requests"],
            "%.2f/%.2f/%.2f ms" % (clients["p50"], clients["p99"], clients["max"]), target="report"),
        row("Cycle latency p50/p99, 10 Modbus clients", "%.2f/%.2f ms" % (beside["p50"], beside["p99"]),
            target="p99 as without: %.2f ms" % lat["p99"], met=beside["p99"] <= 52.0 and beside["messages"] == 0),
        row("Memory per connected Modbus client", "%.1f KiB" % service["kib_per_client"],
            target="report: RSS, %d clients" % service["held_clients"]),
    ]


def build_rows(r):
    lat, tb, st, ref, idle = r["latency"], r["sampling"], r["startup"], r["reference"], r["idle"]
    busy = r["latency_busy"]
    clean = all(run["without_display"] == 0 and run["messages"] == 0 for run in (lat, busy))
    start_ratio = st["tavelin"] / st["reference"]
    rss_ratio = tb["rss_kib"] / ref["rss_kib"]
    pss_ratio = tb["pss_kib"] / ref["pss_kib"]
    # Memory: no worse than the ratios the program had before (as printed).
    return [
        row("Cycle latency p50 (%d cycles)" % lat["cycles"], "%.2f ms" % lat["p50"], target="50 +/- 1 ms",
            met=abs(lat["p50"] - 50.0) <= 1.0 and clean),
        row("Cycle latency p99", "%.2f ms" % lat["p99"], target="<= 52 ms", met=lat["p99"] <= 52.0 and clean),
        row("Cycle latency max", "%.2f ms" % lat["max"], target="report"),
        row("  of it waiting for a processor, mean", "%.2f ms" % lat["mean_waited"], target="report"),
        latency_row("Cycle latency p50/p99/max, SCHED_FIFO", r["latency_reserved"], "report: own cost"),
        latency_row("Cycle latency p50/p99/max, 2 busy beside", busy, "report"),
        row("  of it waiting for a processor, mean", "%.2f ms" % busy["mean_waited"], target="report"),
        row("Cycles failed (no display / box)", "%d / %d" % (lat["without_display"] + busy["without_display"],
                                                            lat["messages"] + busy["messages"]),
            target="0 / 0", met=clean),
        row("Time base mean (%d intervals)" % tb["intervals"], "%.3f ms" % tb["mean_ms"],
            target="1000 +/- 0.1 ms", met=abs(tb["mean_ms"] - 1000.0) <= 0.1),
        row("Time base standard deviation", "%.3f ms" % tb["stdev_ms"], target="report"),
        row("Time base max deviation", "%.3f ms" % tb["max_deviation_ms"], target="< 20 ms",
            met=tb["max_deviation_ms"] < 20.0),
        row("Missed / doubled cycles", "%d / %d" % (tb["missed"], tb["doubled"]), target="0 / 0",
            met=tb["missed"] == 0 and tb["doubled"] == 0),
        row("Start-up, exec to window mapped", "%.1f ms" % ms(st["tavelin"]), "%.1f ms" % ms(st["reference"]),
            "%.2fx" % start_ratio, "<= 1.10x", start_ratio <= 1.10),
        row("RSS, 60 s sampling + logging", "%.1f MiB" % (tb["rss_kib"] / 1024), "%.1f MiB" % (ref["rss_kib"] / 1024),
            "%.2fx" % rss_ratio, "<= 1.10x", round(rss_ratio, 2) <= 1.10),
        row("PSS, 60 s sampling + logging", "%.1f MiB" % (tb["pss_kib"] / 1024), "%.1f MiB" % (ref["pss_kib"] / 1024),
            "%.2fx" % pss_ratio, "<= 1.16x", round(pss_ratio, 2) <= 1.16),
        row("CPU, sampling off", "%.3f s/min" % idle["cpu_per_min"], "%.3f s/min" % ref["cpu_per_min"], "",
            "< 0.05 s/min", idle["cpu_per_min"] < 0.05),
        row("CPU, sampling + logging + store on", "%.3f s/min" % tb["cpu_per_min"], "", "",
            "<= 0.2 s/min", tb["cpu_per_min"] <= 0.2),
    ] + trend_rows(r["latency_trend"], r["trend_cost"]) + store_rows(r["store_commit"], lat, r["latency_store"], st,
                                                                       r["startup_day"]) + service_rows(
        r["service"], r["sampling"]) + slow_lookup_rows(r["service_slow_lookup"], r["service_slow_disk"]) + alarm_rows(r["alarm_cost"]) + mqtt_rows(lat, r["latency_mqtt"],
                                                                      r["latency_mqtt_backlog"]) + history_rows(r["history_cost"], r["export_readings"]) + modbus_rows(
        lat, r["modbus_service"], r["latency_modbus"]) + records_rows(r["records_cost"])


def print_table(rows):
    header = ["Figure", "tavelin", "reference", "ratio", "target", "met"]
    widths = [max(len(str(line[i])) for line in [header] + rows) for i in range(len(header))]
    for line in [header, ["-" * w for w in widths]] + rows:
        print("  ".join(str(cell).ljust(w) for cell, w in zip(line, widths)).rstrip())


def main():
    args = parse_args()
    os.makedirs(args.work, exist_ok=True)
    binary = lambda name: os.path.join(args.bin, name)
    sim = binary("tavelin-sim")
    tavelin = [binary("tavelin"), "--port"]
    reference = [binary("reference-program")]
    seconds = 605 if args.long else 61
    load_before = os.getloadavg()

    results = {}
    empty_state = os.path.join(args.work, "state-empty")
    day_state = os.path.join(args.work, "state-day")
    for folder in (empty_state, day_state, os.path.join(args.work, "latency-store")):
        shutil.rmtree(folder, ignore_errors=True)
    steps = [
        ("startup", lambda: scenarios.startup(tavelin, reference, sim, args.startup_runs, empty_state)),
        ("fill_store", lambda: scenarios.fill_store(binary("store-commit"),
                                                    os.path.join(day_state, "tavelin", "readings.db"))),
        ("startup_day", lambda: scenarios.startup(tavelin, reference, sim, args.startup_runs, day_state)),
        ("latency_store", lambda: scenarios.cycle_latency(
            binary("cycle-latency"), sim, args.cycles, os.path.join(args.work, "cycle-latency-store.txt"),
            store=os.path.join(args.work, "latency-store", "readings.db"))),
        ("latency", lambda: scenarios.cycle_latency(binary("cycle-latency"), sim, args.cycles,
                                                   os.path.join(args.work, "cycle-latency.txt"))),
        ("latency_reserved", lambda: scenarios.cycle_latency(
            binary("cycle-latency"), sim, args.cycles, os.path.join(args.work, "cycle-latency-reserved.txt"),
            reserve_processor=True)),
        ("latency_trend", lambda: scenarios.cycle_latency(
            binary("cycle-latency"), sim, args.cycles, os.path.join(args.work, "cycle-latency-trend.txt"),
            trend=True)),
        ("trend_cost", lambda: scenarios.trend_cost(binary("trend-cost"))),
        ("latency_mqtt", lambda: scenarios.cycle_latency_mqtt(binary("cycle-latency"), sim, binary("store-commit"),
                                                              args.cycles, args.work, backlog=False)),
        ("latency_mqtt_backlog", lambda: scenarios.cycle_latency_mqtt(
            binary("cycle-latency"), sim, binary("store-commit"), args.cycles, args.work, backlog=True)),
        ("latency_modbus", lambda: modbus.cycle_latency(binary("cycle-latency"), sim, args.cycles,
                                                        os.path.join(args.work, "cycle-latency-modbus.txt"))),
        ("modbus_service", lambda: modbus.service_latency(binary("tavelind"), sim, args.work, 30)),
        ("store_commit", lambda: scenarios.store_commit(binary("store-commit"), args.work)),
        ("alarm_cost", lambda: scenarios.alarm_cost(binary("alarm-cost"))),
        ("history_cost", lambda: scenarios.history_cost(binary("history-cost"), args.work)),
        ("export_readings", lambda: scenarios.export_readings(binary("history-cost"), binary("tavelind"), args.work)),
        ("records_cost", lambda: scenarios.records_cost(binary("records-cost"), args.work)),
        ("latency_busy", lambda: scenarios.cycle_latency(
            binary("cycle-latency"), sim, args.cycles, os.path.join(args.work, "cycle-latency-busy.txt"),
            busy=BUSY_PROCESSES)),
        ("reference", lambda: scenarios.idle(reference, sim, 60)),
        ("idle", lambda: scenarios.idle(tavelin, sim, 60)),
        ("sampling", lambda: scenarios.sampling(tavelin, sim, args.work, seconds, 60)),
        ("service", lambda: scenarios.service(binary("tavelind"), sim, args.work, seconds, 60)),
        ("service_slow_lookup", lambda: scenarios.service_slow_lookup(
            binary("tavelind"), sim, os.path.join(args.bin, os.pardir, "lib", "libslow-calls.so"), args.work, 30)),
        ("service_slow_disk", lambda: scenarios.service_slow_lookup(
            binary("tavelind"), sim, os.path.join(args.bin, os.pardir, "lib", "libslow-calls.so"), args.work, 30,
            fsync_ms=400)),
    ]
    for name, step in steps:
        print("bench: %s ..." % name, file=sys.stderr, flush=True)
        results[name] = step()
    results["load_before"] = load_before
    results["load_after"] = os.getloadavg()
    with open(os.path.join(args.work, "results.json"), "w") as out:
        json.dump(results, out, indent=2)

    print()
    print("tavelin performance, %s, %d cores, load average %.2f before / %.2f after, time base over %d s"
          % (datetime.date.today().isoformat(), os.cpu_count(), load_before[0], results["load_after"][0],
             seconds - 1))
    print()
    print_table(build_rows(results))
    print()
    print("Log rows written during the run: %d (one a second); raw results in %s"
          % (results["sampling"]["log_rows"], args.work))


if __name__ == "__main__":
    main()
