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
         "$prefix/lib/systemd/system/solvard-serve.service" \
         "$prefix/share/doc/solvard/examples/collect.toml"; do
  [ -e "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
# The collector's service starts the installed command, wherever the prefix put it.
grep -qx "ExecStart=$prefix/bin/solvard collect --config /etc/solvard/collect.toml --every 5m" \
  "$prefix/lib/systemd/system/solvard-collect.service" ||
  fail "solvard-collect.service does not start $prefix/bin/solvard"
grep -qx "ExecStart=$prefix/bin/solvard serve --config /etc/solvard/collect.toml" \
  "$prefix/lib/systemd/system/solvard-serve.service" ||
  fail "solvard-serve.service does not start $prefix/bin/solvard"
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

# Starts the installed simulator with the terminals given ($@) on the line $work/line, and waits
# until it is there. It runs until stop_simulator sends it SIGTERM; it reads no input.
start_simulator() {
  local link="$work/line"
  rm -f "$link"
  "$prefix/bin/solvard" simulate "$@" --link "$link" --quiet </dev/null >"$work/simulate.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -e "$link" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "simulator ended: $(cat "$work/simulate.out")"
    sleep 0.1
  done
  fail "simulator published no line at $link"
}

# Runs program $1 against a simulated attendance terminal 1 holding $2 records; it must print
# exactly that count.
download() {
  local program="$1" records="$2" out
  start_simulator --attend 1 --records "$records"
  out="$("$program" "$work/line")" || fail "$(basename "$program") failed (printed '$out')"
  stop_simulator
  [ "$out" = "$records" ] ||
    fail "$(basename "$program") reported '$out' records, the terminal held $records"
  echo "$(basename "$program"): $out records downloaded"
}
download "$work/cmake-build/consumer" 37
download "$work/cmake-build/consumer_static" 5
download "$work/pc-consumer" 123

# The README's C++ example as it stands there, built with the README's own pkg-config lines
# against this prefix (for its /opt/solvard), and run from a folder of its own on a simulated
# line (for its /dev/ttyUSB0) with door 3 and attendance terminal 1: the door opens, and the
# records reach a new records.db, whose tables the download makes.
echo "== the README's C++ example, built with the README's pkg-config lines"
example="$work/readme-example"
mkdir -p "$example"
awk '/^## Using the C\+\+ API/ { inside = 1 } inside && /^```cpp$/ { copying = 1; next }
     copying && /^```$/ { exit } copying' README.md >"$example/app.cpp"
grep -q 'int main' "$example/app.cpp" || fail "no C++ example with a main in the README's 'Using the C++ API'"
grep -q '"/dev/ttyUSB0"' "$example/app.cpp" || fail "the README's C++ example no longer opens /dev/ttyUSB0"
sed -i "s|\"/dev/ttyUSB0\"|\"$work/line\"|" "$example/app.cpp"
pc_export="$(grep -m1 '^export PKG_CONFIG_PATH=/opt/solvard/' README.md)" ||
  fail "the README sets no PKG_CONFIG_PATH for /opt/solvard"
build_line="$(grep -m1 '^g++ -std=c++20 app.cpp ' README.md)" || fail "the README has no g++ line for app.cpp"
(
  cd "$example"
  unset PKG_CONFIG_PATH
  eval "${pc_export//\/opt\/solvard/$prefix}"
  eval "$build_line"
) || fail "the README's C++ example does not build with: $build_line"
check_shared "$example/a.out"
start_simulator --door 3 --attend 1 --records 41
out="$(cd "$example" && ./a.out 2>"$example/stderr")" ||
  fail "the README's example failed: $(cat "$example/stderr")"
stop_simulator
[ "$out" = "41 records in records.db" ] || fail "the README's example printed '$out'"
[ ! -s "$example/stderr" ] || fail "the README's example said on standard error: $(cat "$example/stderr")"
rows="$(sqlite3 "$example/records.db" 'SELECT COUNT(*) FROM WorkCardSource')"
[ "$rows" = 41 ] || fail "records.db holds $rows rows of the 41 records"
echo "the README's example: door 3 opened, $rows records in a new records.db"
echo "consumer-test: passed"
