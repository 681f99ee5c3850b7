#!/usr/bin/env bash
# Runs a command in a Debian 13 (trixie) root of the project's own, with the
# work tree at /tintwell inside it:
#   debian13.sh make test        the README's commands, on Debian 13
#   debian13.sh bash             a shell there
# The root is made on first use (debootstrap from Debian's archive, about a
# minute, then make and git) in build/debian13/root and reused after; inside
# it, /tintwell/build is build/debian13/build, so the two releases' builds
# never mix. Needs root.
#
# Everything the command runs lives in a mount and a PID namespace of its own:
# the root's mounts (/proc, /dev, /sys, the work tree, the X sockets) exist
# only there, and when the command ends, or this script is interrupted
# (Ctrl+C, SIGTERM, SIGHUP) or killed outright, the command is asked to stop,
# then whatever is left inside is ended and the mounts vanish with the
# namespace. A root whose making was cut short is recognised (it is not
# marked ready) and made again.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
home=$repo/build/debian13
root=$home/root
mirror=http://deb.debian.org/debian

fail() {
  echo "error: $*" >&2
  exit 1
}

[ $# -gt 0 ] || fail "usage: $0 COMMAND [ARGS...]   (for example: $0 make test)"
[ "$(id -u)" -eq 0 ] || fail "the Debian 13 root needs root (debootstrap, chroot and mounts): run this as root"
for tool in unshare setpriv chroot flock; do
  command -v "$tool" >/dev/null || fail "$tool is missing (util-linux and coreutils provide it)"
done
mkdir -p "$home/build"

# Only a fresh root is ever made or removed, and never across a mount point:
# rm stays on the build tree's own file system.
make_root() {
  local fresh=$root.new
  if ! command -v debootstrap >/dev/null; then
    echo "Installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap \
      >/dev/null || fail "debootstrap is missing and apt-get could not install it"
  fi
  rm -rf --one-file-system "$fresh" "$root"
  echo "Making a Debian 13 root in $root (debootstrap from $mirror)"
  debootstrap --variant=minbase trixie "$fresh" "$mirror" >"$home/debootstrap.log" 2>&1 ||
    fail "debootstrap could not make the Debian 13 root from $mirror (see $home/debootstrap.log)"
  enter "$fresh" bash -c 'apt-get update -q && apt-get install -y -q --no-install-recommends make git ca-certificates' \
    >>"$home/debootstrap.log" 2>&1 ||
    fail "make and git could not be installed in the Debian 13 root (see $home/debootstrap.log)"
  touch "$fresh/.tintwell-ready"
  mv "$fresh" "$root"
}

# Runs "$@" chrooted into $1, in namespaces of its own (see above); the
# namespace's first process forwards a stop to the command and ends with it.
enter() {
  local system=$1
  shift
  mkdir -p /tmp/.X11-unix "$system/tintwell" "$system/tmp/.X11-unix"
  cp /etc/resolv.conf "$system/etc/resolv.conf"
  # shellcheck disable=SC2016
  local inside='
    set -e
    system=$1 repo=$2 build=$3
    shift 3
    mount -t proc proc "$system/proc"
    mount --rbind /dev "$system/dev"
    mount --rbind /sys "$system/sys"
    mount --bind /tmp/.X11-unix "$system/tmp/.X11-unix"
    mount --bind "$repo" "$system/tintwell"
    mount --bind "$build" "$system/tintwell/build"
    set +e
    trap "kill -TERM \$child 2>/dev/null" INT TERM HUP
    chroot "$system" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      ${DISPLAY:+DISPLAY=$DISPLAY} ${CI:+CI=$CI} \
      bash -c "cd /tintwell && exec \"\$@\"" command "$@" &
    child=$!
    while :; do
      wait "$child"
      status=$?
      kill -0 "$child" 2>/dev/null || exit "$status"
    done'
  # setpriv: should this script die, even killed outright, unshare dies
  # too; unshare then gives the namespace's first process a SIGTERM.
  setpriv --pdeathsig KILL -- unshare --mount --propagation private --pid --fork \
    --kill-child=TERM -- bash -c "$inside" inside "$system" "$repo" "$home/build" "$@" &
  session=$!
  local status=0
  trap 'stop_inside; exit 130' INT
  trap 'stop_inside; exit 143' TERM HUP
  wait "$session" || status=$?
  trap - INT TERM HUP
  return "$status"
}

# Asks the command to stop, waits a minute at most, then ends all that is
# left inside (ending the namespace's first process ends every other one).
stop_inside() {
  trap '' INT TERM HUP
  local first
  first=$(ps -o pid= --ppid "$session" 2>/dev/null | head -1)
  if [ -n "$first" ]; then
    kill -TERM "$first" 2>/dev/null || true
    for _ in $(seq 600); do
      kill -0 "$first" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$first" 2>/dev/null || true
  fi
  wait "$session" 2>/dev/null || true
}

(
  flock 9
  [ -f "$root/.tintwell-ready" ] || make_root
) 9>"$home/lock"
enter "$root" "$@"
