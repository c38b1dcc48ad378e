#!/usr/bin/env bash
# Makes the test prefix once (guarded by a lock, so parallel tests wait for the first one).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.rudi-ready" ]; then
  "$rudi_wine" wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
  touch "$WINEPREFIX/.rudi-ready"
fi
