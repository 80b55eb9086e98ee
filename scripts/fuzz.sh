#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a bounded time over its corpus in fuzz/corpus/, two at a time. Exits
# non-zero when any harness crashes, traps or leaks; its log and the input that did it are
# kept in build/fuzz/. Installs what is missing on Debian 12, as scripts/setup.sh does.
#
#   scripts/fuzz.sh                      every harness, 30 seconds each
#   scripts/fuzz.sh json_reader date_text   only those
#   SOLVARD_FUZZ_SECONDS=300 scripts/fuzz.sh   longer runs
#   SOLVARD_FUZZ_JOBS=1 scripts/fuzz.sh        one at a time
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(clang libclang-rt-14-dev make cmake pkg-config unixodbc-dev libcpp-httplib-dev libmosquitto-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "solvard fuzz: installing ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

seconds="${SOLVARD_FUZZ_SECONDS:-30}"
jobs="${SOLVARD_FUZZ_JOBS:-2}"
build=build/fuzz
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# New inputs go to the build folder; the corpus in the repository is read, not written, so a
# run leaves the checkout as it was. Every input of the corpus runs first: a crash kept there
# as a regression case fails the run at once until it is fixed.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
run_target() {
  local target=$1
  local work="$build/corpus/$target" artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts" "$build/logs"
  local status=0
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "$work" "fuzz/corpus/$target" \
    >"$build/logs/$target.log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$target.status"
}

echo "solvard fuzz: ${#targets[@]} harnesses, ${seconds} s each, ${jobs} at a time"
running=0
for target in "${targets[@]}"; do
  [ -x "$build/fuzz/fuzz_$target" ] || { echo "solvard fuzz: no harness $target" >&2; exit 2; }
  rm -f "$build/logs/$target.status"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

failed=()
for target in "${targets[@]}"; do
  status=$(cat "$build/logs/$target.status" 2>/dev/null || echo "no status")
  runs=$(grep -o '^stat::number_of_executed_units: *[0-9]*' "$build/logs/$target.log" |
    grep -o '[0-9]*$' || true)
  if [ "$status" = "0" ]; then
    echo "  ok      $target (${runs:-?} inputs)"
  else
    echo "  FAILED  $target (exit $status), log $build/logs/$target.log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "== $target"
    grep -E -A12 'ERROR: |runtime error|SUMMARY|Test unit written' "$build/logs/$target.log" |
      head -n 40 || tail -n 40 "$build/logs/$target.log"
  done
  exit 1
fi
