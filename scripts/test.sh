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
