#!/usr/bin/env bash
# Runs the benchmarks and writes docs/benchmarks.md: every figure is a ratio against a baseline
# measured in the same run, given as median with min and max over the repetitions.
#
# Natively (the `native` preset, Google Benchmark): 确定 and the one-second tick. Under Wine
# (the `windows-release` preset, in the prefix build/wineprefix-bench on an Xvfb of its own):
# start-up, memory, idle wake-ups and size of rudi.exe against minimal_window.exe (bench/
# wine_bench.sh). About six minutes after the builds, most of it waiting for rest windows and
# idle seconds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
# The Windows build's own Wine steps (the supplied 配置.edb) and the measurements share this
# prefix, apart from the one the tests use.
export RUDI_WINEPREFIX=${RUDI_WINEPREFIX:-$PWD/build/wineprefix-bench}

cmake --preset native >/dev/null
cmake --build --preset native -j2 --target apply_bench tick_bench edb
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release -j2 --target rudi supplied_configuration minimal_window \
  ticking_window bench_driver

# The raw measurements stay here for a look after the run.
out=build/bench-results
rm -rf "$out"
mkdir -p "$out"
# The native benchmarks first, before any Wine program runs beside them.
build/native/bench/apply_bench --benchmark_repetitions=15 --benchmark_min_time=0.2 \
  --benchmark_format=json >"$out/apply.json"
build/native/bench/tick_bench --benchmark_repetitions=15 --benchmark_min_time=0.2 \
  --benchmark_enable_random_interleaving=true --benchmark_format=json >"$out/tick.json"
bash bench/wine_bench.sh "$out/wine.txt" build/windows-release build/native/tools/edb/edb
python3 bench/report.py "$out/apply.json" "$out/tick.json" "$out/wine.txt" >"$out/benchmarks.md"
cp "$out/benchmarks.md" docs/benchmarks.md
cat docs/benchmarks.md
