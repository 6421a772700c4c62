#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined sanitizers) and
# runs each for SECONDS (default 60), starting from the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in master_exchange decoder server_list; do
  mkdir -p "$work/$target"
  echo "== fuzz_$target for ${seconds}s"
  status=0
  build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/$target" \
    "fuzz/corpus/$target" >"$work/$target.log" 2>&1 || status=$?
  grep -E "^(Done|stat::number_of_executed_units)" "$work/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$work/$target.log"
    echo "fuzz_$target found a fault" >&2
    exit 1
  fi
done
