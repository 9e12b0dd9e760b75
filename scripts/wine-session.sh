#!/usr/bin/env bash
# Runs a command (for example ctest) with one Xvfb and one persistent wineserver for all the
# Windows programs it starts, and ends both afterwards.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rowcaster_ensure_prefix
if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
"$WINESERVER" -p 60 >/dev/null 2>&1
# Start Wine's own background services now, away from the caller's output pipes: a service
# started by the first test would keep that test's pipe open and hold ctest.
"$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1
export ROWCASTER_WINE_SESSION=1
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${ROWCASTER_XVFB_PID:-}" ] && kill "$ROWCASTER_XVFB_PID" 2>/dev/null && wait "$ROWCASTER_XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"$@"
