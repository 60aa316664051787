#!/usr/bin/env bash
# The demo: the installer under Wine, in the project's prefix, against the demo back end on
# loopback (tools/demo_server.py: settings, link parser and package host). Builds nothing.
# With a usable display the person presses the button. Without one it runs on its own Xvfb,
# drive_demo.exe presses the button, and the screenshots go to BUILD/screenshots/demo-*.png.
# Everything started here is ended here, by its id.
#
#   run.sh BUILD_DIR
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$repo/tests/wine/prefix.sh" "$1"
build=$wine_build_dir
package="$build/demo/Tovarelin.zip"
for needed in "$build/bin/TovarelinInstaller.exe" "$build/bin/drive_demo.exe" "$package"; do
  [ -e "$needed" ] || { echo "run.sh: $needed is missing; run 'make build' first" >&2; exit 1; }
done

# The installer checks the package against the build's key: the demo publishes the signature
# that the private half of that key pair (made by the build, never committed) gives.
key="$build/keys/publisher.pem"
if [ ! -e "$key" ]; then
  echo "run.sh: $key is missing: the build was configured without the demo key pair" \
       "(remove $build and run 'make run')" >&2
  exit 1
fi
signature=$(openssl dgst -sha256 -sign "$key" "$package" | base64 -w0)

# The settings server is wherever the build points the installer; it has to be loopback.
settings_url=$(sed -n 's/^TOVARELIN_SETTINGS_SERVER_URL:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ ! "$settings_url" =~ ^http://(127\.0\.0\.1|localhost):([0-9]+)$ ]]; then
  echo "run.sh: the demo serves loopback only, but the settings server is $settings_url" >&2
  exit 1
fi
port=${BASH_REMATCH[2]}

server_pid=
stop_all() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null || true
  fi
  wine_stop
}
trap stop_all EXIT

wine_prepare_prefix
install_dir="$WINEPREFIX/drive_c/Tovarelin"
shortcut="$HOME/Desktop/霁岚舟.lnk"
rm -rf "$install_dir" "$shortcut"  # each demo starts from a machine without the product

mkdir -p "$build/demo"
ready="$build/demo/server.ready"
log="$build/demo/server.log"
rm -f "$ready"
python3 "$repo/tools/demo_server.py" --port "$port" --package "$package" \
  --signature "$signature" --ready-file "$ready" 2>"$log" &
server_pid=$!
for _ in $(seq 50); do
  [ -s "$ready" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$ready" ]; then
  echo "run.sh: the demo back end did not start on 127.0.0.1:$port:" >&2
  cat "$log" >&2
  exit 1
fi
echo "Demo back end on http://127.0.0.1:$port (settings, link parser, package host)"

display_usable() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null; then
    xdpyinfo >/dev/null 2>&1
  else
    [[ "$DISPLAY" =~ ^:([0-9]+) ]] && [ -S "/tmp/.X11-unix/X${BASH_REMATCH[1]}" ]
  fi
}

screenshots=
set +e
if display_usable; then
  echo "Showing the installer on $DISPLAY: press 开始安装, then close the window."
  wine_quiet wine "$build/bin/TovarelinInstaller.exe"
  wine_quiet wine "$build/bin/drive_demo.exe" --report
  rc=$?
else
  echo "No display: running on a private Xvfb, the driver presses the button."
  wine_start_xvfb
  wine_quiet wine "$build/bin/drive_demo.exe"
  rc=$?
  screenshots="$build/screenshots/demo-1-ready.png, demo-2-running.png, demo-3-installed.png"
fi
set -e

echo
echo "What the back end saw:"
sed 's/^/  /' "$log"
[ -z "$screenshots" ] || echo "Screenshots: $screenshots"
if [ "$rc" -ne 0 ]; then
  echo "The demo installation did not succeed (exit code $rc)."
  exit "$rc"
fi
echo
echo "Installed into C:\\Tovarelin = $install_dir:"
(cd "$install_dir" && find . -mindepth 1 | sort | sed 's/^\./  /')
echo "Desktop shortcut: $shortcut"
