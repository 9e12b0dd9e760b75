#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian 12, as root).
set -euo pipefail
packages=(
  cmake make g++ pkg-config
  g++-mingw-w64-x86-64-posix wine64 xvfb x11-utils
  fonts-ipafont-gothic fonts-ipafont-mincho locales
  googletest libgtest-dev zlib1g-dev libz-mingw-w64-dev librapidxml-dev
  curl openssl python3-aiosmtpd python3-openpyxl imagemagick
  xlsx2csv unzip zip nsis
  libreoffice-calc-nogui
  clang libclang-rt-14-dev
  libxml2-dev dpkg-dev spamassassin
)
# Debian's source packages (apt-get source), for the libraries the Windows build compiles from
# source (scripts/build-libxml2-mingw.sh): a deb-src entry of its own, only when none exists.
if ! grep -rqs -e '^Types:.*deb-src' -e '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  cat > /etc/apt/sources.list.d/rowcaster-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  need_update=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# Japanese locale, so that Wine's ANSI code page is 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
