#!/usr/bin/env bash
# Runs the unit tests of a Windows build (the mingw-x64 preset's) under Wine.
#
#   scripts/wine-unit-tests.sh BUILD_DIR
#
# WINEPREFIX names the prefix; one that is set up already (a runner's, with its COM ports
# mapped) is used as it is, otherwise a fresh one is made. Wine's services are started before
# CTest runs: started by the first test program instead, they would inherit CTest's pipes, and
# CTest would wait for them until its timeout. The test programs list their tests at that time
# too (discovery runs through Wine when CTest starts, not at build time).
#
# What the runner may set for the tests that need a mapped port (each skips without it):
#   SOLVARD_WINE_MISSING_COM=n  COMn is mapped to a path that does not exist
#   SOLVARD_WINE_SIM_COM=n      COMn is mapped to the pseudo-terminal of `solvard simulate
#                               --door 3`
# Test databases are given to the SQLite driver by their Unix paths: the driver is a Linux one
# behind odbc32, and would take a Windows path (Z:\...) for a file name of its own. Characters
# beyond the basic plane do not survive that driver under Wine (unixODBC converts as UCS-2).
# SOLVARD_PG_CONNECT, if set, names a PostgreSQL server for the tests that need one.
#
# The Wine server is stopped at the end unless SOLVARD_WINE_KEEP_SERVER=1.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
[ -f "$build/CTestTestfile.cmake" ] || { echo "$0: no tests in $build (build the mingw-x64 preset first)" >&2; exit 2; }

# unixODBC hands the W calls' texts to an ANSI driver (the SQLite one) in the locale's code set:
# a C locale would turn every character beyond Latin-1 into a blank.
export LC_ALL=C.UTF-8
export WINEPREFIX=${WINEPREFIX:-/tmp/solvard-wine-unit}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

stop_server() {
  if [ "${SOLVARD_WINE_KEEP_SERVER:-0}" != 1 ]; then
    timeout 30 wineserver -k 2>/dev/null || true
  fi
}
trap stop_server EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  timeout 180 wineboot -i
  timeout 60 wineserver -w
  # A prefix of our own: one port mapped to a path that does not exist, for the test of an open
  # that fails there (the mapping takes effect when the server starts again).
  if [ -z "${SOLVARD_WINE_MISSING_COM:-}" ]; then
    timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d /nonexistent/solvard-tty /f
    timeout 60 wineserver -k || true
    export SOLVARD_WINE_MISSING_COM=7
  fi
fi
# Persistent until killed; fails harmlessly when the prefix's server runs already.
timeout 30 wineserver -p 2>/dev/null || true
timeout 60 wine cmd /c ver

# Each test is its own Wine process; on a loaded machine Wine now and then fails to start one
# (it ends at once with no output, before the test's first line). A second run of that test
# tells such a start apart from a test that fails: a failing test fails both times.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j1 --timeout 120 \
  --repeat until-pass:2
