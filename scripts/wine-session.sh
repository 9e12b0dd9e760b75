#!/usr/bin/env bash
# Runs a command (for example ctest) with one Xvfb, one persistent wineserver and one Wine
# desktop for all the Windows programs it starts, and ends them all afterwards.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rowcaster_ensure_prefix
if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
trap rowcaster_wine_cleanup EXIT
trap 'exit 130' INT TERM
"$WINESERVER" -p 60 >/dev/null 2>&1
# Start Wine's own background services and its desktop now, away from the caller's output
# pipes: a service or desktop started by a test would keep that test's output open and hold
# ctest.
"$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1
rowcaster_hold_desktop || exit 1
export ROWCASTER_WINE_SESSION=1
"$@"
