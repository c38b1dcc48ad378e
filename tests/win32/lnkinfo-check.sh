#!/usr/bin/env bash
# The Startup shortcut as written by the program, read with Debian's lnkinfo: target,
# description, and the show command (lnkinfo always prints 0 for it, so it is read from the
# link header at offset 0x3C). The folders' names need Unicode.
set -euo pipefail
tool=$1
work=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/wine/env.sh"
"$here/../../scripts/wine/prefix.sh"
rm -rf "$work" && mkdir -p "$work/启动 ü" "$work/程序 目录"
link="$work/启动 ü/rudi.lnk"
# Wine maps the Linux root to drive Z:.
wlink="Z:$(echo "$link" | tr / '\\')"
wtarget="Z:$(echo "$work/程序 目录" | tr / '\\')"
"$rudi_wine" "$tool" "$wlink" "$wtarget"
info=$(lnkinfo "$link")
fail=0
check() { if grep -qF -- "$2" <<<"$info"; then echo "ok: $1"; else echo "FAILED: $1 (no '$2')"; fail=1; fi; }
check "description" "Description			: 快捷方式"
check "target" "rudi.EXE"
show=$(od -An -tu4 -j60 -N4 "$link" | tr -d ' ')
if [ "$show" = 5 ]; then echo "ok: show command 5"; else echo "FAILED: show command $show"; fail=1; fi
grep -E 'Local path|Description|Relative path' <<<"$info" || true
exit $fail
