# Wine environment for building and testing: a private prefix under the build
# folder (never ~/.wine), a virtual X display, and one wineserver kept alive for
# the whole run so each test process starts quickly. Sourced by ./kvr and by
# tools/wine/wine-run (the CTest emulator).
#
# The prefix is a 64-bit one (WINEARCH=win64). It runs 32-bit programs too
# where Wine's 32-bit part is installed (wine32:i386, whose loader
# /usr/lib/wine/wine is a 32-bit Linux program) and the kernel runs 32-bit
# code. KVR_WINEPREFIX picks another prefix (the XP scenario has one of its
# own), KVR_WINE_VERSION the Windows version a new prefix tells its programs
# (winecfg's setting, e.g. "winxp"; unset: Wine's default).
KVR_ROOT=${KVR_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
KVR_BUILD_DIR=${KVR_BUILD_DIR:-$KVR_ROOT/build}
export WINEPREFIX=${KVR_WINEPREFIX:-$KVR_BUILD_DIR/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono prompt. mshtml stays enabled: disabling it breaks navigation.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=}
export WINELOADER=/usr/lib/wine/wine64

kvr_wine() { "$WINELOADER" "$@"; }

kvr_init_prefix() {
  [ -f "$WINEPREFIX/.kvr-ready" ] && return 0
  echo "[kvr] creating Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
  kvr_wine wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
  # Without Managed=N every DestroyWindow of a top-level window stalls ~2 s
  # under Xvfb with no window manager.
  LANG=C.UTF-8 kvr_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  local face
  for face in "微软雅黑" "Microsoft YaHei" "SimSun" "宋体"; do
    LANG=C.UTF-8 kvr_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  if [ -n "${KVR_WINE_VERSION:-}" ]; then
    kvr_wine reg add 'HKCU\Software\Wine' /v Version /d "$KVR_WINE_VERSION" /f >/dev/null 2>&1
  fi
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.kvr-ready"
}

kvr_start_wineserver() {
  # Detached from our output pipes, or CTest would wait on it.
  setsid /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 &
  sleep 0.3
  # One program stays on the desktop for the whole session, reading a pipe
  # that never ends (it holds the writing end itself), so the desktop's
  # explorer never ends between two tests. Wine ends explorer a moment after
  # the last program leaves; a test that started in that moment keeps the X
  # window explorer made for clipping the cursor, and its next drag of a
  # window fails with a fatal X error (BadWindow) once explorer is gone.
  local keeper=$WINEPREFIX/.kvr-desktop-keeper
  rm -f "$keeper" && mkfifo "$keeper"
  setsid "$WINELOADER" cmd /k <>"$keeper" >/dev/null 2>&1 &
  # Wine's own services (explorer, services.exe, ...) start here, outside any
  # test (started from inside a test they keep its output pipes open): this
  # waits until they run.
  kvr_wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

kvr_display_alive() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# kvr_start_display [auto|virtual]: auto keeps a working $DISPLAY.
kvr_start_display() {
  local mode=${1:-virtual}
  if [ "$mode" = auto ] && [ -n "${DISPLAY:-}" ] && kvr_display_alive "$DISPLAY"; then
    export KVR_VIRTUAL_DISPLAY=0
    return 0
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
    KVR_XVFB_PID=$!
    local i
    for i in $(seq 1 50); do
      kvr_display_alive ":$n" && break
      sleep 0.1
    done
    if kvr_display_alive ":$n"; then
      export DISPLAY=":$n" KVR_VIRTUAL_DISPLAY=1
      return 0
    fi
    kill "$KVR_XVFB_PID" 2>/dev/null || true
  done
  echo "[kvr] no virtual display could be started" >&2
  return 1
}

kvr_stop_wine() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  # The XP scenario's prefix, whose wineserver its test started.
  WINEPREFIX=$KVR_BUILD_DIR/wineprefix-xp /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "${KVR_XVFB_PID:-}" ] && kill "$KVR_XVFB_PID" 2>/dev/null || true
}
