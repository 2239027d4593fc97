#!/usr/bin/env bash
# Installs, as root on Debian 12, whatever the build, the demo and the tests need and is missing.
set -euo pipefail

# fonts-wine, which wine only recommends, holds Wine's own fonts: among them Marlett, whose
# glyphs are the minimise, maximise and close buttons of the title bars Wine draws itself. Debian's
# Wine does not load them from /usr/share/wine/fonts, so scripts/demo.sh and tests/e2e/run_e2e.sh
# copy Marlett into their Wine prefixes.
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev googletest libbenchmark-dev libssl-dev
  g++-mingw-w64-x86-64 wine wine64 fonts-wine nsis openssl
  xvfb xdotool x11-utils imagemagick fonts-wqy-microhei
  python3 iproute2 util-linux procps locales
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "Run this as root (apt-get is needed for: ${missing[*]})" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Signing (scripts/sign.sh) needs osslsigncode 2.9 or later, for a fixed signing time. Debian 12
# has 2.5; 2.9 is in its backports, which are enabled here from the mirror the machine already
# uses and are taken for this one package only.
osslsigncode_version() { dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || true; }
if ! dpkg --compare-versions "$(osslsigncode_version)" ge 2.9; then
  echo "Installing: osslsigncode (2.9 or later)"
  if [[ $(id -u) -ne 0 ]]; then
    echo "Run this as root (apt-get is needed for osslsigncode)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  candidate=$(apt-cache policy osslsigncode | sed -n 's/^ *Candidate: //p')
  release=()
  if ! dpkg --compare-versions "${candidate:-0}" ge 2.9; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if ! apt-get indextargets --format '$(RELEASE)' | grep -qx "$codename-backports"; then
      mirror=$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' |
        awk -v suite="$codename" '$1 == suite { print $2; exit }')
      [[ -n $mirror ]] || { echo "No Debian source of $codename for its backports" >&2; exit 1; }
      sources=/etc/apt/sources.list.d/ # or wherever apt's configuration puts them:
      eval "$(apt-config shell sources Dir::Etc::sourceparts/d)"
      printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: %s\n' \
        "$mirror" "$codename" /usr/share/keyrings/debian-archive-keyring.gpg \
        >"${sources}$codename-backports.sources"
      apt-get update -qq
    fi
    release=(-t "$codename-backports")
  fi
  apt-get install -y -qq --no-install-recommends "${release[@]}" osslsigncode >/dev/null
  dpkg --compare-versions "$(osslsigncode_version)" ge 2.9 ||
    { echo "osslsigncode 2.9 or later could not be installed" >&2; exit 1; }
fi

# Wine follows LC_ALL=zh_CN.UTF-8 to code page 936; with the glibc locale present it can also
# create files with Chinese names. Listed in /etc/locale.gen, the locale also outlives a later
# locale-gen (a reconfigured or upgraded locales package), which makes the archive anew from
# that list alone.
zh_cn_present() { locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; }
locale_entry='zh_CN.UTF-8 UTF-8'
if [[ $(id -u) -eq 0 && -f /etc/locale.gen ]] && ! grep -qx "$locale_entry" /etc/locale.gen; then
  echo "$locale_entry" >>/etc/locale.gen
fi
if ! zh_cn_present; then
  echo "Generating the locale zh_CN.UTF-8"
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 || true
  zh_cn_present ||
    { echo "Could not generate the locale zh_CN.UTF-8 (run this as root)" >&2; exit 1; }
fi
