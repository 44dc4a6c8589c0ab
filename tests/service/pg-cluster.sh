#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A throwaway PostgreSQL cluster for the service's tests, listening only on a Unix socket in its
# folder: `start DIR` makes one in the empty folder DIR, starts it and prints its URI; `stop DIR`
# stops it (fast: clients are cut off), `resume DIR` starts it again, `destroy DIR` ends it at once.
# Exit status 77, the reason on the standard error: PostgreSQL cannot run here.
set -euo pipefail
command=$1
dir=$2

bindir=
for candidate in "$(pg_config --bindir 2>/dev/null || true)" /usr/lib/postgresql/*/bin; do
  if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ] && [ -x "$candidate/postgres" ]; then
    bindir=$candidate
    break
  fi
done
if [ -z "$bindir" ]; then
  echo "no PostgreSQL server (initdb, pg_ctl, postgres) is installed" >&2
  exit 77
fi

# The server refuses to run as root; the tests do in CI, so it runs as nobody then.
as=()
if [ "$(id -u)" -eq 0 ]; then
  if ! command -v runuser >/dev/null; then
    echo "running as root, and no runuser to start PostgreSQL as an unprivileged user" >&2
    exit 77
  fi
  as=(runuser -u nobody --)
fi

# Tests need no durability against a power cut; a measurement sets PG_CLUSTER_SETTINGS (empty for
# the server's own defaults).
settings=${PG_CLUSTER_SETTINGS--c fsync=off -c full_page_writes=off}

server() {
  "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -s \
    -o "-k $dir -c listen_addresses= -c max_connections=60 $settings" start \
    >/dev/null 2>&1
}

case $command in
start)
  [ ${#as[@]} -eq 0 ] || chown nobody "$dir"
  # initdb takes seconds; one cluster is made per server version and user, and copied for each test.
  template=${TMPDIR:-/tmp}/tidewarden-pg-template-$(basename "$(dirname "$bindir")")-$(id -u)
  exec 9>"$template.lock"
  flock 9
  if [ ! -f "$template/ready" ]; then
    rm -rf "$template"
    mkdir -p "$template"
    [ ${#as[@]} -eq 0 ] || chown nobody "$template"
    if ! "${as[@]}" "$bindir/initdb" -D "$template/data" -U tidewarden --auth=trust -N -E UTF8 --locale=C \
      >"$template/initdb.log" 2>&1; then
      echo "initdb failed: $(tail -n 3 "$template/initdb.log")" >&2
      rm -rf "$template"
      exit 77
    fi
    touch "$template/ready"
  fi
  "${as[@]}" cp -a "$template/data" "$dir/data"
  flock -u 9
  if ! server; then
    echo "the PostgreSQL server did not start: $(tail -n 3 "$dir/server.log" 2>/dev/null)" >&2
    exit 77
  fi
  echo "postgresql://tidewarden@/postgres?host=$dir"
  ;;
resume) server ;;
stop) "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -w -s -m fast stop ;;
destroy) "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -w -s -m immediate stop >/dev/null 2>&1 || true ;;
*)
  echo "usage: pg-cluster.sh start|stop|resume|destroy DIR" >&2
  exit 2
  ;;
esac
