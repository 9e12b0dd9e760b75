#!/usr/bin/env bash
# Runs one Windows program under Wine and returns its exit status.
# Inside a session of scripts/wine-session.sh it uses that session's display and wineserver;
# otherwise it starts its own Xvfb (when there is no display) and ends everything it started.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
rowcaster_ensure_prefix
own_session=0
if [ -z "${ROWCASTER_WINE_SESSION:-}" ]; then
  own_session=1
  if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
fi
cleanup() {
  if [ "$own_session" = 1 ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "${ROWCASTER_XVFB_PID:-}" ] && kill "$ROWCASTER_XVFB_PID" 2>/dev/null && wait "$ROWCASTER_XVFB_PID" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"$WINE" "$@"
rc=$?
exit $rc
