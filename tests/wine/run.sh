#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests: a prefix of our own inside the build
# folder (made on first use), its own HOME and Desktop, Chinese fonts, and a virtual desktop
# on a private Xvfb display. Everything started here is ended here, by its id.
#
#   run.sh BUILD_DIR PROGRAM.exe [ARGS...]
#
# With TOVARELIN_NO_DISPLAY=1 the program runs without any display at all.
# TOVARELIN_DLL_OVERRIDES adds entries to WINEDLLOVERRIDES, which Wine takes from the Linux
# environment only: a test program cannot set it for the programs it starts.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
shift
wine_dir="$build_dir/wine"
export WINEPREFIX="$wine_dir/prefix"
export HOME="$wine_dir/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${TOVARELIN_DLL_OVERRIDES:+;$TOVARELIN_DLL_OVERRIDES}"
export XDG_RUNTIME_DIR="$wine_dir/xdg"

prepare_prefix() {
  mkdir -p "$HOME/Desktop" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  wine wineboot -i >/dev/null 2>&1
  local reg="$wine_dir/setup.reg"
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft YaHei UI"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="ci"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"ci"="1024x768"
REG
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tovarelin-ready"
}

mkdir -p "$wine_dir"
(
  flock 9
  [ -e "$WINEPREFIX/.tovarelin-ready" ] || prepare_prefix
) 9>"$wine_dir/.lock"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  true
}
trap cleanup EXIT

if [ "${TOVARELIN_NO_DISPLAY:-}" = 1 ]; then
  unset DISPLAY
else
  display_file="$wine_dir/display.$$"
  rm -f "$display_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
fi

set +e
wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' \
                        -e 'apt-get install wine32' >&2)
rc=$?
set -e
exit $rc
