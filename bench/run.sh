#!/usr/bin/env bash
# Runs the benchmarks and writes docs/benchmarks.md: every figure is a ratio against a baseline
# measured in the same run, given as median with min and max over the repetitions.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target apply_bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build/native/bench/apply_bench --benchmark_repetitions=15 --benchmark_min_time=0.2 \
  --benchmark_format=json >"$out/apply.json"
python3 bench/report.py "$out/apply.json" >docs/benchmarks.md
cat docs/benchmarks.md
