#!/usr/bin/env bash
# Checks the installed package the way a program outside this project uses it. Installs the
# native build into a temporary prefix; builds tests/consumer against it twice, with CMake's
# find_package (the shared and the static library) and with g++ and pkg-config; checks that the
# programs load libsolvard.so.1 from that prefix and that the shared library exports only the
# public API; then runs each program against the installed `solvard simulate` on a
# pseudo-terminal, downloading an attendance terminal, and compares the record count it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/linux}"

work="$(mktemp -d)"
sim_pid=""
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
trap 'stop_simulator; rm -rf "$work"' EXIT

fail() {
  echo "consumer-test: $*" >&2
  exit 1
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir="$(find "$prefix" -name libsolvard.so.1 -printf '%h\n' | head -n 1)"
[ -n "$libdir" ] || fail "no libsolvard.so.1 installed"
for f in "$libdir/libsolvard.a" "$libdir/pkgconfig/solvard.pc" \
         "$libdir/cmake/Solvard/SolvardConfig.cmake" \
         "$libdir/cmake/Solvard/SolvardConfigVersion.cmake" \
         "$prefix/include/solvard/solvard.hpp" "$prefix/bin/solvard" \
         "$prefix/share/solvard/lang/en.rc" "$prefix/share/solvard/lang/zh-CN.rc" \
         "$prefix/share/man/man1/solvard.1" \
         "$prefix/share/bash-completion/completions/solvard" \
         "$prefix/lib/systemd/system/solvard-collect.service" \
         "$prefix/share/doc/solvard/examples/collect.toml"; do
  [ -e "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
# The collector's service starts the installed command, wherever the prefix put it.
grep -qx "ExecStart=$prefix/bin/solvard collect --config /etc/solvard/collect.toml --every 5m" \
  "$prefix/lib/systemd/system/solvard-collect.service" ||
  fail "solvard-collect.service does not start $prefix/bin/solvard"
# Only the public headers are installed: nothing of the modules' own.
strays="$(find "$prefix/include" -type f ! -path "$prefix/include/solvard/*")"
[ -z "$strays" ] || fail "headers outside include/solvard installed: $strays"

# The shared library exports the public API; the modules' namespaces stay inside it.
exported="$(nm -D -C --defined-only "$libdir/libsolvard.so.1")"
internal="$(grep -E ' solvard::(serial|db|ui|attend|prohibit|component|automation|native)::' \
  <<<"$exported" || true)"
[ -z "$internal" ] || fail "libsolvard.so.1 exports internal names: $(head -n 5 <<<"$internal")"
for name in 'solvard::AttendTerminal::download(' 'solvard::Line::make(' 'solvard::version()'; do
  grep -qF " $name" <<<"$exported" || fail "libsolvard.so.1 does not export $name"
done

echo "== consumer built with find_package(Solvard)"
cmake -S tests/consumer -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-build" >/dev/null

echo "== consumer built with g++ and pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046  # the flags are separate words
g++ -std=c++20 -Wall -Wextra -Wpedantic -Werror tests/consumer/main.cpp -o "$work/pc-consumer" \
  $(pkg-config --cflags --libs solvard) -Wl,-rpath,"$libdir"

# A program linked to the shared library names libsolvard.so.1 and finds it in the prefix.
check_shared() {
  grep -q 'NEEDED.*\[libsolvard\.so\.1\]' <<<"$(readelf -d "$1")" ||
    fail "$1 does not need libsolvard.so.1"
  local found
  found="$(ldd "$1" | awk '$1 == "libsolvard.so.1" { print $3 }')"
  [ "$(realpath "$found")" = "$(realpath "$libdir/libsolvard.so.1.0")" ] ||
    fail "$1 loads libsolvard.so.1 from '$found', not from $libdir"
}
check_shared "$work/cmake-build/consumer"
check_shared "$work/pc-consumer"
if grep -q 'NEEDED.*libsolvard' <<<"$(readelf -d "$work/cmake-build/consumer_static")"; then
  fail "consumer_static needs libsolvard.so"
fi

# Runs program $1 against a simulated attendance terminal 1 holding $2 records; it must print
# exactly that count.
download() {
  local program="$1" records="$2" link="$work/line" out
  rm -f "$link"
  # The simulator runs until stop_simulator sends it SIGTERM; it reads no input.
  "$prefix/bin/solvard" simulate --attend 1 --records "$records" --link "$link" --quiet \
    </dev/null >"$work/simulate.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -e "$link" ] && break
    kill -0 "$sim_pid" 2>/dev/null || fail "simulator ended: $(cat "$work/simulate.out")"
    sleep 0.1
  done
  [ -e "$link" ] || fail "simulator published no line at $link"
  out="$("$program" "$link")" || fail "$(basename "$program") failed (printed '$out')"
  stop_simulator
  [ "$out" = "$records" ] ||
    fail "$(basename "$program") reported '$out' records, the terminal held $records"
  echo "$(basename "$program"): $out records downloaded"
}
download "$work/cmake-build/consumer" 37
download "$work/cmake-build/consumer_static" 5
download "$work/pc-consumer" 123
echo "consumer-test: passed"
