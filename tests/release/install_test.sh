#!/usr/bin/env bash
# The release under Wine: the zip's contents, the guide's text, and the installer on a fresh
# prefix (install silently, start the installed program, uninstall, data folder kept).
#   install_test.sh <source dir> <Windows build dir>
set -u
src="$1"
build="$2"
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

bash "$src/scripts/make-dist.sh" >/dev/null || { echo "FAILED: make-dist"; exit 1; }
dist="$src/build/dist"
zip="$dist/Rowcaster-1.0.0.1-win64.zip"
setup="$dist/Rowcaster-Setup-1.0.0.1.exe"
check "zip written" "[ -f '$zip' ]"
check "installer written" "[ -f '$setup' ]"

listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="GridBridge.dll Rowcaster.exe guide-ja.txt rowcaster-send.exe sample/ sample/sample-body.txt sample/sample-list.xlsx "
check "zip lists the program, library, runner, guide and samples" "[ \"\$listing\" = \"\$expected\" ]"

# One version everywhere: the program's version block, the file names above.
rc=$(x86_64-w64-mingw32-windres -i "$build/bin/Rowcaster.exe" -O rc 2>/dev/null)
for line in 'FILEVERSION 1, 0, 0, 1' 'PRODUCTVERSION 1, 0, 0, 1' 'VALUE "FileVersion", "1.0.0.1"' 'VALUE "ProductVersion", "1.0.0.1"'; do
  check "version block: $line" "grep -qF '$line' <<<\"\$rc\""
done

# The guide is Shift-JIS with CR LF line ends and reads as Japanese.
guide_check=$(unzip -p "$zip" guide-ja.txt | /usr/bin/python3 -c '
import sys
data = sys.stdin.buffer.read()
text = data.decode("cp932")
lines = data.split(b"\n")
assert all(l.endswith(b"\r") for l in lines[:-1]), "line ends"
for phrase in ("テスト送信", "{氏名}", "送信ログ", "詳細設定", "1 行目"):
    assert phrase in text, phrase
print("ok")' 2>&1)
check "guide decodes as Japanese Shift-JIS text with CR LF lines ($guide_check)" "[ '$guide_check' = ok ]"

# A fresh prefix of its own, with its own wineserver.
unset ROWCASTER_WINE_SESSION
export ROWCASTER_WINEPREFIX="$build/install-test-prefix"
rm -rf "$ROWCASTER_WINEPREFIX" "$ROWCASTER_WINEPREFIX.lock"
source "$src/scripts/wine-env.sh"
rowcaster_ensure_prefix
if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
cleanup() {
  rowcaster_wine_cleanup
  rm -rf "$ROWCASTER_WINEPREFIX" "$ROWCASTER_WINEPREFIX.lock"
}
trap cleanup EXIT

drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Rowcaster"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Rowcaster/Rowcaster.lnk"
data="$drive/ProgramData/Tallowmere/Rowcaster"

"$WINE" "$setup" /S >/dev/null 2>&1
"$WINESERVER" -w
for f in Rowcaster.exe GridBridge.dll rowcaster-send.exe guide-ja.txt Uninstall.exe sample/sample-list.xlsx; do
  check "installed $f" "[ -f '$program/$f' ]"
done
check "Start-menu shortcut" "[ -f '$shortcut' ]"

# The installed program starts: its main window appears, and closing it saves the settings.
"$WINE" 'C:\Program Files\Rowcaster\Rowcaster.exe' >/dev/null 2>&1 &
app=$!
"$WINE" "$build/bin/wait_window.exe" "セールス用のメール一括送信" 60 close >/dev/null 2>&1
check "installed program shows its main window and closes" "[ $? -eq 0 ]"
wait $app
check "data folder made by the program" "[ -d '$data' ]"
check "settings stored in the data folder" "[ -f '$data/Environ.psw' ]"

"$WINE" 'C:\Program Files\Rowcaster\Uninstall.exe' /S >/dev/null 2>&1
"$WINESERVER" -w
check "program gone after uninstall" "[ ! -e '$program/Rowcaster.exe' ] && [ ! -e '$program/GridBridge.dll' ]"
check "shortcut gone after uninstall" "[ ! -e '$shortcut' ]"
check "data folder kept after uninstall" "[ -f '$data/Environ.psw' ]"
exit $fail
