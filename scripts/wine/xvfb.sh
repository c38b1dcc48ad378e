# shellcheck shell=bash
# Sourced: rudi_ensure_display makes sure there is an X display for window programs. A
# reachable $DISPLAY is used as it is; otherwise an Xvfb is started on the first free display
# from :90 up (1024x768x24, or RUDI_XVFB_SCREEN) and DISPLAY exported. The Xvfb ends when the
# sourcing shell exits, and within a second if that shell is killed outright.

rudi_at_exit_commands=()

# Runs the registered commands, newest first, when the shell exits (also on INT and TERM).
rudi_at_exit() {
  rudi_at_exit_commands+=("$1")
  trap rudi_run_at_exit EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

rudi_run_at_exit() {
  local i
  for ((i = ${#rudi_at_exit_commands[@]} - 1; i >= 0; i--)); do
    eval "${rudi_at_exit_commands[i]}" || true
  done
  rudi_at_exit_commands=()
}

rudi_display_reachable() {
  [ -n "${1:-}" ] && xdpyinfo -display "$1" >/dev/null 2>&1
}

rudi_xvfb_pid=

rudi_stop_display() {
  [ -n "$rudi_xvfb_pid" ] || return 0
  kill "$rudi_xvfb_pid" 2>/dev/null || true
  wait "$rudi_xvfb_pid" 2>/dev/null || true
  rudi_xvfb_pid=
}

rudi_ensure_display() {
  if rudi_display_reachable "${DISPLAY:-}"; then
    return 0
  fi
  local screen=${RUDI_XVFB_SCREEN:-1024x768x24} owner=$BASHPID n pid tries ready
  ready=$(mktemp)
  for ((n = 90; n < 160; n++)); do
    # Another X server holds this number (a stale lock file is cleared by Xvfb itself).
    [ -S "/tmp/.X11-unix/X$n" ] && rudi_display_reachable ":$n" && continue
    : >"$ready"
    # Xvfb writes the number to -displayfd once it accepts clients: proof that the server
    # answering is ours. Its descriptors are closed and its output goes elsewhere, so that it
    # cannot keep a caller's pipe open.
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -displayfd 3 3>"$ready" </dev/null \
      >/dev/null 2>&1 8>&- 9>&- &
    pid=$!
    for ((tries = 0; tries < 200; tries++)); do
      if [ -s "$ready" ]; then
        rm -f "$ready"
        rudi_xvfb_pid=$pid
        export DISPLAY=:$n
        rudi_at_exit rudi_stop_display
        (
          while kill -0 "$owner" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do sleep 1; done
          kill "$pid" 2>/dev/null
        ) </dev/null >/dev/null 2>&1 8>&- 9>&- &
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    # Lost the number to another server starting at the same moment, or it would not come up.
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -f "$ready"
  echo "xvfb.sh: could not start Xvfb on any display from :90 to :159" >&2
  return 1
}
