# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# Sourced by the Wine scripts: one test prefix per checkout, quiet logs, no installer dialogs,
# a Chinese locale (ANSI code page 936, message-box buttons read 确定).
rudi_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX=${RUDI_WINEPREFIX:-$rudi_root/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
rudi_wine=/usr/lib/wine/wine64
rudi_wineserver=/usr/lib/wine/wineserver
