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
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# Japanese locale, so that Wine's ANSI code page is 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# Debian's source packages (curl's source, for the Windows transfer tool SMTP.exe built by
# scripts/build-curl.sh, and libxml2's, for the Windows build's HTML parser built by
# scripts/build-libxml2-mingw.sh): a deb-src entry for every Debian deb entry of the running release, in
# a file of its own, written only when the release has no deb-src entry yet.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
release_targets() {  # <deb|deb-src>: "URI SUITE COMPONENT" of the running release's entries
  # The suite as the entry names it, or the codename its Release file gives (for "stable").
  apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT) $(CODENAME)' 2>/dev/null |
    awk -v kind="$1" -v c="$codename" '
      function ours(s) { return s == c || index(s, c "-") == 1 }
      $1 == kind && (ours($3) || ours($5)) { print $2, $3, $4 }' | sort -u
}
if [ -n "$codename" ] && [ -z "$(release_targets deb-src)" ]; then
  deb_src=/etc/apt/sources.list.d/rowcaster-deb-src.sources
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  [ -f "$keyring" ] || keyring=
  release_targets deb | awk -v keyring="$keyring" '
    { key = $1 " " $2; if (!(key in parts)) order[++n] = key; parts[key] = parts[key] (parts[key] ? " " : "") $3 }
    END {
      for (i = 1; i <= n; i++) {
        split(order[i], f, " ")
        printf "%sTypes: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", (i > 1 ? "\n" : ""), f[1], f[2], parts[order[i]]
        if (keyring != "") printf "Signed-By: %s\n", keyring
      }
    }' > "$deb_src.new"
  if [ -s "$deb_src.new" ]; then
    mv "$deb_src.new" "$deb_src"
    echo "added Debian source entries: $deb_src"
    apt-get update -qq
  else
    rm -f "$deb_src.new"
    echo "install-deps: WARNING: no Debian deb entry for $codename found, so no deb-src entry was added;" \
         "building SMTP.exe and libxml2 for Windows needs one" >&2
  fi
fi
