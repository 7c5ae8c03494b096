#!/usr/bin/env bash
# What a newcomer does, on a Debian 12 that has nothing yet: in a fresh
# system made with debootstrap (minbase, plus git and ca-certificates), a
# clone of what is committed here runs the README's test command, starts the
# program as the README's first command does (on a private X server, answered
# and quit as a student would), and makes the Debian package; a second fresh
# system installs that package with apt and runs what it installed. A missing
# install step fails here even when this machine has the package.
#
# Usage: tests/package/fresh-debian.sh [--windows]
#   --windows  also runs the Windows leg (scripts/windows-qt, build-windows,
#              run-windows-tests, package-windows) in the first fresh system.
#
# The Windows leg is not in CI's fresh run: it builds everything the Linux
# leg builds a second time (a cross build of the program, every test under
# Wine: about 5 minutes here) and reads the Qt for Windows archive from
# ../shared, which only a checkout laid out as CI's has. .ci/run runs it on
# this machine instead, and scripts/build-windows installs what it needs from
# both package lists; --windows proves that in a fresh system too.
#
# The fresh base is kept in the project's cache folder (as a tarball, made
# once) and the packages apt downloads there are kept beside it, so a second
# run unpacks and installs from that instead of bootstrapping and fetching
# again. Each step's time is printed; a failed step is named, with the last
# lines of its log; every step's log is kept in the cache folder
# (fresh-debian-logs) until the next run.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
windows=false
for arg; do
  case "$arg" in
    --windows) windows=true ;;
    *) echo "usage: fresh-debian.sh [--windows]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" = 0 ] || { echo "fresh-debian.sh: needs root (debootstrap, chroot, mount)" >&2; exit 2; }

suite=bookworm
cache=${QALESSON_CACHE:-$HOME/.cache/qalesson}
# The mirror this machine's own apt sources name for the suite, and its
# security and updates suites when they name them too.
sources() {
  apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' 2>/dev/null | sort -u
}
mirror=$(sources | awk -v s="$suite" '$2 == s { print $1; exit }')
[ -n "$mirror" ] || { echo "fresh-debian.sh: the apt sources name no mirror for $suite" >&2; exit 2; }
base_tar=$cache/debian-$suite-minbase-$(printf '%s\n' "$mirror" git ca-certificates | sha256sum | cut -c1-12).tar
archives=$cache/debian-$suite-apt-archives
mkdir -p "$cache" "$archives/partial"

work=$(mktemp -d /var/tmp/qalesson-fresh.XXXXXX)
logs=$work/logs
mkdir -p "$logs"
# What the steps mounted and the fresh systems they made, a line each: the
# steps run as processes of their own, so they write these down for cleanup.
: > "$work/mounts"
: > "$work/roots"

# Ends every process still running in a fresh system (an X server, a bus
# left by a test), unmounts what was mounted in it, innermost first, and
# removes the work folder only once nothing is mounted there.
cleanup() {
  local status=$? root pid path
  while read -r root; do
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then kill -9 "$pid" 2>/dev/null || true; fi
    done
  done < "$work/roots"
  tac "$work/mounts" | while read -r path; do
    umount "$path" 2>/dev/null || umount -l "$path" || true
  done
  if [ -d "$logs" ]; then
    rm -rf "$cache/fresh-debian-logs"
    cp -r "$logs" "$cache/fresh-debian-logs"
    echo "fresh-debian.sh: every step's log is in $cache/fresh-debian-logs" >&2
  fi
  if grep -qF " $work/" /proc/self/mounts; then
    echo "fresh-debian.sh: left $work in place: something is still mounted in it" >&2
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# step NAME COMMAND...: runs the command (in a process of its own, so that
# any command of it that fails fails the step) with its output in NAME's log,
# prints how long it took, and on failure names the step and ends the run.
total_start=$(date +%s)
step() {
  local name=$1 start status=0 log
  shift
  log=$logs/${name//[^A-Za-z0-9.-]/-}.log
  start=$(date +%s)
  printf 'fresh Debian: %s ...\n' "$name"
  ( set -e; "$@" ) > "$log" 2>&1 &
  wait $! || status=$?
  if [ "$status" != 0 ]; then
    printf '\nFAILED: fresh Debian step "%s" (exit %s) after %s s; the last lines of its log:\n' \
      "$name" "$status" "$(( $(date +%s) - start ))" >&2
    tail -n 40 "$log" | sed 's/^/  | /' >&2
    exit 1
  fi
  printf 'fresh Debian: %s: %s s\n' "$name" "$(( $(date +%s) - start ))"
}

make_base() {
  command -v debootstrap >/dev/null || {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
  }
  local root=$work/bootstrap
  debootstrap --variant=minbase --include=git,ca-certificates "$suite" "$root" "$mirror"
  # The suites a Debian 12 installation has: the release, its updates and
  # its security updates, from the mirrors this machine uses.
  sources | awk -v s="$suite" '$2 == s || $2 == s "-updates" || $2 == s "-security" {
      print "deb " $1 " " $2 " main" }' > "$root/etc/apt/sources.list"
  rm -rf "$root/var/cache/apt/archives/"*.deb "$root/var/lib/apt/lists/"*_Packages
  tar --numeric-owner -C "$root" -cf "$base_tar.part" .
  mv "$base_tar.part" "$base_tar"
  rm -rf --one-file-system "$root"
}

# new_root NAME: a fresh system from the base, with the host's file systems
# mounted in it, the host's name resolution, and the kept downloads.
new_root() {
  local root=$work/$1
  mkdir "$root"
  echo "$root" >> "$work/roots"
  tar --numeric-owner -C "$root" -xf "$base_tar"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  echo "$root/proc" >> "$work/mounts"
  mount -t sysfs sysfs "$root/sys"
  echo "$root/sys" >> "$work/mounts"
  for fs in dev dev/pts dev/shm var/cache/apt/archives; do
    mkdir -p "$root/$fs"
    case $fs in var/*) mount --bind "$archives" "$root/$fs" ;; *) mount --bind "/$fs" "$root/$fs" ;; esac
    echo "$root/$fs" >> "$work/mounts"
  done
}

# inside ROOT COMMAND: runs a shell command there as a root login would,
# with no terminal and nothing of this machine's environment.
inside() {
  local root=$1
  shift
  setsid --wait chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$*" < /dev/null
}

clone() {
  local root=$work/newcomer
  mkdir -p "$root/work"
  git clone --quiet --no-hardlinks "$top" "$root/work/qalesson"
  if [ -d "$top/../shared" ]; then
    cp -a "$top/../shared" "$root/work/shared"
  fi
}

run_program() {
  inside "$work/newcomer" "cd /work/qalesson && mkdir -p /work/out &&
    python3 tests/package/fresh-run-program.py /work/qalesson /work/out"
}

windows_leg() {
  inside "$work/newcomer" 'cd /work/qalesson && ./scripts/windows-qt && ./scripts/build-windows &&
    ./scripts/run-windows-tests && ./scripts/package-windows'
}

# The package on a second fresh system: what apt installs with it holds no
# build or test package, and the installed programs run (the report on the
# send file the program wrote on the first system).
install_package() {
  local root=$work/student deb
  deb=$(cd "$work/newcomer/work/qalesson/build" && ls qalesson_*.deb)
  cp "$work/newcomer/work/qalesson/build/$deb" "$work/newcomer/work/out/"send_*.txt "$root/root/"
  inside "$root" "dpkg-query -W -f='\${Package}\n' | sort > /root/before"
  inside "$root" "cd /root && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./$deb"
  inside "$root" "dpkg-query -W -f='\${Package}\n' | sort > /root/after"
  comm -13 "$root/root/before" "$root/root/after" > "$logs/installed-packages"
  echo "apt installed $(wc -l < "$logs/installed-packages") packages with $deb"
  . "$top/tests/package/build-only.sh"
  if grep -E -e "$build_only" "$logs/installed-packages"; then
    echo "installing $deb pulled in the build or test packages above"
    return 1
  fi
  inside "$root" 'qalesson --version && qalesson --check /usr/share/qalesson/lessons/sample.txt &&
    cd /root && qalesson-report send_*.txt > report.csv && cat report.csv'
  grep -q "A fresh answer" "$root/root/report.csv" || { echo "the report does not show the recorded answer"; return 1; }
}

if [ -f "$base_tar" ]; then
  step "unpack the base" new_root newcomer
else
  step "bootstrap the base" make_base
  step "unpack the base" new_root newcomer
fi
step "clone the checkout" clone
step "scripts/run-tests" inside "$work/newcomer" 'cd /work/qalesson && ./scripts/run-tests'
step "scripts/run-program" run_program
step "scripts/package" inside "$work/newcomer" 'cd /work/qalesson && ./scripts/package'
if $windows; then
  step "the Windows leg" windows_leg
fi
step "a second fresh base" new_root student
step "install the package" install_package
echo "fresh Debian: every step passed in $(( $(date +%s) - total_start )) s"
