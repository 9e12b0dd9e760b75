#!/usr/bin/env bash
# Builds what Windows users get: the zip and the installer, in build/dist/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version=1.0.0.1
bin="$root/build/windows/bin"
dist="$root/build/dist"
stage="$dist/stage"

for f in Rowcaster.exe GridBridge.dll rowcaster-send.exe; do
  [ -f "$bin/$f" ] || { echo "missing $bin/$f: build the Windows configuration first" >&2; exit 1; }
done
rm -rf "$dist"
mkdir -p "$stage/sample"
cp "$bin/Rowcaster.exe" "$bin/GridBridge.dll" "$bin/rowcaster-send.exe" "$stage/"
/usr/bin/python3 "$root/dist/make_sample.py" "$stage/sample"
# Licence notices of the libraries linked into the programs (libxml2, linked statically).
mkdir -p "$stage/licenses"
libxml2="$(bash "$root/scripts/build-libxml2-mingw.sh")"
sed 's/$/\r/' "$libxml2/COPYING.libxml2" > "$stage/licenses/libxml2.txt"
# Notepad on a Japanese Windows reads Shift-JIS with CR LF line ends.
sed 's/$/\r/' "$root/dist/guide-ja.txt" | iconv -f UTF-8 -t CP932 > "$stage/guide-ja.txt"

zip_name="Rowcaster-$version-win64.zip"
(cd "$stage" && zip -q -X -r "$dist/$zip_name" Rowcaster.exe GridBridge.dll rowcaster-send.exe guide-ja.txt sample licenses)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$dist/Rowcaster-Setup-$version.exe" \
  "$root/dist/rowcaster.nsi"
echo "written: $dist/$zip_name"
echo "written: $dist/Rowcaster-Setup-$version.exe"
