#!/usr/bin/env bash
# A private PostgreSQL server for the database tests: its own data folder, port and socket folder,
# trust authentication, listening on 127.0.0.1 only, with an empty database solvard_test. It
# installs nothing (scripts/setup.sh does) and needs no service manager.
#
#   scripts/pg-test-server.sh start   initialise and start it (a running one is left as it is)
#   scripts/pg-test-server.sh env     print SOLVARD_PG_CONNECT=<ODBC connection text>
#   scripts/pg-test-server.sh stop    stop it and remove its folder
#
# Typical use:  scripts/pg-test-server.sh start
#               export "$(scripts/pg-test-server.sh env)"
#               ctest ...; scripts/pg-test-server.sh stop
#
# The port: SOLVARD_PG_PORT when set (start fails if something else listens there); otherwise
# start takes the first free one from 55432 up, says which, and keeps it in build/pg-test-server.port
# for env and stop, so that another PostgreSQL or a second checkout running its tests never
# collides with this one. SOLVARD_PG_DIR (default ${TMPDIR:-/tmp}/solvard-pg-<port>) chooses
# another folder. Run as root, the server runs as the user postgres; run as another user, it runs
# as that user.
set -euo pipefail

checkout="$(cd "$(dirname "$0")/.." && pwd)"
port_file="$checkout/build/pg-test-server.port"
first_port=55432
last_port=55531
database=solvard_test
superuser=postgres

# Whether anything listens on the TCP port, IPv4 or IPv6 (read from the kernel's tables, so that
# it needs no tool a minimal machine lacks).
port_taken() {
  local hex
  hex="$(printf '%04X' "$1")"
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    awk -v p=":$hex" '$2 ~ p"$" && $4 == "0A" { found = 1 } END { exit !found }'
}

# The port of this checkout's server: the one asked for, else the one start chose.
chosen_port() {
  if [ -n "${SOLVARD_PG_PORT:-}" ]; then
    echo "$SOLVARD_PG_PORT"
  elif [ -s "$port_file" ]; then
    cat "$port_file"
  else
    echo "$first_port"
  fi
}

port="$(chosen_port)"
case "$port" in
  *[!0-9]* | '') echo "pg-test-server: SOLVARD_PG_PORT must be a port number, not '$port'" >&2; exit 2 ;;
esac
root_for() { echo "${SOLVARD_PG_DIR:-${TMPDIR:-/tmp}/solvard-pg-$1}"; }
root="$(root_for "$port")"

usage() {
  echo "usage: $0 start|stop|env" >&2
  exit 2
}

pg_bin() {
  local found
  found="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
  if [ -z "$found" ]; then
    echo "pg-test-server: no PostgreSQL server found (install the package postgresql)" >&2
    exit 1
  fi
  echo "$found"
}

# Runs a command as the owner of the server's files.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

running() {
  [ -f "$root/data/PG_VERSION" ] && as_owner "$(pg_bin)/pg_ctl" status -D "$root/data" >/dev/null 2>&1
}

# Picks the port for a new server: the one asked for, or the first free one.
pick_port() {
  if [ -n "${SOLVARD_PG_PORT:-}" ]; then
    if port_taken "$port"; then
      echo "pg-test-server: something already listens on 127.0.0.1:$port; unset SOLVARD_PG_PORT to let this script pick a free port, or name another" >&2
      exit 1
    fi
    return
  fi
  local candidate
  for ((candidate = first_port; candidate <= last_port; candidate++)); do
    if ! port_taken "$candidate"; then
      port=$candidate
      root="$(root_for "$port")"
      mkdir -p "$(dirname "$port_file")"
      echo "$port" >"$port_file"
      return
    fi
  done
  echo "pg-test-server: no free port from $first_port to $last_port; name one with SOLVARD_PG_PORT" >&2
  exit 1
}

start() {
  local bin
  bin="$(pg_bin)"
  # Only this checkout's own server (the port it asked for or was given) counts as running:
  # another checkout's server in the default folder is not ours to use or stop.
  if { [ -n "${SOLVARD_PG_PORT:-}" ] || [ -s "$port_file" ]; } && running; then
    echo "pg-test-server: already running on 127.0.0.1:$port ($root)"
    return
  fi
  pick_port
  cd /
  rm -rf "$root"
  mkdir -p "$root/socket"
  [ "$(id -u)" -ne 0 ] || chown -R postgres: "$root"
  chmod 700 "$root"
  as_owner "$bin/initdb" -D "$root/data" -U "$superuser" -A trust -E UTF8 --no-locale --no-sync \
    >"$root/initdb.log" 2>&1 || { cat "$root/initdb.log" >&2; exit 1; }
  # fsync off: the data is thrown away after the tests, so durability only costs time.
  as_owner "$bin/pg_ctl" start -D "$root/data" -l "$root/server.log" -w -t 30 \
    -o "-p $port -k $root/socket -c listen_addresses=127.0.0.1 -c fsync=off" >/dev/null ||
    { cat "$root/server.log" >&2; exit 1; }
  as_owner "$bin/createdb" -h 127.0.0.1 -p "$port" -U "$superuser" "$database"
  echo "pg-test-server: running on 127.0.0.1:$port ($root)"
  [ "$port" = "$first_port" ] || [ -n "${SOLVARD_PG_PORT:-}" ] ||
    echo "pg-test-server: port $first_port was taken; took $port (kept in ${port_file#"$checkout"/})"
}

stop() {
  cd /
  if [ -z "${SOLVARD_PG_PORT:-}" ] && [ ! -s "$port_file" ]; then
    echo "pg-test-server: no server of this checkout to stop"
    return
  fi
  if running; then
    as_owner "$(pg_bin)/pg_ctl" stop -D "$root/data" -m fast -w >/dev/null
  fi
  rm -rf "$root"
  [ -n "${SOLVARD_PG_PORT:-}" ] || rm -f "$port_file"
  echo "pg-test-server: stopped"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  env)
    echo "SOLVARD_PG_CONNECT=Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=$database;Uid=$superuser;"
    ;;
  *) usage ;;
esac
