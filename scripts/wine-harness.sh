#!/usr/bin/env bash
# Runs Windows programs under Wine in a private prefix of the build tree.
#
#   wine-harness.sh [OPTIONS] BUILD_DIR session CMD ARGS   run a Linux command (ctest, a
#                                               script) inside a harness; ends it after
#   wine-harness.sh [OPTIONS] BUILD_DIR run EXE ARGS       run one Windows program so
#   wine-harness.sh [OPTIONS] BUILD_DIR env                print the variables that run uses
# OPTIONS: --name NAME (default "test"), --dpi DPI (default 96).
#
# Each NAME has its own prefix, X display and Wine server, so that the tests,
# the demo and the benchmarks can run side by side and never touch each
# other's. The DPI is the session's (docs/building-and-testing.md says why):
# a harness started at another DPI than its prefix had last starts a new
# session at it. The prefix runs 32-bit programs too (Wine's 32-bit side
# must be installed). Inside a session, a run or session of the same NAME
# for any build tree uses the session's harness. A harness is started by the first session or run that
# needs it and stopped by that same one, also on Ctrl+C (pressed once or
# twice), SIGTERM or SIGHUP. When that one is killed outright, the harness
# ends itself; a state left behind all the same is recognised by its dead
# processes and replaced, never trusted.
#
# The X display is a private Xvfb, unless TINTWELL_USE_DISPLAY=1 asks for the
# caller's $DISPLAY (the demo, shown to a person).
#
# While it runs, programs can give real input through the X server and read
# what it was given: a test writes a command line of xdotool or xprop to
# $TINTWELL_INPUT_DIR/request, and finds its output in output and its exit
# status in done once it has run. (Wine cannot start a Linux program itself.)
set -euo pipefail

name="test"
dpi=96
while [ $# -gt 0 ]; do
  case $1 in
    --name) name=$2 ;;
    --dpi) dpi=$2 ;;
    *) break ;;
  esac
  shift 2
done
build_dir=$(cd "$1" && pwd)
command=$2
shift 2
# A session serves every program run inside it, whichever build tree it comes
# from: the x86 tests run in the harness of the session around them.
served=TINTWELL_HARNESS_$name
build_dir=${!served:-$build_dir}

wine_dir=/usr/lib/wine
export WINEPREFIX="$build_dir/wine-$name"
# Wine's traces only when the caller asks for them: they are noise otherwise.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
state_dir="$build_dir/harness-$name"
state_file="$state_dir/state"
input_dir="$state_dir/input"
mkdir -p "$state_dir"

# From the root folder, so that a reg.exe in the current folder is never the one run.
wine() { (cd / && "$wine_dir/wine64" "$@" 9>&-); }

# The server outlives this script: it must not hold the caller's output open.
# Nor the lock (descriptor 9), or the next start or stop would wait for it forever.
start_server() { "$wine_dir/wineserver" -p </dev/null >/dev/null 2>&1 9>&-; }

# A command whose output nobody reads (and which must not hold a caller's pipe).
quietly() { "$@" </dev/null >/dev/null 2>&1; }
note_dpi() { echo "$dpi" >"$WINEPREFIX/.tintwell-dpi"; }

# One step of making or readying the prefix. This runs inside a command
# substitution, where bash ignores errexit, so each step is checked here: a
# step that fails ends the harness's start, and a prefix not yet made whole
# is removed (the next run makes it again), naming the step.
step() {
  local what=$1
  shift
  "$@" && return 0
  echo "error: the Wine prefix $WINEPREFIX could not be made ready: $what failed" >&2
  if [ ! -f "$WINEPREFIX/.tintwell-ready" ]; then
    "$wine_dir/wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    echo "error: the half-made prefix is removed; the next run makes it again" >&2
  fi
  end_state
  exit 1
}

prepare_prefix() {
  # A prefix made before Wine's 32-bit side was installed has no syswow64.
  if [ ! -f "$WINEPREFIX/.tintwell-ready" ] || [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    "$wine_dir/wineserver" -k 2>/dev/null || true
    rm -f "$WINEPREFIX/.tintwell-ready"
    step "removing the old prefix" rm -rf "$WINEPREFIX"
    step "making its folder" mkdir -p "$WINEPREFIX"
    step "starting its Wine server" start_server
    step "wineboot --init" quietly wine wineboot --init
    # Unmanaged windows hide at once and take keyboard focus without a window
    # manager; no caret blink keeps screenshots stable; the bundled fonts
    # render crisp text.
    step "setting X11 Driver\\Managed" \
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    step "setting CursorBlinkRate" \
      wine reg add 'HKCU\Control Panel\Desktop' /v CursorBlinkRate /t REG_SZ /d -1 /f >/dev/null
    step "copying Wine's fonts" cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    # The first session goes on setting up for a while (COM activation is
    # unreliable meanwhile): end it, so every run starts as a warm one does.
    step "ending the first session" "$wine_dir/wineserver" -k
    step "waiting for the first session's end" "$wine_dir/wineserver" -w
    step "marking it ready" touch "$WINEPREFIX/.tintwell-ready"
  fi
  step "starting its Wine server" start_server
  if [ "$(cat "$WINEPREFIX/.tintwell-dpi" 2>/dev/null)" != "$dpi" ]; then
    step "setting LogPixels" \
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    step "ending the session at the old DPI" "$wine_dir/wineserver" -k
    step "waiting for that session's end" "$wine_dir/wineserver" -w
    step "noting the DPI" note_dpi
    step "starting a session at $dpi DPI" start_server
  fi
  # Starts Wine's own services now, with no output attached: started later by
  # a test program, they would inherit its output and keep ctest waiting.
  step "starting Wine's services" quietly wine wineboot
}

# Serves input requests for as long as the session that started the harness
# lives; should that one be killed outright, ends the harness in its place.
input_bridge() {
  local owner=$1
  bridge_self=$BASHPID
  while kill -0 "$owner" 2>/dev/null; do
    if [ -f "$input_dir/request" ]; then
      local words=() status=0
      read -r -a words <"$input_dir/request" || true
      rm -f "$input_dir/request"
      case ${words[0]:-} in
        xdotool | xprop) "${words[@]}" >"$input_dir/output" 2>/dev/null || status=$? ;;
        *) status=127 ;;
      esac
      echo "$status" >"$input_dir/done.new"
      mv "$input_dir/done.new" "$input_dir/done"
    else
      sleep 0.01
    fi
  done
  stop
}

# Starts a private Xvfb in the background and, once it accepts connections,
# sets xvfb_pid and display (":N"). Xvfb picks a free number itself
# (-displayfd): one that an X server of another root or container holds
# through its abstract socket, which no file in this /tmp shows, is skipped.
start_xvfb() {
  local number_file=$state_dir/display number=""
  rm -f "$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" </dev/null >/dev/null 2>&1 9>&- &
  xvfb_pid=$!
  for _ in $(seq 200); do
    number=$(cat "$number_file" 2>/dev/null)
    [ -n "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break
    sleep 0.05
  done
  if [ -z "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    kill "$xvfb_pid" 2>/dev/null || true
    echo "error: Xvfb did not start" >&2
    exit 1
  fi
  display=":$number"
}

# True when pid is alive and its command line holds what (so a number that a
# dead process left and another took is not mistaken for it).
alive() {
  [ -n "$1" ] && kill -0 "$1" 2>/dev/null && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q -- "$2"
}

# Ends what a state names: the Wine server of this prefix, the bridge, Xvfb.
end_state() {
  local DISPLAY="" XVFB_PID="" BRIDGE_PID="" OWNER_PID="" DPI=""
  # shellcheck disable=SC1090
  . "$state_file"
  "$wine_dir/wineserver" -k 2>/dev/null || true
  if [ "$BRIDGE_PID" != "${bridge_self:-}" ] && alive "$BRIDGE_PID" wine-harness; then
    kill "$BRIDGE_PID" 2>/dev/null
  fi
  if alive "$XVFB_PID" Xvfb; then
    kill "$XVFB_PID" 2>/dev/null
    # Its display number is free again only once it has gone.
    while kill -0 "$XVFB_PID" 2>/dev/null; do sleep 0.05; done
  fi
  rm -f "$state_file"
}

state_is_live() {
  local DISPLAY="" XVFB_PID="" BRIDGE_PID="" OWNER_PID="" DPI=""
  # shellcheck disable=SC1090
  . "$state_file"
  alive "$OWNER_PID" wine-harness && alive "$BRIDGE_PID" wine-harness &&
    { [ -z "$XVFB_PID" ] || alive "$XVFB_PID" Xvfb; } || return 1
  if [ "$DPI" != "$dpi" ]; then
    echo "error: the $name harness runs a session at $DPI DPI, not at $dpi" >&2
    exit 1
  fi
}

# write_state DISPLAY XVFB_PID BRIDGE_PID
write_state() {
  printf 'DISPLAY=%s\nXVFB_PID=%s\nBRIDGE_PID=%s\nOWNER_PID=%s\nDPI=%s\n' "$1" "$2" "$3" "$$" "$dpi" \
    >"$state_file"
}

# Starts the harness unless a live one is there; prints "started" when it did.
start() {
  if ! "$wine_dir/wine" --version >/dev/null 2>&1; then
    echo "error: 32-bit Windows programs cannot run here: run scripts/install-deps.sh as root" >&2
    exit 1
  fi
  (
    flock 9
    if [ -f "$state_file" ]; then
      state_is_live && exit 0
      end_state  # left by a run that was killed outright
    fi
    local xvfb_pid="" display=${DISPLAY:-}
    if [ "${TINTWELL_USE_DISPLAY:-0}" != 1 ] || [ -z "$display" ]; then
      start_xvfb
    fi
    # The state names the display before anything else starts, so that an
    # interrupted start is cleaned up like any other.
    write_state "$display" "$xvfb_pid" ""
    # Wine's desktop process takes its display from whoever starts it first.
    DISPLAY=$display prepare_prefix
    rm -rf "$input_dir"
    mkdir -p "$input_dir"
    DISPLAY=$display input_bridge "$$" </dev/null >/dev/null 2>&1 9>&- &
    write_state "$display" "$xvfb_pid" "$!"
    echo started
  ) 9>"$state_dir/lock"
}

stop() {
  (
    flock 9
    [ -f "$state_file" ] && end_state
    rm -rf "$input_dir"
  ) 9>"$state_dir/lock"
}

load_state() {
  # shellcheck disable=SC1090
  . "$state_file"
  export DISPLAY
  export TINTWELL_INPUT_DIR="$input_dir"
  export TINTWELL_SESSION_DPI="$DPI"
}

# pid and every process below it.
process_tree() {
  local child
  echo "$1"
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    process_tree "$child"
  done
}

# Runs "$@" inside the harness, starting and stopping it unless it runs already.
session() {
  local ours=false child="" status=0 started
  # Once the end has begun, further signals must not cut it short. The
  # command and everything it started get a moment to end by themselves.
  finish() {
    trap '' INT TERM HUP
    if [ -n "$child" ]; then
      local tree
      tree=$(process_tree "$child")
      # shellcheck disable=SC2086
      kill -TERM $tree 2>/dev/null || true
      for _ in $(seq 50); do
        # shellcheck disable=SC2086
        kill -0 $tree 2>/dev/null || break
        sleep 0.1
      done
      # shellcheck disable=SC2086
      kill -KILL $tree 2>/dev/null || true
    fi
    if $ours; then
      stop
    fi
  }
  trap 'finish; exit 130' INT
  trap 'finish; exit 143' TERM HUP
  started=$(start) || exit 1
  [ "$started" = started ] && ours=true
  load_state
  export "$served=$build_dir"
  # In the background, so that a signal is acted on at once.
  "$@" &
  child=$!
  wait "$child" || status=$?
  child=""
  finish
  trap - INT TERM HUP
  return "$status"
}

# One Windows program. Programs that it starts inherit its output; that goes
# to a file, so that one left behind cannot hold the caller's pipe open.
run_program() {
  local output status=0
  output=$(mktemp)
  "$wine_dir/wine64" "$@" </dev/null >"$output" 2>&1 || status=$?
  cat "$output"
  rm -f "$output"
  return "$status"
}

case "$command" in
  session) session "$@" ;;
  run) session run_program "$@" ;;
  env)
    load_state
    printf 'WINEPREFIX=%s\nWINEDEBUG=%s\nDISPLAY=%s\nTINTWELL_INPUT_DIR=%s\nTINTWELL_SESSION_DPI=%s\n' \
      "$WINEPREFIX" "$WINEDEBUG" "$DISPLAY" "$input_dir" "$DPI"
    ;;
  *)
    echo "usage: $0 [--name NAME] BUILD_DIR session CMD... | run EXE [ARGS...] | env" >&2
    exit 2
    ;;
esac
