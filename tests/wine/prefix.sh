# The project's Wine set-up, sourced by tests/wine/run.sh and tools/run.sh:
#   source prefix.sh BUILD_DIR   sets the environment for the prefix in BUILD_DIR/wine
#   wine_prepare_prefix          makes the prefix on first use (own HOME and Desktop, Chinese
#                                fonts, a virtual desktop, extra drives D: and F:, and no
#                                visual theme: a program without a manifest gets classic
#                                controls on Windows, which honour the progress bar's colours)
#   wine_start_xvfb              a private Xvfb; sets DISPLAY
#   wine_mount_full_drive        a tiny tmpfs behind F: (root only; a no-op otherwise)
#   wine_trace_server FILE       the prefix's wineserver, tracing every request into FILE
#   wine_stop                    ends what the functions above started, by id
# Drive D: is a folder inside the build folder; F: is the same, or a full disk once mounted.

wine_build_dir=$(cd "$1" && pwd)
wine_dir="$wine_build_dir/wine"
export WINEPREFIX="$wine_dir/prefix"
export HOME="$wine_dir/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${TOVARELIN_DLL_OVERRIDES:+;$TOVARELIN_DLL_OVERRIDES}"
export XDG_RUNTIME_DIR="$wine_dir/xdg"

wine_drive_d="$wine_dir/drives/d"
wine_drive_f="$wine_dir/drives/full"
wine_prefix_version=3  # raise when the set-up below changes: older prefixes are set up again
wine_xvfb_pid=
wine_server_pid=
wine_full_mounted=

wine_quiet() {
  "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' \
                    -e 'apt-get install wine32' >&2)
}

_wine_set_up_prefix() {
  mkdir -p "$HOME/Desktop" "$XDG_RUNTIME_DIR" "$wine_drive_d" "$wine_drive_f"
  chmod 700 "$XDG_RUNTIME_DIR"
  wine wineboot -i >/dev/null 2>&1
  ln -sfn "$wine_drive_d" "$WINEPREFIX/dosdevices/d:"
  ln -sfn "$wine_drive_f" "$WINEPREFIX/dosdevices/f:"
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

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="hd"
"f:"="hd"
REG
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
  echo "$wine_prefix_version" >"$WINEPREFIX/.tovarelin-ready"
}

wine_prepare_prefix() {
  mkdir -p "$wine_dir"
  (
    flock 9
    [ "$(cat "$WINEPREFIX/.tovarelin-ready" 2>/dev/null)" = "$wine_prefix_version" ] ||
      _wine_set_up_prefix
  ) 9>"$wine_dir/.lock"
}

wine_start_xvfb() {
  local display_file="$wine_dir/display.$$"
  rm -f "$display_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
}

# A full disk is a tmpfs too small for any package; mounting needs root.
wine_mount_full_drive() {
  [ "$(id -u)" -eq 0 ] || return 0
  mountpoint -q "$wine_drive_f" && return 0
  mount -t tmpfs -o size=256k,mode=755 tovarelin-full "$wine_drive_f" 2>/dev/null &&
    wine_full_mounted=1
  return 0
}

wine_trace_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -f -d1 2>"$1" &
  wine_server_pid=$!
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$wine_server_pid" ] || { kill "$wine_server_pid"; wait "$wine_server_pid"; } 2>/dev/null || true
  if [ -n "$wine_xvfb_pid" ]; then
    kill "$wine_xvfb_pid" 2>/dev/null
    wait "$wine_xvfb_pid" 2>/dev/null || true
  fi
  if [ -n "$wine_full_mounted" ]; then
    umount "$wine_drive_f" 2>/dev/null || umount -l "$wine_drive_f" 2>/dev/null || true
  fi
}
