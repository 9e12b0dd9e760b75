#!/usr/bin/env bash
# Runs one Windows program under Wine and returns its exit status.
# Inside a session of scripts/wine-session.sh it uses that session's display and wineserver;
# otherwise it starts its own Xvfb (when there is no display) and ends everything it started.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rowcaster_ensure_prefix
if [ -z "${ROWCASTER_WINE_SESSION:-}" ]; then
  if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
  trap rowcaster_wine_cleanup EXIT
fi
trap 'exit 130' INT TERM
"$WINE" "$@"
