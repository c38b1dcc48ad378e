#!/usr/bin/env bash
# screenshot.sh FILE: saves the whole screen of the current display ($DISPLAY) as FILE (PNG
# when FILE ends in .png).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 FILE" >&2
  exit 2
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "screenshot.sh: DISPLAY is not set" >&2
  exit 1
fi
mkdir -p "$(dirname "$1")"
import -window root "$1"
