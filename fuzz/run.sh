#!/usr/bin/env bash
# Fuzzes one target for SECONDS (default 120): the whole dialogue (fuzz_dialogue, from the
# seeds in fuzz/seeds), the arithmetic at any precision (fuzz_arithmetic, from
# fuzz/seeds-arithmetic) or keys typed at the line editor (fuzz_keys, from fuzz/seeds-keys). Builds the clang target and fails on any crash, mismatch,
# sanitizer report, leak or per-input timeout.
# Usage: fuzz/run.sh [dialogue|arithmetic|keys] [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
target=dialogue
case "${1:-}" in dialogue|arithmetic|keys) target=$1; shift ;; esac
seconds=${1:-120}
shift || true
if [ -z "${ZANTORIX_FUZZ_PREBUILT:-}" ]; then  # set when both targets are built already
  cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZANTORIX_FUZZ=ON -DZANTORIX_TESTS=OFF >/dev/null
  cmake --build build-fuzz -j2 --target "fuzz_$target"
fi
seeds=../seeds
maxlen=512
if [ "$target" = arithmetic ]; then seeds=../seeds-arithmetic; maxlen=64; fi
if [ "$target" = keys ]; then seeds=../seeds-keys; maxlen=8192; fi
mkdir -p "fuzz/corpus-$target"
cd "fuzz/corpus-$target"
"../../build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -max_len="$maxlen" -print_final_stats=1 "$@" . "$seeds"
