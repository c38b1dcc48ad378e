#!/usr/bin/env bash
# wine_bench.sh OUT WINDOWS_BUILD_DIR NATIVE_EDB
#
# The measurements of rudi.exe under Wine, each against minimal_window.exe in the same session:
# start-up, memory, idle wake-ups and size. Appends "key value..." lines to OUT for report.py.
# Runs in a Wine prefix of its own (RUDI_WINEPREFIX, default build/wineprefix-bench) on an Xvfb
# of its own. Memory and wake-ups are read from the Linux side, from the Wine process that
# carries each Windows program (/proc/PID/status, /proc/PID/task/*/status and schedstat):
# under Wine, GetProcessMemoryInfo reports no private bytes and counts Wine's own DLLs.
#
# BENCH_STARTUP_RUNS (15), BENCH_IDLE_SECONDS (60), BENCH_IDLE_SAMPLE (10) and
# BENCH_MEMORY_REPS (3) set the size of the run.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 OUT WINDOWS_BUILD_DIR NATIVE_EDB" >&2
  exit 2
fi
out=$(realpath "$1")
build=$(realpath "$2")
edb=$(realpath "$3")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export RUDI_WINEPREFIX=${RUDI_WINEPREFIX:-$root/build/wineprefix-bench}
startup_runs=${BENCH_STARTUP_RUNS:-15}
idle_seconds=${BENCH_IDLE_SECONDS:-60}
idle_sample=${BENCH_IDLE_SAMPLE:-10}
memory_reps=${BENCH_MEMORY_REPS:-3}

source "$root/scripts/wine/env.sh"
"$root/scripts/wine/prefix.sh"
# A display of our own: never someone else's $DISPLAY.
unset DISPLAY
source "$root/scripts/wine/xvfb.sh"
rudi_ensure_display

rudi_exe=$build/rudi.exe
minimal_exe=$build/bench/minimal_window.exe
ticking_exe=$build/bench/ticking_window.exe
driver_exe=$build/bench/bench_driver.exe
supplied=$build/配置.edb
for f in "$rudi_exe" "$minimal_exe" "$ticking_exe" "$driver_exe" "$supplied"; do
  [ -f "$f" ] || { echo "wine_bench.sh: missing $f" >&2; exit 1; }
done

work=$build/bench-work
rm -rf "$work"
mkdir -p "$work"
log=$work/wine.log
: >"$log"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A program folder: the executable, and for rudi a 配置.edb (the supplied one, or with the
# given interval in minutes).
folder() { # NAME EXE [INTERVAL]
  mkdir -p "$work/$1"
  cp "$2" "$work/$1/"
  if [ "$(basename "$2")" = rudi.exe ]; then
    cp "$supplied" "$work/$1/配置.edb"
    if [ $# -eq 3 ]; then
      "$edb" set "$work/$1/配置.edb" 提示频率 "$3" >/dev/null
    fi
  fi
  echo "$work/$1/$(basename "$2")"
}

# The driver's output goes to a file: the programs it starts may keep its descriptors.
driver() {
  "$rudi_wine" "$driver_exe" "$@" </dev/null >"$work/driver.out" 2>>"$log" || {
    echo "wine_bench.sh: bench_driver $* failed; see $log" >&2
    cat "$log" >&2
    return 1
  }
  tr -d '\r' <"$work/driver.out"
}

# The Linux process carrying the Windows program EXE (its command line starts with EXE's
# Windows path) in our prefix.
linux_pid() { # EXE
  local want p
  want=$(winpath "$1")
  for p in $(pgrep -f "$(basename "$1")"); do
    [ "$(tr '\0' '\n' 2>/dev/null <"/proc/$p/cmdline" | head -n1)" = "$want" ] || continue
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "$p"
    return 0
  done
  echo "wine_bench.sh: no Linux process for $1" >&2
  return 1
}

# Started programs: Windows pid and Linux pid by name, ended at the close if still running.
declare -A win_pid linux_pid_of
start() { # NAME EXE [ARG]
  local line
  line=$(driver start "$(winpath "$2")" ${3:+"$3"})
  win_pid[$1]=${line#pid }
  linux_pid_of[$1]=$(linux_pid "$2")
}
stop() { # NAME
  driver end "${win_pid[$1]}" >/dev/null || true
  unset "win_pid[$1]" "linux_pid_of[$1]"
}
stop_all() {
  local name
  for name in "${!linux_pid_of[@]}"; do
    kill "${linux_pid_of[$name]}" 2>/dev/null || true
  done
}
rudi_at_exit stop_all

# Kilobytes of resident memory (VmRSS, the working set) and of its anonymous part (RssAnon,
# the private bytes).
memory_of() { awk '/^VmRSS:/{r=$2} /^RssAnon:/{a=$2} END{print r, a}' "/proc/$1/status"; }
# Context switches (voluntary and involuntary) of all threads, and their CPU time in ns.
switches_of() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches:/{s+=$2} END{print s}'
}
cpu_ns_of() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s+=$1} END{printf "%d\n", s}'; }
now() { date +%s.%N; }

{
  echo "info wine $("$rudi_wine" --version 2>/dev/null)"
  echo "info cpu $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
  echo "info cores $(nproc)"
  echo "info load_before $(cut -d' ' -f1-3 /proc/loadavg)"
} >>"$out"

# Warm the session: the server up, the desktop's explorer on our display, one start of each.
"$rudi_wineserver" -p60 </dev/null >/dev/null 2>&1 || true
"$rudi_wine" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true

echo "wine_bench: start-up, $startup_runs runs each" >&2
rudi=$(folder startup-rudi "$rudi_exe")
minimal=$(folder startup-minimal "$minimal_exe")
driver startup "$startup_runs" "$(winpath "$rudi")" "$(winpath "$minimal")" >>"$out"

echo "wine_bench: idle wake-ups, ${idle_seconds} s" >&2
start idle-shown "$(folder idle-shown "$rudi_exe")"
start idle-hidden "$(folder idle-hidden "$rudi_exe")"
driver hide "${win_pid[idle-hidden]}" >/dev/null
start idle-minimal "$(folder idle-minimal "$minimal_exe")"
start idle-ticking "$(folder idle-ticking "$ticking_exe")"
sleep 5 # past the start: the first ticks, the first paints
idle=(idle-shown idle-hidden idle-minimal idle-ticking)
declare -A last_switches last_cpu
t0=$(now)
for name in "${idle[@]}"; do
  last_switches[$name]=$(switches_of "${linux_pid_of[$name]}")
  last_cpu[$name]=$(cpu_ns_of "${linux_pid_of[$name]}")
done
for ((i = 0; i < idle_seconds / idle_sample; i++)); do
  sleep "$idle_sample"
  t1=$(now)
  for name in "${idle[@]}"; do
    s=$(switches_of "${linux_pid_of[$name]}")
    c=$(cpu_ns_of "${linux_pid_of[$name]}")
    echo "idle ${name#idle-} $i $(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b - a}') \
$((s - last_switches[$name])) $((c - last_cpu[$name]))" >>"$out"
    last_switches[$name]=$s
    last_cpu[$name]=$c
  done
  t0=$t1
done
for name in "${idle[@]}"; do
  stop "$name"
done

echo "wine_bench: memory, $memory_reps runs of about 70 s" >&2
for ((r = 0; r < memory_reps; r++)); do
  start mem-rudi "$(folder "memory-rudi-$r" "$rudi_exe" 1)"
  start mem-minimal "$(folder "memory-minimal-$r" "$minimal_exe")"
  sleep 2
  echo "memory $r start rudi $(memory_of "${linux_pid_of[mem-rudi]}")" >>"$out"
  echo "memory $r start minimal $(memory_of "${linux_pid_of[mem-minimal]}")" >>"$out"
  # The rest window comes when the minute is up.
  driver wait "${win_pid[mem-rudi]}" rudi.RestWindow 120 >/dev/null
  sleep 2
  echo "memory $r rest rudi $(memory_of "${linux_pid_of[mem-rudi]}")" >>"$out"
  echo "memory $r rest minimal $(memory_of "${linux_pid_of[mem-minimal]}")" >>"$out"
  driver close "${win_pid[mem-rudi]}" rudi.RestWindow >/dev/null
  driver gone "${win_pid[mem-rudi]}" rudi.RestWindow 10 >/dev/null
  sleep 2
  echo "memory $r after_rest rudi $(memory_of "${linux_pid_of[mem-rudi]}")" >>"$out"
  echo "memory $r after_rest minimal $(memory_of "${linux_pid_of[mem-minimal]}")" >>"$out"
  stop mem-rudi
  stop mem-minimal
done

{
  echo "size rudi $(stat -c %s "$rudi_exe")"
  echo "size minimal $(stat -c %s "$minimal_exe")"
  echo "info load_after $(cut -d' ' -f1-3 /proc/loadavg)"
} >>"$out"
