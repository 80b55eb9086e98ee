#!/usr/bin/env bash
# Installs what building and testing Solvard needs on Debian 12, then configures and builds the
# native preset. Safe to run again: it installs only what is missing and rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ make cmake pkg-config python3 libcli11-dev nlohmann-json3-dev libtomlplusplus-dev libcpp-httplib-dev libmosquitto-dev mosquitto python3-prometheus-client openssl tmux ser2net libgtest-dev libgmock-dev libbenchmark-dev unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql sqlite3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "solvard setup: installing ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# setup.sh [PRESET [TARGET...]]: the targets alone when named (the demonstration needs only the
# command), else everything, tests included.
preset="${1:-linux}"
shift || true
cmake --preset "$preset" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
