#!/usr/bin/env bash
# run-e2e.sh DRIVER RUDI RECORDER BUILD_DIR [BANNER ICON [EDB]]: the end-to-end run that ctest
# starts. EDB is the database tool, with which a check reads back what rudi stored.
#
# The run has a Wine prefix of its own (BUILD_DIR/wineprefix-e2e, or RUDI_E2E_WINEPREFIX),
# because the shutdown recorder takes the place of the prefix's shutdown.exe there, and a display
# of its own: scripts/wine/run starts an Xvfb for the length of the run (RUDI_E2E_DISPLAY names
# a display to use instead, e.g. one you watch). RUDI_E2E_ONLY=TEXT runs only the checks whose
# names contain TEXT. Screenshots go to BUILD_DIR/e2e-shots, the checks' folders to
# BUILD_DIR/e2e-work. The exit code is the driver's. RUDI_E2E_ONLY=events-20 runs the long-form
# count of twenty events in a row, which the ordinary run leaves out.
set -euo pipefail
if [ $# -ne 4 ] && [ $# -ne 6 ] && [ $# -ne 7 ]; then
  echo "usage: $0 DRIVER RUDI RECORDER BUILD_DIR [BANNER ICON [EDB]]" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_scripts=$(cd "$here/../../scripts/wine" && pwd)
driver=$(realpath "$1")
rudi=$(realpath "$2")
recorder=$(realpath "$3")
build=$(realpath "$4")
banner=${5:+$(realpath "$5")}
icon=${6:+$(realpath "$6")}
edb=${7:+$(realpath "$7")}

export RUDI_WINEPREFIX=${RUDI_E2E_WINEPREFIX:-$build/wineprefix-e2e}
work=$build/e2e-work
shots=$build/e2e-shots
log=$work/shutdown-recorder.log
mkdir -p "$work" "$shots"
rm -f "$shots"/*.png

"$wine_scripts/prefix.sh"
"$wine_scripts/install-recorder.sh" "$RUDI_WINEPREFIX" "$recorder" "$log"

# A user time format unlike the one rudi sets on its time picker, so that the picker shows
# "HH:mm:ss" only if rudi set it (the locale's own is that very format).
# shellcheck source-path=SCRIPTDIR source=../../scripts/wine/env.sh
source "$wine_scripts/env.sh"
key='HKCU\Control Panel\International'
if ! "$rudi_wine" reg query "$key" /v sTimeFormat </dev/null 2>/dev/null | tr -d '\r' |
  grep -q 'sTimeFormat *REG_SZ *tt h:mm:ss$'; then
  "$rudi_wine" reg add "$key" /v sTimeFormat /d 'tt h:mm:ss' /f </dev/null >/dev/null 2>&1
fi

# Real clicks and screen captures need a screen that nobody else uses.
if [ -n "${RUDI_E2E_DISPLAY:-}" ]; then
  export DISPLAY=$RUDI_E2E_DISPLAY
else
  unset DISPLAY
fi
export RUDI_WINE_GUI=1

# A program folder on a read-only disk: rudi.exe and the supplied 配置.edb under a read-only bind
# mount (root only; without it the check that needs the folder fails and says why).
read_only="$work/只读 程序"
read_only_source=$work/.read-only-source
mountpoint -q "$read_only" 2>/dev/null && umount "$read_only"
rm -rf "$read_only_source"
mkdir -p "$read_only" "$read_only_source"
cp "$rudi" "$(dirname "$rudi")/配置.edb" "$read_only_source/"
read_only_args=()
if mount --bind "$read_only_source" "$read_only" 2>/dev/null; then
  if mount -o remount,bind,ro "$read_only" 2>/dev/null; then
    read_only_args=(--read-only-folder "$read_only")
  fi
  trap 'umount "$read_only" 2>/dev/null || true' EXIT
fi

args=(--rudi "$rudi" --recorder "$recorder" --recorder-log "$log" --work "$work" --shots "$shots")
[ -n "$banner" ] && args+=(--banner "$banner" --icon "$icon")
[ -n "$edb" ] && args+=(--edb "$edb")
args+=("${read_only_args[@]}")
[ -n "${RUDI_E2E_ONLY:-}" ] && args+=("$RUDI_E2E_ONLY")
set +e
"$wine_scripts/run" "$driver" "${args[@]}"
status=$?
set -e
echo "screenshots: $shots"
exit $status
