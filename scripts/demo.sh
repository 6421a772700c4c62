#!/usr/bin/env bash
# The main job on one machine: builds everything, starts the simulator with
# about 40 game servers, shows the server list through the real library,
# then stops the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" >/dev/null

log="$(mktemp)"
build/default/tools/ms-sim --servers 40 --seed "${SEED:-1}" --duration 60 >"$log" 2>&1 &
sim=$!
trap 'kill -INT "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do
  grep -q ready "$log" && break
  kill -0 "$sim" 2>/dev/null || { cat "$log" >&2; exit 1; }
  sleep 0.1
done
grep ready "$log"
build/default/tools/ms-browse "$@"
