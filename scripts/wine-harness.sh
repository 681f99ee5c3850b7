#!/usr/bin/env bash
# Runs Windows programs under Wine in the build tree's private prefix.
#
#   wine-harness.sh BUILD_DIR start          prepare the prefix, start Xvfb (when no
#                                            display is set) and a persistent wineserver
#   wine-harness.sh BUILD_DIR stop           stop what start started, nothing else
#   wine-harness.sh BUILD_DIR run EXE ARGS   run EXE; starts and stops the harness
#                                            around it when it is not running already
#   wine-harness.sh BUILD_DIR env            print the variables that run uses
#
# While it runs, programs can give real input through the X server: a test
# writes xdotool's arguments to $TINTWELL_INPUT_DIR/request, and finds the
# exit status in $TINTWELL_INPUT_DIR/done once the input has been sent.
# (Wine cannot start a Linux program itself.)
set -euo pipefail

build_dir=$(cd "$1" && pwd)
command=$2
shift 2

wine_dir=/usr/lib/wine
export WINEPREFIX="$build_dir/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
state_dir="$build_dir/harness"
state_file="$state_dir/state"
input_dir="$state_dir/input"
mkdir -p "$state_dir"

# From the root folder, so that a reg.exe in the current folder is never the one run.
wine() { (cd / && "$wine_dir/wine64" "$@" 9>&-); }

# The server outlives this script: it must not hold the caller's output open.
# Nor the lock (descriptor 9), or the next start or stop would wait for it forever.
start_server() { "$wine_dir/wineserver" -p </dev/null >/dev/null 2>&1 9>&-; }

prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.tintwell-ready" ]; then
    "$wine_dir/wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    start_server
    wine wineboot --init </dev/null >/dev/null 2>&1
    # Unmanaged windows hide at once and take keyboard focus without a window
    # manager; no caret blink keeps screenshots stable; the bundled fonts
    # render crisp text.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    wine reg add 'HKCU\Control Panel\Desktop' /v CursorBlinkRate /t REG_SZ /d -1 /f >/dev/null
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    # The first session goes on setting up for a while (COM activation is
    # unreliable meanwhile): end it, so every run starts as a warm one does.
    "$wine_dir/wineserver" -k
    "$wine_dir/wineserver" -w
    touch "$WINEPREFIX/.tintwell-ready"
  fi
  start_server
  # Starts Wine's own services now, with no output attached: started later by
  # a test program, they would inherit its output and keep ctest waiting.
  wine wineboot </dev/null >/dev/null 2>&1
}

input_bridge() {
  while :; do
    if [ -f "$input_dir/request" ]; then
      local arguments status=0
      arguments=$(cat "$input_dir/request")
      rm -f "$input_dir/request"
      # shellcheck disable=SC2086
      xdotool $arguments >/dev/null 2>&1 || status=$?
      echo "$status" >"$input_dir/done.new"
      mv "$input_dir/done.new" "$input_dir/done"
    else
      sleep 0.01
    fi
  done
}

free_display() {
  local n
  for n in $(seq 90 190); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo "$n"
      return
    fi
  done
  echo "error: no free X display number" >&2
  exit 1
}

start() {
  (
    flock 9
    [ -f "$state_file" ] && exit 0
    local xvfb_pid=""
    if [ -z "${DISPLAY:-}" ]; then
      local n
      n=$(free_display)
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
      xvfb_pid=$!
      for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.05
      done
      if [ ! -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "error: Xvfb :$n did not start" >&2
        exit 1
      fi
      export DISPLAY=":$n"
    fi
    # Wine's desktop process takes its display from whoever starts it first.
    prepare_prefix
    rm -rf "$input_dir"
    mkdir -p "$input_dir"
    input_bridge </dev/null >/dev/null 2>&1 9>&- &
    printf 'DISPLAY=%s\nXVFB_PID=%s\nBRIDGE_PID=%s\n' "$DISPLAY" "$xvfb_pid" "$!" >"$state_file"
  ) 9>"$state_dir/lock"
}

stop() {
  (
    flock 9
    [ -f "$state_file" ] || exit 0
    # shellcheck disable=SC1090
    . "$state_file"
    "$wine_dir/wineserver" -k 2>/dev/null || true
    kill "$BRIDGE_PID" 2>/dev/null || true
    if [ -n "$XVFB_PID" ]; then
      kill "$XVFB_PID" 2>/dev/null || true
      # Its display number is free again only once it has gone.
      while kill -0 "$XVFB_PID" 2>/dev/null; do sleep 0.05; done
    fi
    rm -f "$state_file"
  ) 9>"$state_dir/lock"
}

load_state() {
  # shellcheck disable=SC1090
  . "$state_file"
  export DISPLAY
  export TINTWELL_INPUT_DIR="$input_dir"
}

case "$command" in
  start) start ;;
  stop) stop ;;
  env)
    load_state
    printf 'WINEPREFIX=%s\nWINEDEBUG=%s\nDISPLAY=%s\n' "$WINEPREFIX" "$WINEDEBUG" "$DISPLAY"
    ;;
  run)
    started_here=false
    if [ ! -f "$state_file" ]; then
      start
      started_here=true
    fi
    load_state
    # Programs that the one run starts inherit its output; their output goes to
    # a file so that one left behind cannot hold the caller's pipe open.
    output=$(mktemp)
    status=0
    "$wine_dir/wine64" "$@" </dev/null >"$output" 2>&1 || status=$?
    cat "$output"
    rm -f "$output"
    if $started_here; then
      stop
    fi
    exit "$status"
    ;;
  *)
    echo "usage: $0 BUILD_DIR start|stop|env|run EXE [ARGS...]" >&2
    exit 2
    ;;
esac
