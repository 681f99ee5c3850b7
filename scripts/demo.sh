#!/usr/bin/env bash
# Runs Tintwell beside the stand-in messenger, signed in as a sample account.
#
#   demo.sh run          with a display: until you close Tintwell; without one:
#                        starts Xvfb, saves a screenshot, prints its path, ends
#   demo.sh screenshot   renders the README's picture (docs/tintwell.png)
#
# Either way it stops everything it started.
set -euo pipefail
mode=${1:-run}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/x64"
harness="$root/scripts/wine-harness.sh"
account="sample.user@example.com"
wine=/usr/lib/wine/wine64

[ "$mode" = screenshot ] && unset DISPLAY
headless=false
[ -z "${DISPLAY:-}" ] && headless=true

harness_ours=false
if [ ! -f "$build/harness/state" ]; then
  bash "$harness" "$build" start
  harness_ours=true
fi
eval "$(bash "$harness" "$build" env | sed 's/^/export /')"
standin="$build/standin/messenger-standin.exe"
tintwell_pid=""

cleanup() {
  [ -n "$tintwell_pid" ] && kill "$tintwell_pid" 2>/dev/null || true
  "$wine" "$standin" /ctl:quit >/dev/null 2>&1 || true
  "$wine" "$standin" /unregserver >/dev/null 2>&1 || true
  if $harness_ours; then
    bash "$harness" "$build" stop
  fi
}
trap cleanup EXIT

"$wine" "$standin" /regserver
"$wine" "$standin" "/signin:$account" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
  "$wine" "$standin" /ctl:ping && break
  sleep 0.1
done

"$wine" "$build/src/Tintwell.exe" </dev/null >/dev/null 2>&1 &
tintwell_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tintwell - ' | head -1)
echo "Tintwell is running; the messenger's signed-in account is $account."

if [ "$mode" = screenshot ]; then
  # A colour worth showing: red 40, green 90, blue 200.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  for keys in "Home $(printf 'Right %.0s' $(seq 40))" "Tab Home $(printf 'Next %.0s' $(seq 6))" \
              "Tab End Prior Prior Prior Right Right Right Right Right Right Right Right Right Right"; do
    xdotool key --delay 5 $keys
  done
  xdotool key Tab Tab  # the focus back on red, away from the sample text
  sleep 0.5
  mkdir -p "$root/docs"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/tintwell.png"
  echo "Saved $root/docs/tintwell.png"
elif $headless; then
  sleep 0.5
  import -window root "$build/demo.png"
  echo "No display: the screen is saved in $build/demo.png"
else
  echo "Close Tintwell's window to end the demo."
  wait "$tintwell_pid" || true
  tintwell_pid=""
fi
