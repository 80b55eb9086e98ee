#!/usr/bin/env bash
# Sets everything up (packages, build) and runs the demonstration: a simulated terminal line
# driven through the library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh linux
exec build/linux/tools/solvard demo "$@"
