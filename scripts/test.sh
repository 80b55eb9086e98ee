#!/usr/bin/env bash
# Sets everything up (packages, build) and runs every test of a build (default: the native one),
# the database tests against SQLite files and a throwaway PostgreSQL server started for the run.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux}"
scripts/setup.sh "$preset"

scripts/pg-test-server.sh start
trap 'scripts/pg-test-server.sh stop' EXIT
export "$(scripts/pg-test-server.sh env)"

ctest --preset "$preset"

# The installed package, used as a program outside this project uses it (native build only).
if [ "$preset" = linux ]; then
  scripts/consumer-test.sh "build/$preset"
fi

# The Windows build of the same core: Solvard.dll for x64 and x86, its checks, and every suite
# under Wine (native build only; SOLVARD_SKIP_WINDOWS=1 leaves it out on a machine without room
# for Wine and MinGW-w64).
if [ "$preset" = linux ] && [ "${SOLVARD_SKIP_WINDOWS:-0}" != 1 ]; then
  SOLVARD_JOBS="${SOLVARD_JOBS:-2}" scripts/windows-test.sh
fi
