#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The score service's figures on this machine, SQLite and PostgreSQL side by side in one run:
# stored results a second and page times with the database filled to each size, one service
# process on each store, then three processes on one PostgreSQL database. The PostgreSQL server is
# a throwaway one in a temporary folder, with its own default settings (every commit flushed to
# the disk) unless PG_SETTINGS says otherwise, e.g. PG_SETTINGS="-c synchronous_commit=off".
#   bench/scores-figures.sh [BUILD_DIR]      (SIZES="100000 1000000" PAIRS=20000 CLIENTS=16)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
sizes=${SIZES:-100000 1000000}
pairs=${PAIRS:-20000}
clients=${CLIENTS:-16}
program=$build/service/tidewarden-scores
load=$build/bench/scores_load
work=$(mktemp -d "${TMPDIR:-/tmp}/tw-figures.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  tests/service/pg-cluster.sh destroy "$work/pg" || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 711 "$work" # the server runs as nobody when this runs as root
mkdir "$work/pg"
uri=$(PG_CLUSTER_SETTINGS=${PG_SETTINGS:-} tests/service/pg-cluster.sh start "$work/pg" </dev/null)
socket=$work/pg

# Starts one service process on the database; adds its address to $urls.
start() {
  local log
  log=$(mktemp "$work/log.XXXXXX")
  "$program" --port 0 --quiet --database "$1" --limit-versions 0 --limit-submissions 0 --limit-pages 0 \
    >/dev/null 2>"$log" &
  pids+=($!)
  for _ in $(seq 200); do
    if grep -q "listening on" "$log"; then
      urls+=${urls:+,}$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$log" | head -n 1)
      return
    fi
    sleep 0.05
  done
  echo "the service did not start: $(cat "$log")" >&2
  exit 1
}
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  pids=()
}

for size in $sizes; do
  for store in sqlite postgresql; do
    if [ "$store" = sqlite ]; then
      database=$work/scores-$size.db
    else
      psql -q "$uri" -c "CREATE DATABASE scores_$size"
      database="postgresql://tidewarden@/scores_$size?host=$socket"
    fi
    echo "== $store, $size results"
    "$load" --fill "$size" --database "$database"
    urls=
    start "$database"
    "$load" --url "$urls" --clients "$clients" --pairs "$pairs"
    stop_all
    if [ "$store" = postgresql ] && [ "$size" = "${sizes##* }" ]; then
      echo "== postgresql, three processes, $size results and more"
      urls=
      start "$database"
      start "$database"
      start "$database"
      "$load" --url "$urls" --clients "$clients" --pairs "$pairs"
      stop_all
    fi
  done
done
