#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks.
#   pg-cluster.sh start DIR   makes a new cluster (clearing one of ours left in DIR),
#                             listening only on a Unix socket, and writes DIR/env
#   pg-cluster.sh restart DIR restarts it (its sessions are cut, as when a server is restarted)
#   pg-cluster.sh pause DIR   stops the server and keeps the cluster, as when it cannot be reached
#   pg-cluster.sh resume DIR  starts it again
#   pg-cluster.sh stop DIR    stops it and removes DIR
# The cluster trusts nobody: every login needs a password (SCRAM-SHA-256). Its superuser is
# qmk_super, with a random password kept in DIR/superuser-password (mode 0600). DIR/env sets
# PGHOST, PGPORT, PGUSER and PGDATABASE for it, and QMK_PG_SUPERUSER_PASSWORD.
# initdb refuses to run as root: as root, the cluster runs as the postgres system user.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: pg-cluster.sh start|restart|pause|resume|stop DIR" >&2
  exit 2
fi
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "pg-cluster.sh: PostgreSQL's server programs are not installed (Debian package postgresql)" >&2
  exit 1
fi

as_owner() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# Where the cluster itself lives. The postgres system user (root's stand-in) may not reach the
# build folder (a checkout under /root, say): as root, the cluster lives in a private folder of
# its own under /tmp, which DIR/home names; otherwise in DIR.
home_of() {
  if [ -f "$dir/home" ]; then cat "$dir/home"; else echo "$dir"; fi
}

stop_cluster() {
  local home
  home=$(home_of)
  if [ -f "$home/data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" -D "$home/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  # Only folders this script made are removed.
  if [ "$home" != "$dir" ] && [ -f "$home/.qmk-pg-cluster" ]; then
    rm -rf "$home"
  fi
  if [ -f "$dir/.qmk-pg-cluster" ]; then
    rm -rf "$dir"
  fi
}

home=$(home_of)
case "$cmd" in
restart)
  as_owner "$bin/pg_ctl" -D "$home/data" -l "$home/server.log" -m fast -w restart >/dev/null
  ;;
pause)
  as_owner "$bin/pg_ctl" -D "$home/data" -m fast -w stop >/dev/null
  ;;
resume)
  # Only with the options it was made with: never on the default port or address.
  options=$(cat "$dir/options")
  as_owner "$bin/pg_ctl" -D "$home/data" -l "$home/server.log" -w -o "$options" start >/dev/null
  ;;
stop)
  stop_cluster
  ;;
start)
  stop_cluster
  if [ -e "$dir" ]; then
    echo "pg-cluster.sh: $dir exists and is not a cluster of ours" >&2
    exit 1
  fi
  mkdir -p "$dir"
  touch "$dir/.qmk-pg-cluster"
  head -c 24 /dev/urandom | base64 | tr -d '/+=' > "$dir/superuser-password"
  chmod 0600 "$dir/superuser-password"
  home=$dir
  pwfile=$dir/superuser-password
  if [ "$(id -u)" = 0 ]; then
    home=$(mktemp -d /tmp/qmk-pg.XXXXXXXX)
    touch "$home/.qmk-pg-cluster"
    echo "$home" > "$dir/home"
    pwfile=$home/pwfile
    cp "$dir/superuser-password" "$pwfile"
  fi
  mkdir "$home/socket" "$home/data"
  if [ "$(id -u)" = 0 ]; then
    chown -R postgres:postgres "$home"
    chmod 0711 "$home"
  fi
  as_owner "$bin/initdb" -D "$home/data" -U qmk_super -A scram-sha-256 --pwfile="$pwfile" \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  [ "$pwfile" = "$dir/superuser-password" ] || rm -f "$pwfile"
  # A free port number only names the socket file: nothing listens on TCP.
  port=$(( 20000 + RANDOM % 20000 ))
  echo "-c listen_addresses='' -c unix_socket_directories='$home/socket' -p $port -c fsync=off" \
       "-c synchronous_commit=off -c full_page_writes=off -c max_connections=200" > "$dir/options"
  as_owner "$bin/pg_ctl" -D "$home/data" -l "$home/server.log" -w -o "$(cat "$dir/options")" start >/dev/null ||
    { cat "$home/server.log" >&2; exit 1; }
  {
    echo "PGHOST=$home/socket"
    echo "PGPORT=$port"
    echo "PGUSER=qmk_super"
    echo "PGDATABASE=postgres"
    echo "QMK_PG_SUPERUSER_PASSWORD=$(cat "$dir/superuser-password")"
  } > "$dir/env"
  chmod 0600 "$dir/env"
  echo "pg-cluster.sh: cluster running on $home/socket, port $port"
  ;;
*)
  echo "usage: pg-cluster.sh start|restart|pause|resume|stop DIR" >&2
  exit 2
  ;;
esac
