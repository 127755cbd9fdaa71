#!/usr/bin/env bash
# Runs the whole suite on another Debian release: the committed HEAD of this clone, cloned into a
# minimal root of that release (debootstrap --variant=minbase), where the two commands run as on a
# fresh machine. Root only; no container engine, just chroot inside private namespaces.
#
#   tools/check-release.sh trixie [--fresh]
#
# Two steps, offline, in one clone:
#   1. on the root with only what `make run` and `make package` install: `make package`, which
#      builds the program alone, so a build need listed only with the tests fails here;
#   2. with the test packages added: `make test`, `make package`, and the release's own lintian.
#
# What is kept, under $TESSEL_RELEASE_CACHE (default /var/cache/tessel-check-release): /var/cache
# is where a machine keeps data it can always remake; it is outside the clone, so a fresh clone
# (CI's) and `make clean` reuse it and git never sees it. Per release:
#   base/                 the debootstrapped root, never written after it is made
#   program-KEY/          what `tools/setup.sh --package` installs on base (an overlayfs layer)
#   tests-KEY/            what `tools/setup.sh --tests` adds on top of that
#   apt-archives/         the downloaded .deb files, so remade layers need not download them again
# KEY is a hash of tools/setup.sh and the Makefile: a change to what the commands install is
# tried on the bare base again. All are remade when base is a week old (the archive moves on) or
# with --fresh. Each run writes to a throwaway layer of its own, so every run starts from the
# same root and nothing a test writes survives.
#
# The run has its own mount, PID, IPC and network namespaces: every mount goes away with it, every
# server a test leaves behind is ended with it, an X server's or D-Bus's abstract socket cannot meet
# the host's, and nothing can download at build or test time (there is only a loopback).
set -euo pipefail

self=$(readlink -f "$0")

# Inside the namespaces: mount the layered root and what a Debian system expects, then chroot.
#   __enter ROOT LOWERDIRS UPPER WORK NETWORK(host|none) ARCHIVES(dir or -) COMMAND...
if [ "${1:-}" = "__enter" ]; then
  shift
  root=$1 lowers=$2 upper=$3 work=$4 network=$5 archives=$6
  shift 6
  mount -t overlay overlay -o "lowerdir=$lowers,upperdir=$upper,workdir=$work" "$root"
  mount -t proc proc "$root/proc"
  mount -t sysfs -o ro sysfs "$root/sys"
  # A /dev of its own: the usual nodes, a private pty instance and shared-memory tmpfs.
  mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
  for node in null zero full random urandom tty; do
    touch "$root/dev/$node"
    mount --bind "/dev/$node" "$root/dev/$node"
  done
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
  ln -s /proc/self/fd "$root/dev/fd"
  for i in 0 1 2; do ln -s "/proc/self/fd/$i" "$root/dev/$(sed -n "$((i + 1))p" <<<$'stdin\nstdout\nstderr')"; done
  mount -t tmpfs -o mode=755,nosuid,nodev run "$root/run"
  # logind's directories, as a booted system has them: Debian 12's WirePlumber quits when it
  # cannot watch them, and the sound-server tests then find no session manager.
  mkdir -p "$root"/run/systemd/{seats,sessions,users,machines}
  mount -t tmpfs -o mode=1777,nosuid,nodev tmp "$root/tmp"
  if [ "$network" = host ]; then
    mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
  else
    ip link set lo up
  fi
  [ "$archives" = - ] || mount --bind "$archives" "$root/var/cache/apt/archives"
  exec chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    TERM="${TERM:-dumb}" CI="${CI:-}" DEBIAN_FRONTEND=noninteractive "$@"
fi

usage() {
  echo "usage: tools/check-release.sh RELEASE [--fresh]   (RELEASE: a Debian code name, e.g. trixie)" >&2
  exit 2
}
release=${1:-}
[[ $release =~ ^[a-z]+$ ]] || usage
fresh=false
case "${2:-}" in --fresh) fresh=true ;; "") ;; *) usage ;; esac
[ "$(id -u)" -eq 0 ] || { echo "check-release: needs root (debootstrap, mount, chroot)" >&2; exit 2; }

src=$(git -C "$(dirname "$self")" rev-parse --show-toplevel)
head=$(git -C "$src" rev-parse HEAD)
if [ -n "$(git -C "$src" status --porcelain --untracked-files=no)" ]; then
  echo "check-release: note: uncommitted changes are not checked, only HEAD $head"
fi

started=$SECONDS
stage() { printf '\n== check-release %s: %s (%d s so far)\n' "$release" "$*" $((SECONDS - started)); }

if ! command -v debootstrap >/dev/null; then
  stage "installing debootstrap"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi
[ -e "/usr/share/debootstrap/scripts/$release" ] ||
  { echo "check-release: this debootstrap does not know '$release'" >&2; exit 2; }

cache=${TESSEL_RELEASE_CACHE:-/var/cache/tessel-check-release}/$release
mkdir -p "$cache/apt-archives/partial"
# One run per release at a time: a second waits rather than sharing the layers half-made.
exec 9>"$cache/lock"
flock 9

# Runs COMMAND... as root in the release's root: LOWERDIRS, a fresh writable layer in WORKDIR.
in_root() {
  local lowers=$1 layer=$2 network=$3 archives=$4
  shift 4
  mkdir -p "$layer/upper" "$layer/work" "$layer/root"
  local isolate=(--mount --propagation private --pid --fork --kill-child --ipc)
  [ "$network" = host ] || isolate+=(--net)
  unshare "${isolate[@]}" -- bash "$self" __enter "$layer/root" "$lowers" "$layer/upper" \
    "$layer/work" "$network" "$archives" "$@"
}

# The base root, made once a week.
if $fresh || [ -z "$(find "$cache/base/.tessel-made" -mtime -7 2>/dev/null)" ]; then
  stage "debootstrap --variant=minbase $release"
  rm -rf "$cache/base.new" "$cache"/program-* "$cache"/tests-*
  debootstrap --variant=minbase "$release" "$cache/base.new" >"$cache/debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/debootstrap.log" >&2; exit 1; }
  date -u >"$cache/base.new/.tessel-made"
  rm -rf "$cache/base"
  mv "$cache/base.new" "$cache/base"
fi

# The packages the commands install, in two layers on top of base, once for each version of the
# set-up.
key=$(cat "$src/tools/setup.sh" "$src/Makefile" | sha256sum | cut -c1-16)
provision() { # NAME LOWERDIRS SETUP-OPTION: makes the layer NAME-KEY unless it is there
  local layer=$cache/$1-$key
  [ -d "$layer" ] && return 0
  stage "installing tools/setup.sh $3 ($1 layer $key)"
  rm -rf "$cache/$1"-* "$cache/provisioning"
  [ "$1" = tests ] || rm -rf "$cache"/tests-* # each tests layer stands on one program layer
  mkdir -p "$cache/provisioning/upper"
  cp "$src/tools/setup.sh" "$cache/provisioning/upper/setup.sh"
  # apt's and dpkg's lines go to a log, shown only if the set-up fails.
  in_root "$2" "$cache/provisioning" host "$cache/apt-archives" \
    bash -c "bash /setup.sh $3 && rm /setup.sh && apt-get autoclean -qq" >"$cache/$1.log" 2>&1 ||
    { tail -n 40 "$cache/$1.log" >&2; exit 1; }
  grep '^setup:' "$cache/$1.log"
  mkdir "$layer.new"
  mv "$cache/provisioning/upper" "$layer.new/upper"
  rm -rf "$cache/provisioning"
  mv "$layer.new" "$layer"
}
provision program "$cache/base" --package
provision tests "$cache/program-$key/upper:$cache/base" --tests

stage "cloning $head"
run=$cache/run
rm -rf "$run"
mkdir -p "$run/program/upper/root" "$run/tests/upper/root"
git clone -q --no-hardlinks "$src" "$run/program/upper/root/tessel"
git -C "$run/program/upper/root/tessel" checkout -q --detach "$head"

versions='
  . /etc/os-release
  echo "check-release: $PRETTY_NAME; $(gcc --version | head -n 1); $(cmake --version | head -n 1)"
  echo "check-release: Qt $(pkg-config --modversion Qt6Core), SDL $(pkg-config --modversion sdl2)," \
       "PipeWire $(pkg-config --modversion libpipewire-0.3), libpulse $(pkg-config --modversion libpulse)"'
status=0
stage "make package on the root with the program's packages only, offline"
in_root "$cache/program-$key/upper:$cache/base" "$run/program" none - bash -c "
  set -e
  cd /root/tessel
  $versions
  make package
" || status=$?

if [ "$status" -eq 0 ]; then
  stage "make test, make package and lintian, with the test packages, offline"
  mv "$run/program/upper/root/tessel" "$run/tests/upper/root/tessel"
  in_root "$cache/tests-$key/upper:$cache/program-$key/upper:$cache/base" "$run/tests" none - bash -c "
    set -e
    cd /root/tessel
    echo \"check-release: \$(clang-format --version); \$(lintian --version)\"
    make test
    make package
    echo \"check-release: lintian \$(ls build/tessel_*.deb)\"
    lintian --fail-on error,warning --display-info --display-experimental --pedantic build/tessel_*.deb
    echo 'check-release: lintian: no error, no warning'
  " || status=$?
fi

if [ "$status" -eq 0 ]; then
  rm -rf "$run"
  stage "passed"
else
  stage "FAILED (status $status); the run's files are kept in $run"
fi
exit "$status"
