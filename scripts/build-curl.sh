#!/usr/bin/env bash
# Builds the Windows transfer tool: curl's command-line program from Debian's curl source,
# cross-compiled with MinGW-w64 into a static x86-64 curl.exe that speaks TLS through Windows'
# own Schannel and imports only system DLLs. Placed as <bin folder>/SMTP.exe, with curl's
# licence and version in <notice folder> (curl-license.txt, curl-version.txt).
#
#   scripts/build-curl.sh <bin folder> <notice folder>
#
# The result is cached outside the tree, keyed by the Debian source version and this script's
# hash, in ${ROWCASTER_CACHE_DIR:-${XDG_CACHE_HOME:-~/.cache}/rowcaster}/curl/, so that another
# build or a clean clone on the same machine takes no time for it. The source comes through
# `apt-get source` (needs dpkg-dev and a deb-src entry: scripts/install-deps.sh adds both).
# Any failure stops with a message that says so: the Windows build is not complete without it.
set -euo pipefail
# Tool output (objdump, the compiler) in English: the checks below read it.
export LC_ALL=C

die() {
  {
    echo
    echo "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
    echo "!!! build-curl: FAILED: $*"
    echo "!!! SMTP.exe (curl for Windows) was not built; the Windows build is incomplete."
    echo "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
  } >&2
  exit 1
}

[ $# -eq 2 ] || die "usage: build-curl.sh <bin folder> <notice folder>"
bin_dir="$1"
notice_dir="$2"
script="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"
host=x86_64-w64-mingw32
# The DLLs a bare 64-bit Windows has; anything else (a MinGW runtime DLL, zlib1.dll) would be
# missing beside SMTP.exe on a user's machine.
system_dlls="advapi32.dll bcrypt.dll crypt32.dll kernel32.dll msvcrt.dll ws2_32.dll secur32.dll user32.dll
  normaliz.dll iphlpapi.dll wldap32.dll shell32.dll ole32.dll"

# The Debian source version of the curl that apt would install here (the binary package's
# candidate, whose source may carry another version after a binary-only upload).
source_version() {
  apt-cache show --no-all-versions curl 2>/dev/null | awk '
    /^Version: / { version = $2 }
    /^Source: / && $3 ~ /^\(/ { source = substr($3, 2, length($3) - 2) }
    END { print (source != "" ? source : version) }'
}

# Checks a built curl.exe; prints what is wrong, nothing when it is right.
check_binary() {
  local exe="$1" format imports dll
  format=$("$host-objdump" -f "$exe" 2>/dev/null | sed -n 's/.*file format //p')
  [ "$format" = pei-x86-64 ] || { echo "not a PE x86-64 program (format '$format')"; return; }
  imports=$("$host-objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || { echo "no DLL imports found"; return; }
  for dll in $imports; do
    case " $(echo $system_dlls) " in
      *" $dll "*) ;;
      *) echo "imports $dll, which is no Windows system DLL"; return ;;
    esac
  done
  grep -aq 'Schannel' "$exe" || { echo "no Schannel inside"; return; }
  # A CA file or folder path baked in would be this Linux machine's, meaningless on Windows.
  ! grep -aqE '/etc/ssl|/etc/pki|ca-certificates' "$exe" || echo "a Linux CA path is baked in"
}

build() {  # <work folder> <result folder>
  local work="$1" out="$2" src log="$1/build.log" started=$SECONDS
  echo "build-curl: building curl for Windows from Debian's source $version (about 2-3 minutes)..."
  (cd "$work" && apt-get source -qq --only-source "curl=$version") >"$log" 2>&1 || {
    tail -n 20 "$log" >&2
    die "apt-get source curl=$version failed. It needs dpkg-dev and a deb-src entry for this release:" \
        "run scripts/install-deps.sh as root (make deps)."
  }
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -n1)
  [ -n "$src" ] && [ -f "$src/CMakeLists.txt" ] || die "no curl source tree in $work after apt-get source"
  # Debian's last two packaging patches only rename the library for its GnuTLS and NSS
  # variants; take them back off, the newest first.
  local p
  for p in 99_nss.patch 90_gnutls.patch; do
    if grep -qx "$p" "$src/debian/patches/series" 2>/dev/null; then
      (cd "$src" && patch -R -p1 -s <"debian/patches/$p") >>"$log" 2>&1 || die "could not reverse debian/patches/$p"
    fi
  done
  # HTTP stays (this source does not compile without it); every other protocol but SMTP goes,
  # and so does every optional library. No CA bundle or folder: curl would bake in this Linux
  # machine's path.
  local disable=() proto
  for proto in LDAP LDAPS FTP FILE DICT GOPHER IMAP POP3 MQTT RTSP SMB TELNET TFTP; do
    disable+=("-DCURL_DISABLE_$proto=ON")
  done
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL cmake -S "$src" -B "$work/build" \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
    -DCMAKE_C_COMPILER="$host-gcc-posix" -DCMAKE_RC_COMPILER="$host-windres" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$host" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS="-static -s" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DCURL_ENABLE_EXPORT_TARGET=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
    -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DCURL_USE_LIBPSL=OFF \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF -DENABLE_ARES=OFF \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    "${disable[@]}" >>"$log" 2>&1 || { tail -n 30 "$log" >&2; die "CMake could not configure curl (log above)"; }
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL cmake --build "$work/build" --target curl -j "${JOBS:-$(nproc)}" \
    >>"$log" 2>&1 || { grep -E 'error|Error' "$log" | tail -n 30 >&2; die "curl did not compile (errors above)"; }
  local exe="$work/build/src/curl.exe" problem upstream
  [ -f "$exe" ] || die "the build gave no src/curl.exe"
  problem=$(check_binary "$exe")
  [ -z "$problem" ] || die "the built curl.exe is not fit to ship: $problem"
  upstream=$(sed -n 's/^#define LIBCURL_VERSION "\(.*\)"$/\1/p' "$src/include/curl/curlver.h")
  [ -n "$upstream" ] || die "no LIBCURL_VERSION in the source"
  mkdir -p "$out"
  cp "$exe" "$out/SMTP.exe"
  cp "$src/COPYING" "$out/curl-license.txt"
  echo "curl $upstream (Debian source package curl $version)" >"$out/curl-version.txt"
  cp "$log" "$out/build.log"
  echo "build-curl: built in $((SECONDS - started)) s"
}

command -v "$host-gcc-posix" >/dev/null || die "$host-gcc-posix is missing: run scripts/install-deps.sh (make deps)"
version=$(source_version)
[ -n "$version" ] || die "apt knows no curl package here (apt-cache show curl); run apt-get update"
hash=$(sha256sum "$script" | cut -c1-16)
cache_root="${ROWCASTER_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/rowcaster}/curl"
entry="$cache_root/curl-${version//:/_}-$hash"

if [ ! -f "$entry/SMTP.exe" ]; then
  mkdir -p "$cache_root" || die "cannot make the cache folder $cache_root"
  # One build at a time on this machine; whoever waited finds the result in the cache.
  exec 9>"$cache_root/.lock"
  flock 9
  if [ ! -f "$entry/SMTP.exe" ]; then
    work=$(mktemp -d "$cache_root/.build.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    build "$work" "$work/result"
    rm -rf "$entry"
    mv -T "$work/result" "$entry"
  fi
  flock -u 9
fi

problem=$(check_binary "$entry/SMTP.exe")
[ -z "$problem" ] || die "the cached $entry/SMTP.exe is not fit to ship ($problem); delete that folder"
mkdir -p "$bin_dir" "$notice_dir"
# Copied only when it differs, so that what depends on it is not made again for nothing.
place() { cmp -s "$1" "$2" || cp "$1" "$2"; }
place "$entry/SMTP.exe" "$bin_dir/SMTP.exe"
place "$entry/curl-license.txt" "$notice_dir/curl-license.txt"
place "$entry/curl-version.txt" "$notice_dir/curl-version.txt"
echo "build-curl: SMTP.exe is $(cat "$entry/curl-version.txt"), from $entry"
