#!/usr/bin/env bash
# Builds libxml2 (its HTML parser and tree, nothing else) as a static library for 64-bit
# Windows from Debian's source package, with MinGW-w64, and prints the folder it is installed
# in (include/libxml2, lib/libxml2.a). The native build uses Debian's libxml2-dev instead.
#
# The result is cached outside the tree, keyed by the Debian source version and this script's
# own hash, so a second build or a fresh clone on the same machine takes no time:
#   ${ROWCASTER_CACHE:-~/.cache/rowcaster}/libxml2-mingw-<version>-<hash>/
# Needs the deb-src entry and dpkg-dev that scripts/install-deps.sh sets up.
set -euo pipefail
cache="${ROWCASTER_CACHE:-${HOME:-/root}/.cache/rowcaster}"
script_hash=$(sha256sum "$0" | cut -c1-12)
version=$(apt-cache showsrc libxml2 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n1)
if [ -z "$version" ]; then
  echo "build-libxml2-mingw: no source package for libxml2 (is the deb-src entry there? run scripts/install-deps.sh)" >&2
  exit 1
fi
prefix="$cache/libxml2-mingw-${version//[^A-Za-z0-9.+-]/_}-$script_hash"
if [ -f "$prefix/lib/libxml2.a" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/rowcaster-libxml2.XXXXXX")
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  # apt drops privileges to _apt for downloads; a private folder it cannot write is fine.
  apt-get source -qq "libxml2=$version" >/dev/null 2>&1 || apt-get source -qq "libxml2=$version"
) >&2
src=$(find "$work" -maxdepth 1 -type d -name 'libxml2-*' | head -n1)
off=(C14N CATALOG DEBUG DOCB FTP HTTP ICONV ICU ISO8859X LEGACY LZMA MODULES PATTERN PROGRAMS PUSH
     PYTHON READER REGEXPS SCHEMAS SCHEMATRON TESTS VALID WRITER XINCLUDE XPATH XPTR ZLIB)
flags=()
for o in "${off[@]}"; do flags+=("-DLIBXML2_WITH_$o=OFF"); done
cmake -S "$src" -B "$work/build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DLIBXML2_WITH_HTML=ON -DLIBXML2_WITH_TREE=ON -DLIBXML2_WITH_OUTPUT=ON -DLIBXML2_WITH_SAX1=ON \
  -DLIBXML2_WITH_THREADS=ON \
  "${flags[@]}" -DCMAKE_INSTALL_PREFIX="$work/install" >&2
cmake --build "$work/build" -j "$(nproc)" >&2
cmake --install "$work/build" >&2
mkdir -p "$prefix"
cp -r "$work/install/include" "$work/install/lib" "$prefix/"
cp "$src/Copyright" "$prefix/COPYING.libxml2" 2>/dev/null || cp "$src/COPYING" "$prefix/COPYING.libxml2"
echo "$version" > "$prefix/VERSION"
echo "$prefix"
