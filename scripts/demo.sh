#!/usr/bin/env bash
# Installs what is missing, builds the library and the command (not the tests), and runs the
# demonstration: a simulated terminal line driven through the library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh linux solvard
exec build/linux/tools/solvard demo "$@"
