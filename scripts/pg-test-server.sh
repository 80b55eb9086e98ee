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
# SOLVARD_PG_PORT (default 55432) and SOLVARD_PG_DIR (default ${TMPDIR:-/tmp}/solvard-pg-<port>)
# choose another port and folder. Run as root, the server runs as the user postgres; run as
# another user, it runs as that user.
set -euo pipefail

port="${SOLVARD_PG_PORT:-55432}"
root="${SOLVARD_PG_DIR:-${TMPDIR:-/tmp}/solvard-pg-$port}"
database=solvard_test
superuser=postgres

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

start() {
  local bin
  bin="$(pg_bin)"
  cd /
  if running; then
    echo "pg-test-server: already running on 127.0.0.1:$port ($root)"
    return
  fi
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
}

stop() {
  cd /
  if running; then
    as_owner "$(pg_bin)/pg_ctl" stop -D "$root/data" -m fast -w >/dev/null
  fi
  rm -rf "$root"
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
