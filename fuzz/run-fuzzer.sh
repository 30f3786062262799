#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time over a copy of its seed corpus.
# Usage: run-fuzzer.sh <fuzzer> <seed corpus> <work dir> <seconds>
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
[ -d "$seeds" ] && cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus"
