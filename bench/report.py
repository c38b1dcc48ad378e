#!/usr/bin/env python3
"""Writes the ratio table of docs/benchmarks.md.

report.py APPLY.json TICK.json WINE.txt

APPLY.json and TICK.json are Google Benchmark output; WINE.txt holds the "key value..." lines
of bench/wine_bench.sh. Every figure is a ratio of a measurement over its baseline taken in the
same run; pairs are formed run by run, and the table gives the median of the paired ratios with
their min and max, beside the medians of both sides.
"""
import json
import statistics
import sys

UNIT_NS = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}

# (what is measured, its benchmark, the baseline's benchmark, what the baseline is, unit, scale)
BENCHMARK_RATIOS = [
    ("apply", "确定 (apply): durable write with flush and rename", "durableApply", "plainWrite",
     "plain unflushed write of the same bytes", "µs", 1e3),
    ("tick", "one `oneSecondTick` (fake run time): event check, countdown, caption",
     "oneTick", "setCountdownText",
     "one fake-run-time `setText` of 标签7 with a caption made beforehand", "ns", 1),
]


def runs(data, name):
    """Real time of each repetition of one benchmark, in nanoseconds."""
    times = [b["real_time"] * UNIT_NS[b["time_unit"]]
             for b in data["benchmarks"]
             if b.get("run_type") == "iteration" and b["run_name"].split("/")[0] == name]
    if not times:
        sys.exit(f"report.py: no runs of {name}")
    return times


def read_wine(path):
    lines = [line.split() for line in open(path, encoding="utf-8") if line.strip()]
    info = {w[1]: " ".join(w[2:]) for w in lines if w[0] == "info"}
    startup = {"rudi": [], "minimal": []}
    memory = {}  # (phase, program) -> [(rss, anon) per repetition]
    idle = {}  # program -> [(seconds, switches, cpu_ns) per sample]
    size = {}
    for w in lines:
        if w[0] == "startup":
            startup[w[1]].append((float(w[2]), float(w[3])))
        elif w[0] == "memory":
            memory.setdefault((w[2], w[3]), []).append((int(w[4]), int(w[5])))
        elif w[0] == "idle":
            idle.setdefault(w[1], []).append((float(w[3]), int(w[4]), int(w[5])))
        elif w[0] == "size":
            size[w[1]] = int(w[2])
    return info, startup, memory, idle, size


def fmt(value):
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    return f"{value:.2f}"


class Table:
    def __init__(self):
        self.rows = []
        self.spread = []  # figures whose paired ratios vary by more than a third

    def add(self, what, base_what, measured, baseline, unit):
        """One row from paired measurements (measured[i] goes with baseline[i])."""
        pairs = [(a, b) for a, b in zip(measured, baseline) if b > 0]
        ratios = sorted(a / b for a, b in pairs)
        m, b = statistics.median(measured), statistics.median(baseline)
        cells = [what, base_what, f"{fmt(m)} {unit}", f"{fmt(b)} {unit}"]
        if ratios:
            cells += [f"{statistics.median(ratios):.2f}", f"{ratios[0]:.2f}",
                      f"{ratios[-1]:.2f}", str(len(ratios))]
            if ratios[0] > 0 and ratios[-1] / ratios[0] > 4 / 3:
                self.spread.append(what)
        else:
            cells += ["—", "—", "—", f"0 of {len(measured)}"]
        self.rows.append(cells)

    def print(self):
        print("| figure | baseline | measured (median) | baseline (median) "
              "| ratio median | min | max | pairs |")
        print("|---|---|---|---|---|---|---|---|")
        for cells in self.rows:
            print("| " + " | ".join(cells) + " |")


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: report.py APPLY.json TICK.json WINE.txt")
    benchmarks = {"apply": json.load(open(sys.argv[1])), "tick": json.load(open(sys.argv[2]))}
    info, startup, memory, idle, size = read_wine(sys.argv[3])

    table = Table()
    for key, what, name, base, base_what, unit, scale in BENCHMARK_RATIOS:
        data = benchmarks[key]
        table.add(what, base_what, [t / scale for t in runs(data, name)],
                  [t / scale for t in runs(data, base)], unit)

    rudi_starts, minimal_starts = startup["rudi"], startup["minimal"]
    table.add("start-up to the main window shown (`IsWindowVisible`), rudi.exe",
              "minimal_window.exe, started in turn with it",
              [s for s, _ in rudi_starts], [s for s, _ in minimal_starts], "ms")
    table.add("start-up to ready (first wait for input after the window is shown), rudi.exe",
              "minimal_window.exe, the same way",
              [r for _, r in rudi_starts], [r for _, r in minimal_starts], "ms")

    phases = [("start", "2 s after start"),
              ("rest", "rest window shown (2 s after it came)"),
              ("after_rest", "after the rest window came and went (closed, then 2 s)")]
    for phase, when in phases:
        rudi, minimal = memory[(phase, "rudi")], memory[(phase, "minimal")]
        for index, name in ((0, "working set (VmRSS)"), (1, "private (RssAnon)")):
            table.add(f"memory, {name}, {when}", "minimal_window.exe, read at the same moment",
                      [m[index] / 1024 for m in rudi], [m[index] / 1024 for m in minimal], "MiB")

    def per_second(program, field):
        return [sample[field] / sample[0] for sample in idle[program]]

    ticking = "ticking_window.exe (1000 ms timer, one label set per tick)"
    for program, state in (("shown", "main window shown"), ("hidden", "main window hidden")):
        table.add(f"idle wake-ups (context switches), rudi.exe, {state}", ticking,
                  per_second(program, 1), per_second("ticking", 1), "/s")
    table.add("idle wake-ups (context switches), rudi.exe, main window shown",
              "minimal_window.exe (no timer)",
              per_second("shown", 1), per_second("minimal", 1), "/s")
    for program, state in (("shown", "main window shown"), ("hidden", "main window hidden")):
        table.add(f"idle CPU time, rudi.exe, {state}", ticking,
                  [c / 1e3 for c in per_second(program, 2)],
                  [c / 1e3 for c in per_second("ticking", 2)], "µs/s")

    table.add("size of the release executable, rudi.exe", "minimal_window.exe",
              [size["rudi"] / 1024], [size["minimal"] / 1024], "KiB")

    ctx = benchmarks["tick"]["context"]
    idle_seconds = sum(s[0] for s in idle["shown"])
    idle_sample = idle_seconds / len(idle["shown"])
    repetitions = min(len(runs(benchmarks[key], name)) for key, _, name, *_ in BENCHMARK_RATIOS)
    print("# Benchmarks\n")
    print("Each figure is measured against a baseline in the same run, on the same machine; the")
    print("ratio is the measured value over the baseline's. Measurements are paired run by run")
    print("(repetition i of each benchmark; start i of each program, started in turn; memory")
    print("run i, both programs at once; idle sample i, all programs at once), and the table")
    print("gives the median of the paired ratios with their min and max.\n")
    print("Command: `bash bench/run.sh`\n")
    print(f"Machine: {info.get('cpu', '?')}, {ctx.get('num_cpus')} CPUs at "
          f"{ctx.get('mhz_per_cpu')} MHz, shared with other work; {info.get('wine', 'Wine')} "
          f"on Xvfb. Run on {ctx.get('date')}. Load average (1, 5, 15 min) "
          f"{info.get('load_before', '?')} before the Wine measurements, "
          f"{info.get('load_after', '?')} after.\n")
    table.print()
    print()
    print("How each figure is taken:\n")
    print("- 确定 and the tick: Google Benchmark in the `native` preset (a Debug build, as the")
    print(f"  unit tests run), {repetitions} repetitions each, in random order for the tick. The")
    print("  tick is the path of every second but the one that brings the rest window; its")
    print("  baseline is the one write every tick must make, the countdown caption into its")
    print("  label, so the ratio is what the event check and the caption cost on top of it.")
    print("- Start-up: `bench_driver` (a Wine program) starts each program with `CreateProcessW`,")
    print("  strictly in turn with the other, after one uncounted start of each in a warmed")
    print("  session; it looks for the main window's class every 5 ms (`FindWindowExW`,")
    print("  `IsWindowVisible`), then waits for the first idle moment (`WaitForInputIdle`),")
    print("  which comes once the shown window has been painted. Each program is ended its own")
    print("  way before the next start. Both are `windows-release` builds.")
    print("- Memory: read from the Linux side, from `/proc/PID/status` of the Wine process that")
    print("  carries each program (`VmRSS` as the working set, `RssAnon` as the private bytes):")
    print("  under Wine, `GetProcessMemoryInfo` reports no private bytes. rudi.exe runs with an")
    print("  interval of 1 minute; its rest window is closed with `WM_CLOSE`.")
    print(f"- Idle: the four programs run at once for {idle_seconds:.0f} s after a 5 s settling,")
    print(f"  read every {idle_sample:.0f} s: the voluntary and involuntary context switches of")
    print("  all threads (`/proc/PID/task/*/status`) and their CPU time (`schedstat`). rudi.exe")
    print("  has the supplied 45-minute interval; \"hidden\" is after its 取消 button.")
    minimal_wakes = sum(sample[1] for sample in idle["minimal"])
    print(f"  minimal_window.exe switched {minimal_wakes} times in {idle_seconds:.0f} s, so")
    print("  rudi's wake-ups are also given against ticking_window.exe, the same window with")
    print("  a once-a-second countdown label.")
    print("- Size: the stripped, size-optimised `windows-release` executables; one measurement.")
    if table.spread:
        print()
        print("Noisy figures, whose largest paired ratio is more than 4/3 of the smallest (the")
        print("machine is shared by several people; take these as rough):\n")
        for what in table.spread:
            print(f"- {what}")


main()
