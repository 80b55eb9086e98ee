#!/usr/bin/env bash
# Sets everything up (packages, build) and runs every test of the native build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh linux
ctest --preset linux
