#!/usr/bin/env bash
# Installs what building, running and testing need, and does nothing more when
# it is all there: the Debian packages of both architectures, Wine's 32-bit
# side, and (on a kernel that cannot run i386 programs itself) qemu's i386
# emulator registered for them.
# Run by a normal user (make run, make test), it says what it would change on
# the machine and asks for it through sudo; without sudo it says what to run
# as root instead. Run as root, it does the same without asking.
set -euo pipefail

packages=(
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  wine64 wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick x11-apps
  cmake make googletest zip python3 python3-pefile python3-capstone clang-format shellcheck
)
binfmt=/proc/sys/fs/binfmt_misc
# Wine's 32-bit loader, an i386 program: whether it runs tells whether this
# machine runs 32-bit Linux programs at all.
wine32_loader=/usr/lib/wine/wine
# qemu older than 8.1 takes MAP_FIXED_NOREPLACE for a mere hint: Wine's 32-bit
# loader then spends about 50 s reserving its address space in 64 KB pieces.
qemu=/usr/bin/qemu-i386
qemu_oldest=8.1

export DEBIAN_FRONTEND=noninteractive

# Fails, saying what is needed and how to get it, unless changes can be made.
can_change() {
  [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null && return 0
  echo "error: $1 needs root, and sudo is missing: run 'bash scripts/install-deps.sh' as root, then this again" >&2
  exit 1
}

# Each change to the machine is named before it is made: "change WHAT CMD...".
change() {
  local what=$1
  shift
  can_change "$what"
  echo "install-deps: this changes the machine: $what"
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo DEBIAN_FRONTEND=noninteractive "$@"
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# A mirror caught mid-sync serves an index that does not match its release
# file, and apt-get update fails for that index alone (seen here: the i386
# index of bookworm-security). Ask a few times; should it stay out of reach,
# go on with what was fetched.
index_missing=false
update_indexes() {
  local attempt
  for attempt in 1 2 3; do
    change "apt-get update (the package indexes)" apt-get update -q && return 0
    echo "warning: apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" -lt 3 ] && sleep 15
  done
  index_missing=true
}

# Without one architecture's index of the release's updates, apt would pair
# an updated amd64 library with an i386 twin it cannot find: then the
# release's own versions are installed, the same for both architectures.
install_packages() {
  change "installing $*" apt-get install -y -q --no-install-recommends "$@" && return 0
  $index_missing || return 1
  # shellcheck disable=SC1091
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  echo "warning: installing $codename's own versions: an index of its updates is missing" >&2
  change "installing $codename's own $*" \
    apt-get install -y -q --no-install-recommends -t "$codename" "$@"
}

runs_i386() { "$wine32_loader" --version >/dev/null 2>&1; }

qemu_is_recent() {
  local version
  version=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9.]*\).*/\1/p')
  [ -n "$version" ] && dpkg --compare-versions "$version" ge "$qemu_oldest"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  change "enabling Debian's i386 architecture, for Wine's 32-bit side" dpkg --add-architecture i386
  update_indexes
fi

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  can_change "installing ${missing[*]}"
  update_indexes
  install_packages "${missing[@]}"
fi

# An interpreter registered already is left as it is, but for a qemu older
# than 8.1: it also resumes a thread of Wine's 32-bit side with another
# thread's registers while it dispatches an exception, so 32-bit Wine
# programs crash. Such an entry is replaced.
entry=$binfmt/qemu-i386
interpreter=$(sed -n 's/^interpreter //p' "$entry" 2>/dev/null || true)
if [ -n "$interpreter" ] && ! qemu="$interpreter" qemu_is_recent; then
  change "removing the i386 interpreter $interpreter from binfmt_misc (older than qemu $qemu_oldest)" \
    sh -c "echo -1 >'$entry'"
fi
runs_i386 && exit 0

# The kernel does not run i386 programs itself: qemu does, through binfmt_misc.
if ! qemu_is_recent; then
  release=()
  # shellcheck disable=SC1091
  if [ "$(. /etc/os-release && echo "$VERSION_CODENAME")" = bookworm ]; then
    change "adding bookworm-backports to apt's sources, for qemu-user $qemu_oldest or later" \
      sh -c "echo 'deb http://deb.debian.org/debian bookworm-backports main' \
        >/etc/apt/sources.list.d/bookworm-backports.list"
    release=(-t bookworm-backports)
  fi
  update_indexes
  change "installing qemu-user $qemu_oldest or later, to run i386 programs" \
    apt-get install -y -q --no-install-recommends "${release[@]}" qemu-user
  qemu_is_recent || { echo "error: $qemu is still older than $qemu_oldest" >&2; exit 1; }
fi
if [ ! -e "$binfmt/register" ]; then
  change "mounting binfmt_misc" mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ -e "$entry" ]; then
  echo "error: i386 programs cannot run, yet $entry is registered:" >&2
  cat "$entry" >&2
  exit 1
fi
# The fixed-binary flag (F) opens the interpreter now, so that it is found
# from inside any mount namespace and with any PATH.
change "registering $qemu for i386 programs in binfmt_misc" sh -c "printf '%s' \
  ':qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F' \
  >'$binfmt/register'"
runs_i386 || { echo "error: i386 programs still do not run through $qemu" >&2; exit 1; }
echo "i386 programs run through $qemu"
