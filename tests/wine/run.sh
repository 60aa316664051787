#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests: the project's prefix (tests/wine/prefix.sh),
# a full disk behind F: where mounting is allowed, and a virtual desktop on a private Xvfb.
# Everything started here is ended here, by its id.
#
#   run.sh BUILD_DIR PROGRAM.exe [ARGS...]
#
# With TOVARELIN_NO_DISPLAY=1 the program runs without any display at all.
# TOVARELIN_DLL_OVERRIDES adds entries to WINEDLLOVERRIDES, which Wine takes from the Linux
# environment only: a test program cannot set it for the programs it starts.
# TOVARELIN_WINDOWS_VERSION (win7, win10, ...) is the Windows version Wine reports to the
# program: set for its name under HKCU\Software\Wine\AppDefaults, for this run only.
# TOVARELIN_SERVER_TRACE (a Linux path) receives the wineserver's trace of the run's requests.
#
# Where the kernel allows it (root), the run has a network of its own with only a loopback: the
# tests' servers take fixed ports (the settings server's is built into the installer), and a
# second suite running beside this one would otherwise answer its installer, or be answered.
# TOVARELIN_HOST_NETWORK=1 keeps the host's network, for a program that talks to servers outside
# the run (the benchmark's nginx).
set -euo pipefail

if [ -z "${TOVARELIN_OWN_NETWORK:-}${TOVARELIN_HOST_NETWORK:-}" ] &&
   unshare --net true 2>/dev/null; then
  exec unshare --net env TOVARELIN_OWN_NETWORK=1 "$0" "$@"
fi
if [ -n "${TOVARELIN_OWN_NETWORK:-}" ]; then
  ip link set lo up
fi

source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh" "$1"
shift
wine_prepare_prefix
trap wine_stop EXIT
[ -z "${TOVARELIN_SERVER_TRACE:-}" ] || wine_trace_server "$TOVARELIN_SERVER_TRACE"
if [ -n "${TOVARELIN_WINDOWS_VERSION:-}" ]; then
  version_key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")"
  wine reg add "$version_key" /v Version /d "$TOVARELIN_WINDOWS_VERSION" /f >/dev/null 2>&1
  trap 'wine reg delete "$version_key" /f >/dev/null 2>&1 || true; wine_stop' EXIT
fi
wine_mount_full_drive
if [ "${TOVARELIN_NO_DISPLAY:-}" = 1 ]; then
  unset DISPLAY
else
  wine_start_xvfb
fi

set +e
wine_quiet wine "$@"
rc=$?
set -e
exit $rc
