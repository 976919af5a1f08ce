#!/usr/bin/env bash
# Fuzzes the whole dialogue for SECONDS (default 120): builds the clang target, starts from
# the seed inputs, and fails on any crash, sanitizer report, leak or per-input timeout.
# Usage: fuzz/run.sh [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
shift || true
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZANTORIX_FUZZ=ON -DZANTORIX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_dialogue
mkdir -p fuzz/corpus-run
cd fuzz/corpus-run
../../build-fuzz/fuzz/fuzz_dialogue -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=512 -print_final_stats=1 "$@" . ../seeds
