#!/usr/bin/env bash
# make release: the installer as shipped. Builds only the installer, from a fresh configure, in
# BUILD_DIR with the deployment values given; signs it when a PKCS#12 certificate is given;
# prints the file's path, size and SHA-256.
#   PACKAGE_PUBLIC_KEY (or ALLOW_UNSIGNED_PACKAGES=ON)
#   SETTINGS_SERVER_URL PARSER_SERVICE_URL SHARE_SITE_HOME_URL REQUIRE_PACKAGE_SHA256
#   SIGN_PKCS12 SIGN_PASSWORD_FILE TIMESTAMP_URL   (environment; each may be empty)
#   tools/release.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1

# A shipped installer checks every package against the publisher's key, unless told not to.
if [ -z "${PACKAGE_PUBLIC_KEY:-}" ] && [ "${ALLOW_UNSIGNED_PACKAGES:-}" != ON ]; then
  echo "make release needs PACKAGE_PUBLIC_KEY=publisher.pub.pem, the publisher's ECDSA P-256" \
       "public key (see README, \"Signing packages\"), or ALLOW_UNSIGNED_PACKAGES=ON to build" \
       "an installer that checks no signature" >&2
  exit 1
fi

options=()
add() { [ -n "$2" ] && options+=("-D$1=$2") || true; }
[ -n "${PACKAGE_PUBLIC_KEY:-}" ] && add TOVARELIN_PACKAGE_PUBLIC_KEY "$(realpath "$PACKAGE_PUBLIC_KEY")"
add TOVARELIN_SETTINGS_SERVER_URL "${SETTINGS_SERVER_URL:-}"
add TOVARELIN_PARSER_SERVICE_URL "${PARSER_SERVICE_URL:-}"
add TOVARELIN_SHARE_SITE_HOME_URL "${SHARE_SITE_HOME_URL:-}"
add TOVARELIN_REQUIRE_PACKAGE_SHA256 "${REQUIRE_PACKAGE_SHA256:-}"

# A fresh cache: a value left out now takes its default, not what an earlier run gave.
rm -f "$build/CMakeCache.txt"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${options[@]}" >/dev/null
cmake --build "$build" --target TovarelinInstaller -j 2 >/dev/null

mkdir -p "$build/release"
shipped="$build/release/TovarelinInstaller.exe"
rm -f "$shipped"
if [ -n "${SIGN_PKCS12:-}" ]; then
  [ -n "${SIGN_PASSWORD_FILE:-}" ] || { echo "SIGN_PKCS12 needs SIGN_PASSWORD_FILE" >&2; exit 1; }
  timestamp=()
  [ -n "${TIMESTAMP_URL:-}" ] && timestamp=(-ts "$TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_PASSWORD_FILE" -h sha256 \
    -n "霁岚舟安装器" "${timestamp[@]}" -in "$build/bin/TovarelinInstaller.exe" -out "$shipped" >/dev/null
  signed="signed"
else
  cp "$build/bin/TovarelinInstaller.exe" "$shipped"
  signed="unsigned"
fi
echo "path:    $(realpath "$shipped") ($signed)"
echo "size:    $(stat -c %s "$shipped") bytes"
echo "sha256:  $(sha256sum "$shipped" | cut -d' ' -f1)"
