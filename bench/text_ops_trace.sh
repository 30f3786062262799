#!/usr/bin/env bash
# The timing trace of the text operations under Wine: builds the Windows
# programs with the benchmarks, then drives Wine's notepad through encrypt
# and decrypt of 1 KB, 100 KB and 1 MB texts with Quorvix's trace on and
# prints every phase and the program's share against the budgets.
# Run scripts/setup.sh once first (scripts/test.sh does).
# Usage: bench/text_ops_trace.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-${QUORVIX_CACHE:-$HOME/.cache/quorvix}/ccache}"
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake --preset win64 -DQVX_BUILD_BENCH=ON >/dev/null
cmake --build --preset win64 --target Quorvix bench_text_ops
exec scripts/with-wine.sh bash tests/support/e2e/run_e2e.sh /usr/lib/wine/wine64 \
  build/win64/bench/bench_text_ops.exe
