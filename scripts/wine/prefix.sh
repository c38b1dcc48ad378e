#!/usr/bin/env bash
# Makes and configures the test prefix. The first caller builds it under a lock while parallel
# callers wait; once the stamp matches this script and prefix.reg, a call returns at once. A
# changed configuration is applied again to the existing prefix.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"

stamp=$WINEPREFIX/.rudi-prefix-stamp
want=$(cat "$here/prefix.sh" "$here/prefix.reg" | sha1sum | cut -d' ' -f1)
[ "$(cat "$stamp" 2>/dev/null)" = "$want" ] && exit 0

mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
[ "$(cat "$stamp" 2>/dev/null)" = "$want" ] && exit 0

log=$WINEPREFIX.log
: >"$log"
fail() {
  echo "prefix.sh: $*; Wine's output is in $log" >&2
  exit 1
}
# Every Wine process started here gets the lock's descriptor closed: the server and the
# services it starts outlive this script and would otherwise hold the lock for a minute.
wine_quiet() { "$rudi_wine" "$@" </dev/null >>"$log" 2>&1 9>&-; }

if [ ! -f "$WINEPREFIX/.rudi-booted" ]; then
  wine_quiet wineboot -i || fail "wineboot -i failed"
  # The session that made the prefix is let go before anything else runs: it keeps an explorer
  # with no display and a second service manager, under which COM's RpcSs never starts and
  # every explorer then waits 10 s. Its server (not persistent) ends with its processes.
  "$rudi_wineserver" -w 9>&- || true
  touch "$WINEPREFIX/.rudi-booted"
fi

# Started here with its output elsewhere: a server started by a test's own Wine process would
# hold the test's output pipe open and keep ctest waiting until the server ends.
"$rudi_wineserver" -p"${RUDI_WINESERVER_LINGER:-60}" </dev/null >/dev/null 2>&1 9>&- || true

# Wine's console tools write to a pipe in the OEM code page (936 here).
wine_text() { "$rudi_wine" "$@" </dev/null 2>>"$log" 9>&- | iconv -f GBK -t UTF-8 | tr -d '\r'; }

# prefix.reg is UTF-16LE with a byte-order mark: regedit reads a UTF-8 file in the ANSI code
# page, and the Chinese face names would arrive garbled.
wine_quiet regedit /S "Z:${here//\//\\}\\prefix.reg" || fail "regedit could not import prefix.reg"
query=$(wine_text reg query 'HKCU\Software\Wine\Fonts\Replacements' /v 宋体)
grep -q '宋体.*REG_SZ.*WenQuanYi Micro Hei Mono' <<<"$query" ||
  fail "the font replacement for 宋体 did not arrive: $query"

# Caption buttons come from Marlett; without it they show letters.
install -m 644 /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"

# Windows always has a per-user Startup folder; create it where Wine's shell looks for it.
startup_win=$(wine_text reg query \
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Startup |
  sed -n 's/^ *Startup *REG_SZ *//p')
[ -n "$startup_win" ] || fail "no Startup entry under Shell Folders"
startup_unix=$(wine_text winepath -u "$startup_win")
[ -n "$startup_unix" ] || fail "winepath could not translate $startup_win"
mkdir -p "$startup_unix"
startup_unix=$(realpath "$startup_unix")
printf '%s\n' "$startup_unix" >"$WINEPREFIX/.rudi-startup-dir"

printf '%s\n' "$want" >"$stamp.tmp"
mv -f "$stamp.tmp" "$stamp"
