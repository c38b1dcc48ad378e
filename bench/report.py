#!/usr/bin/env python3
"""Turns Google Benchmark JSON into the ratio table of docs/benchmarks.md."""
import json
import statistics
import sys

# (what is measured, its benchmark, the baseline's benchmark, what the baseline is)
RATIOS = [
    ("确定 (apply): durable write with flush and rename", "durableApply", "plainWrite",
     "plain unflushed write of the same bytes"),
]


def runs(data, name):
    """Real time of each repetition of one benchmark, in nanoseconds."""
    times = [b["real_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
             for b in data["benchmarks"]
             if b.get("run_type") == "iteration" and b["run_name"].split("/")[0] == name]
    if not times:
        sys.exit(f"report.py: no runs of {name}")
    return times


def main():
    data = json.load(open(sys.argv[1]))
    print("# Benchmarks\n")
    print("Each figure is measured against a baseline in the same run, on the same machine; the")
    print("ratio is the measured time over the baseline's (median, with min and max over the")
    print("repetitions, pairing repetition i of each).\n")
    print("Command: `bash bench/run.sh`\n")
    ctx = data["context"]
    print(f"Machine: {ctx.get('num_cpus')} CPUs at {ctx.get('mhz_per_cpu')} MHz, "
          f"run on {ctx.get('date')}.\n")
    print("| figure | baseline | measured (median) | baseline (median) | ratio median | min | max |")
    print("|---|---|---|---|---|---|---|")
    for what, name, base, base_what in RATIOS:
        a, b = runs(data, name), runs(data, base)
        ratios = sorted(x / y for x, y in zip(a, b))
        print(f"| {what} | {base_what} | {statistics.median(a) / 1e3:.1f} µs | "
              f"{statistics.median(b) / 1e3:.1f} µs | {statistics.median(ratios):.2f} | "
              f"{ratios[0]:.2f} | {ratios[-1]:.2f} |")


main()
