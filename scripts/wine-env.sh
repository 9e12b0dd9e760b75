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
