#!/usr/bin/env bash
# Builds rudi.exe and runs it under Wine: on your desktop when DISPLAY is set and reachable,
# otherwise on a headless X server, where a screenshot of the first seconds is saved.
# The program runs from build/run/, which keeps its 配置.edb between runs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release --target rudi supplied_configuration

run=build/run
mkdir -p "$run"
cp build/windows-release/rudi.exe "$run/"
[ -f "$run/配置.edb" ] || cp build/windows-release/配置.edb "$run/"

source scripts/wine/env.sh
source scripts/wine/xvfb.sh
scripts/wine/prefix.sh

if rudi_display_reachable "${DISPLAY:-}"; then
  echo "run: rudi.exe on $DISPLAY; end it with the tray menu's 退出 or by closing its window"
  cd "$run" && exec "$rudi_wine" rudi.exe
fi

rudi_ensure_display
echo "run: no display; rudi.exe on a headless X server ($DISPLAY)"
(cd "$run" && exec "$rudi_wine" rudi.exe) &
rudi=$!
sleep "${RUDI_RUN_SECONDS:-6}"
shot=$PWD/$run/screenshot.png
scripts/wine/screenshot.sh "$shot"
echo "run: screenshot saved to $shot"
"$rudi_wineserver" -k 2>/dev/null || true
wait "$rudi" 2>/dev/null || true
