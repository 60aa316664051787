#!/usr/bin/env bash
# Installs, from Debian's archive, whatever the build and the tests need and is missing.
# Needs root when something is missing; does nothing when everything is there.
set -euo pipefail

packages=(
  cmake make python3
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 libz-mingw-w64-dev googletest
  wine wine64 xvfb fonts-wqy-microhei
  clang libclang-rt-14-dev osslsigncode openssl zip p7zip-full iproute2
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}. Run as root, or install them with apt-get." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
