#!/usr/bin/env bash
# Runs Tintwell beside the stand-in messenger, signed in as a sample account.
#
#   demo.sh run          with a display: until you close Tintwell; without one:
#                        saves a screenshot, prints its path, ends
#   demo.sh screenshot   renders the README's picture (docs/tintwell.png) at 144 DPI
#
# It runs in a Wine harness of its own (prefix, server, display), which it
# stops when it ends, also on Ctrl+C: the tests can run meanwhile.
set -euo pipefail
mode=${1:-run}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/x64"
harness="$root/scripts/wine-harness.sh"

if [ "${2:-}" != --inside ]; then
  # With a display, the person sees the demo there; the screenshot is always
  # rendered on a private one.
  use_display=0
  [ "$mode" = run ] && [ -n "${DISPLAY:-}" ] && use_display=1
  # The picture at 150 %, in a session signed in at that scale.
  dpi=96
  [ "$mode" = screenshot ] && dpi=144
  TINTWELL_USE_DISPLAY=$use_display exec bash "$harness" --name demo --dpi "$dpi" "$build" \
    session bash "$0" "$mode" --inside
fi

account="sample.user@example.com"
wine() { /usr/lib/wine/wine64 "$@"; }
standin="$build/standin/messenger-standin.exe"
headless=true
[ "${TINTWELL_USE_DISPLAY:-0}" = 1 ] && headless=false

cleanup() {
  wine "$standin" /ctl:quit >/dev/null 2>&1 || true
  wine "$standin" /unregserver >/dev/null 2>&1 || true
}
trap cleanup EXIT

wine "$standin" /regserver
wine "$standin" "/signin:$account" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
  wine "$standin" /ctl:ping && break
  sleep 0.1
done

wine "$build/src/Tintwell.exe" </dev/null >/dev/null 2>&1 &
tintwell_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tintwell - ' | head -1)
echo "Tintwell is running; the messenger's signed-in account is $account."

if [ "$mode" = screenshot ]; then
  # A colour worth showing: red 40, green 90, blue 200.
  for keys in "Home $(printf 'Right %.0s' $(seq 40))" "Tab Home $(printf 'Next %.0s' $(seq 6))" \
              "Tab End Prior Prior Prior Right Right Right Right Right Right Right Right Right Right"; do
    # shellcheck disable=SC2086
    xdotool key --delay 5 $keys
  done
  xdotool key Tab Tab  # the focus back on red, away from the sample text
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  mkdir -p "$root/docs"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/tintwell.png"
  echo "Saved $root/docs/tintwell.png (${WIDTH} x ${HEIGHT})"
elif $headless; then
  sleep 0.5
  import -window root "$build/demo.png"
  echo "No display: the screen is saved in $build/demo.png"
else
  echo "Close Tintwell's window to end the demo."
  wait "$tintwell_pid" || true
fi
