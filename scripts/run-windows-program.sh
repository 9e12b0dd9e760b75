#!/usr/bin/env bash
# Starts build/windows/bin/Rowcaster.exe under Wine in a virtual desktop (so that Wine draws the
# caption bars), with a private Xvfb when there is no display. Ends what it started.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
program="$ROWCASTER_ROOT/build/windows/bin/Rowcaster.exe"
if [ ! -f "$program" ]; then
  echo "run-windows-program: $program is missing; run make build-windows first" >&2
  exit 1
fi
rowcaster_ensure_prefix
if [ -z "${DISPLAY:-}" ]; then
  rowcaster_start_xvfb
  echo "run-windows-program: no display, running on Xvfb $DISPLAY"
fi
trap rowcaster_wine_cleanup EXIT
trap 'exit 130' INT TERM
"$WINE" explorer "/desktop=Rowcaster,${ROWCASTER_DESKTOP_SIZE:-1024x768}" "$program"
"$WINESERVER" -w
