# Sourced by the Wine scripts: a private, quiet Wine prefix under build/ with the Japanese locale.
ROWCASTER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${ROWCASTER_WINEPREFIX:-$ROWCASTER_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers on first start.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG="${ROWCASTER_WINE_LANG:-ja_JP.UTF-8}"
export LC_ALL="$LANG"
WINE="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
WINESERVER="$(command -v wineserver || echo /usr/lib/wine/wineserver64)"

# Creates the prefix once (under a lock, since tests may run side by side) and puts in the
# font replacements that let the Japanese dialog fonts render with the IPA fonts.
rowcaster_ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.rowcaster-ready" ]; then
      rm -rf "$WINEPREFIX"
      "$WINE" wineboot -i >/dev/null 2>&1 || true
      "$WINESERVER" -w
      local reg="$WINEPREFIX/rowcaster-fonts.reg"
      iconv -f UTF-8 -t UTF-16LE "$ROWCASTER_ROOT/scripts/wine-fonts.reg" | { printf '\xff\xfe'; cat; } > "$reg"
      "$WINE" regedit /S "$reg" >/dev/null 2>&1 || true
      "$WINESERVER" -w
      touch "$WINEPREFIX/.rowcaster-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts a private Xvfb on a free display; sets ROWCASTER_XVFB_PID and DISPLAY.
rowcaster_start_xvfb() {
  local fd_file
  fd_file="$(mktemp)"
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fd_file" 2>/dev/null &
  ROWCASTER_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
}

# Keeps Wine's desktop (explorer.exe /desktop) in use from now until the calling shell ends, so
# that no program of the session starts it. Wine hands a desktop it starts on demand the
# standard error of the program that needed it; started from a test, it would hold that test's
# output open (and CTest waiting) until the last window of the session closed. Returns once the
# desktop is up; fails when the keeper program has not been built.
rowcaster_hold_desktop() {
  local keeper="$ROWCASTER_ROOT/build/windows/bin/wine_desktop_keeper.exe"
  if [ ! -f "$keeper" ]; then
    echo "wine: $keeper is missing; run make build-windows first" >&2
    return 1
  fi
  local ready
  ready="$(mktemp)"
  # The keeper reads its standard input, this pipe, until every holder of its other end is gone.
  exec {ROWCASTER_DESKTOP_FD}> >(exec "$WINE" "$keeper" >"$ready" 2>/dev/null)
  local i status=1
  for i in $(seq 1 1200); do
    if grep -q ready "$ready"; then status=0; break; fi
    sleep 0.05
  done
  rm -f "$ready"
  [ "$status" = 0 ] || echo "wine: the desktop did not start within 60 s" >&2
  return "$status"
}

# Ends what the calling script started: the keeper's pipe, every process of this prefix's
# wineserver (waiting until they are gone, so no output stays open) and its own Xvfb, if any.
rowcaster_wine_cleanup() {
  if [ -n "${ROWCASTER_DESKTOP_FD:-}" ]; then exec {ROWCASTER_DESKTOP_FD}>&-; fi
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  if [ -n "${ROWCASTER_XVFB_PID:-}" ]; then
    kill "$ROWCASTER_XVFB_PID" 2>/dev/null && wait "$ROWCASTER_XVFB_PID" 2>/dev/null
  fi
  return 0
}
