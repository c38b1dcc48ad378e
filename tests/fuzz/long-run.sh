#!/usr/bin/env bash
# long-run.sh [RUNS [TARGET...]]: the long fuzzing session, by hand. Each target (all three when
# none is named) tries RUNS inputs (10,000,000 by default) under ASan and UBSan, starting from a
# scratch copy of its corpus; the inputs that reached new code are then merged back into
# tests/fuzz/corpus/<target>, so that CI's replay covers them. Prints, per target, the inputs
# tried, the time taken and the coverage reached; stops at the first finding (libFuzzer leaves
# the crashing input as crash-*/leak-*/timeout-* in the scratch folder, named in its output).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
runs=${1:-10000000}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(edb_reader_fuzz midi_file_fuzz texts_fuzz)

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

scratch=build/fuzz/long-run
mkdir -p "$scratch"
for target in "${targets[@]}"; do
  exe=build/fuzz/tests/fuzz/$target
  corpus=tests/fuzz/corpus/$target
  work=$scratch/$target
  rm -rf "$work"
  cp -r "$corpus" "$work"
  log=$scratch/$target.log
  started=$(date +%s)
  (cd "$scratch" && "../tests/fuzz/$target" -runs="$runs" -max_len=4096 -print_final_stats=1 \
    "$target") >"$log" 2>&1 || {
    echo "$target: a finding, see $log" >&2
    tail -40 "$log" >&2
    exit 1
  }
  seconds=$(($(date +%s) - started))
  # Only inputs that add coverage to what the repository keeps go back into it.
  "$exe" -merge=1 "$corpus" "$work" >"$scratch/$target.merge.log" 2>&1
  done_line=$(grep -E '^#[0-9]+\s+DONE' "$log" | tail -1)
  echo "$target: $runs inputs in ${seconds} s, no finding; final: $done_line;" \
    "corpus in the repository: $(find "$corpus" -type f | wc -l) files," \
    "$(du -sk "$corpus" | cut -f1) KiB"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
done
