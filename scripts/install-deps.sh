#!/usr/bin/env bash
# Installs, as root on Debian 12, whatever the build, the demo and the tests need and is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev googletest libbenchmark-dev libssl-dev
  g++-mingw-w64-x86-64 wine wine64 nsis
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

# Wine follows LC_ALL=zh_CN.UTF-8 to code page 936; with the glibc locale present it can also
# create files with Chinese names.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 2>/dev/null || true
fi
