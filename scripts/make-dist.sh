#!/usr/bin/env bash
# Builds what Windows users get: the zip and the installer, in build/dist/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version=1.0.0.1
bin="$root/build/windows/bin"
dist="$root/build/dist"
stage="$dist/stage"

notices="$root/build/windows/third-party"
for f in "$bin/Rowcaster.exe" "$bin/GridBridge.dll" "$bin/rowcaster-send.exe" "$bin/SMTP.exe" \
         "$notices/curl-license.txt" "$notices/curl-version.txt"; do
  [ -f "$f" ] || { echo "missing $f: build the Windows configuration first (make build-windows)" >&2; exit 1; }
done
# "curl 7.88.1 (Debian source package curl 7.88.1-10+deb12u15)", as scripts/build-curl.sh writes it.
curl_line=$(cat "$notices/curl-version.txt")
curl_upstream=$(sed -nE 's/^curl ([^ ]+) \(Debian source package curl ([^)]+)\)$/\1/p' <<<"$curl_line")
curl_debian=$(sed -nE 's/^curl ([^ ]+) \(Debian source package curl ([^)]+)\)$/\2/p' <<<"$curl_line")
[ -n "$curl_upstream" ] && [ -n "$curl_debian" ] || { echo "unreadable $notices/curl-version.txt: $curl_line" >&2; exit 1; }
grep -q '@CURL_VERSION@' "$root/dist/guide-ja.txt" || { echo "dist/guide-ja.txt no longer names the curl version (@CURL_VERSION@)" >&2; exit 1; }
curl_text="curl $curl_upstream、Debian のソースパッケージ curl $curl_debian から作成"

rm -rf "$dist"
mkdir -p "$stage/sample" "$stage/third-party"
cp "$bin/Rowcaster.exe" "$bin/GridBridge.dll" "$bin/rowcaster-send.exe" "$bin/SMTP.exe" "$stage/"
# The guide's picture of the options dialog (taken under Wine, see README.md).
cp "$root/dist/guide-options.png" "$stage/"
/usr/bin/python3 "$root/dist/make_sample.py" "$stage/sample"
# Notepad on a Japanese Windows reads Shift-JIS with CR LF line ends; the guide names the curl
# inside SMTP.exe.
while IFS= read -r line || [ -n "$line" ]; do
  printf '%s\r\n' "${line//@CURL_VERSION@/"$curl_text"}"
done <"$root/dist/guide-ja.txt" | iconv -f UTF-8 -t CP932 >"$stage/guide-ja.txt"
# Licence notices with CR LF line ends: curl's (SMTP.exe) and libxml2's (linked statically into
# the programs).
sed 's/\r$//; s/$/\r/' "$notices/curl-license.txt" >"$stage/third-party/curl-license.txt"
libxml2="$(bash "$root/scripts/build-libxml2-mingw.sh")"
sed 's/\r$//; s/$/\r/' "$libxml2/COPYING.libxml2" >"$stage/third-party/libxml2-license.txt"

zip_name="Rowcaster-$version-win64.zip"
(cd "$stage" && zip -q -X -r "$dist/$zip_name" Rowcaster.exe GridBridge.dll rowcaster-send.exe SMTP.exe guide-ja.txt \
  guide-options.png sample third-party)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$dist/Rowcaster-Setup-$version.exe" \
  "$root/dist/rowcaster.nsi"
echo "written: $dist/$zip_name"
echo "written: $dist/Rowcaster-Setup-$version.exe"
