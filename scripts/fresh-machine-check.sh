#!/usr/bin/env bash
# Proves the README's two commands on a fresh Debian 12 machine: makes a minimal Debian 12 root
# (debootstrap minbase, plus git, which a user who cloned the repository has), clones the
# committed state of this repository into it, and runs `scripts/demo.sh` and then
# `scripts/test.sh` inside it as root, each once, as a new user would. Prints each command's exit
# status and time, and what it ran (tests, Windows stages). Nothing of this machine's packages,
# builds or caches reaches the fresh root; it reaches Debian's package archive for what the
# scripts install.
#
#   scripts/fresh-machine-check.sh [--keep] [--work DIR] [--rev REV]
#
#   --keep       leave the fresh root and its logs in place (default: removed at the end, the
#                logs kept in DIR/logs)
#   --work DIR   folder for the fresh root and the logs (default /var/tmp/solvard-fresh)
#   --rev REV    the commit to check out (default HEAD; uncommitted changes are not seen)
# Environment:
#   SOLVARD_FRESH_MIRROR  the Debian archive (default http://deb.debian.org/debian)
#   SOLVARD_FRESH_TIMEOUT limit for each command, in seconds (default 5400)
#
# Needs root (debootstrap, chroot and mounts); installs debootstrap when it is missing. Exits 0
# when both commands exit 0, 1 when either fails, 2 when the fresh root cannot be made.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

keep=0 work=/var/tmp/solvard-fresh rev=HEAD
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1 ;;
    --work) work=$2; shift ;;
    --rev) rev=$2; shift ;;
    *) echo "fresh-machine-check: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
mirror=${SOLVARD_FRESH_MIRROR:-http://deb.debian.org/debian}
limit=${SOLVARD_FRESH_TIMEOUT:-5400}

[ "$(id -u)" -eq 0 ] || { echo "fresh-machine-check: run as root (it uses debootstrap, chroot and mounts)" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  echo "fresh-machine-check: installing debootstrap"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

work=$(realpath -m "$work")
root="$work/root"
logs="$work/logs"
commit=$(git rev-parse --verify "$rev^{commit}")

# ---- the fresh root's mounts, and taking it down again ----------------------------------------
mounted=()
mount_in() {  # mount_in TARGET MOUNT-ARGS...
  local target="$root/$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted=("$target" "${mounted[@]}")
}
# Every process still running inside the root (a server a failed test left behind) is ended
# before its mounts go.
kill_inside() {
  local link pid
  for link in /proc/[0-9]*/root; do
    pid=${link#/proc/}
    pid=${pid%/root}
    [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null
  done
  true
}
take_down() {
  local target
  [ -d "$root" ] || return 0
  kill_inside
  sleep 1
  for target in "${mounted[@]}"; do
    umount -l "$target" 2>/dev/null || true
  done
  mounted=()
  if [ "$keep" -eq 0 ]; then
    # Only once nothing is mounted inside: rm must not walk into /proc or /dev.
    if ! grep -q " $root/" /proc/mounts; then rm -rf "$root"; fi
  fi
}
trap take_down EXIT
trap 'exit 130' INT TERM

# ---- making the fresh root --------------------------------------------------------------------
take_down
rm -rf "$root" "$logs"
mkdir -p "$root" "$logs"
echo "== fresh Debian 12 root in $root (debootstrap minbase + git)"
begin=$(date +%s)
debootstrap --variant=minbase --include=git bookworm "$root" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
  { tail -20 "$logs/debootstrap.log"; echo "fresh-machine-check: debootstrap failed" >&2; exit 2; }
# A fresh Debian 12 machine has the updates and the security archives too.
security=${mirror%/debian}/debian-security
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "solvard-fresh" >"$root/etc/hostname"
# Its own /proc, /sys, pseudo-terminals and shared memory: the simulator opens pseudo-terminal
# pairs, PostgreSQL and Wine use shared memory. No device of this machine is reachable from it.
mount_in proc -t proc proc
mount_in sys -t sysfs sysfs
mount_in dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts
rm -f "$root/dev/ptmx"
ln -s pts/ptmx "$root/dev/ptmx"
mount_in dev/shm -t tmpfs -o mode=1777 tmpfs
mount_in tmp -t tmpfs -o mode=1777 tmpfs
echo "   made in $(($(date +%s) - begin)) s"

echo "== clone of $(git log -1 --format='%h %s' "$commit" | cut -c1-90)"
git clone -q --no-local "$repo" "$root/root/solvard"
git -C "$root/root/solvard" checkout -q "$commit"

# ---- the README's two commands ----------------------------------------------------------------
# As a new user's login shell would run them: a plain environment, nothing of this shell's.
run_inside() {  # run_inside LOG COMMAND
  timeout --kill-after=30 "$limit" chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -lc "cd /root/solvard && $2" </dev/null >"$1" 2>&1
}
names=() statuses=() seconds=()
for command in scripts/demo.sh scripts/test.sh; do
  log="$logs/$(basename "$command" .sh).log"
  echo "== $command (log: $log)"
  begin=$(date +%s)
  status=0
  run_inside "$log" "$command" || status=$?
  names+=("$command") statuses+=("$status") seconds+=("$(($(date +%s) - begin))")
  echo "   exit $status after ${seconds[-1]} s"
  [ "$status" -eq 0 ] || tail -30 "$log"
done

# ---- what ran ---------------------------------------------------------------------------------
echo
echo "fresh-machine-check: $commit"
for i in "${!names[@]}"; do
  printf '  %-16s exit %-3s %5s s\n' "${names[$i]}" "${statuses[$i]}" "${seconds[$i]}"
done
test_log="$logs/test.log"
if [ -f "$test_log" ]; then
  echo "  native tests:    $(grep -E 'tests passed|tests failed' "$test_log" | head -1)"
  grep -E '^consumer-test: |^the README' "$test_log" | sed 's/^/  installed package: /'
  grep -E '^pg-test-server: (running|port)' "$test_log" | sed 's/^/  /' | head -2
  sed -n '/^windows-test: stage times/,/^windows-test: logs/p' "$test_log" | sed 's/^/  /'
fi
failed=0
for s in "${statuses[@]}"; do [ "$s" -eq 0 ] || failed=1; done
[ "$failed" -eq 0 ] && echo "fresh-machine-check: both commands passed" ||
  echo "fresh-machine-check: FAILED"
exit $failed
