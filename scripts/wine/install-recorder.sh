#!/usr/bin/env bash
# install-recorder.sh PREFIX EXE [LOG]
# Puts the shutdown recorder EXE in place of the prefix's system32\shutdown.exe and makes Wine
# run it: Wine keeps using its built-in stub until the prefix has a native override. An empty
# PREFIX means the test prefix (made first if need be). With LOG (a Linux or Windows path),
# recorder-log-path.txt beside the recorder names its log; RUDI_RECORDER_LOG in the environment
# of the program under test still takes precedence. Cheap when already installed, so a test may
# call it every time (an update of the prefix by a newer Wine puts the stub back).
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 PREFIX EXE [LOG]" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"
if [ -z "$1" ]; then
  "$here/prefix.sh"
else
  WINEPREFIX=$(realpath "$1")
  export WINEPREFIX
fi
exe=$2
system32=$WINEPREFIX/drive_c/windows/system32
[ -d "$system32" ] || { echo "install-recorder.sh: $WINEPREFIX is not a Wine prefix" >&2; exit 1; }
[ -f "$exe" ] || { echo "install-recorder.sh: no such file: $exe" >&2; exit 1; }

exec 9>"$WINEPREFIX.recorder.lock"
flock 9
# The server is started here, apart from the caller's output (see prefix.sh).
"$rudi_wineserver" -p"${RUDI_WINESERVER_LINGER:-60}" </dev/null >/dev/null 2>&1 9>&- || true
cmp -s "$exe" "$system32/shutdown.exe" || install -m 755 "$exe" "$system32/shutdown.exe"
if [ $# -eq 3 ]; then
  printf '%s\r\n' "$3" >"$system32/recorder-log-path.txt"
fi

key='HKCU\Software\Wine\DllOverrides'
overridden() {
  "$rudi_wine" reg query "$key" /v shutdown.exe </dev/null 2>/dev/null 9>&- | tr -d '\r' |
    grep -q 'shutdown\.exe *REG_SZ *native$'
}
if ! overridden; then
  "$rudi_wine" reg add "$key" /v shutdown.exe /d native /f </dev/null >/dev/null 2>&1 9>&-
  overridden || { echo "install-recorder.sh: the native override did not arrive" >&2; exit 1; }
fi
