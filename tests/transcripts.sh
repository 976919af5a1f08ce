#!/usr/bin/env bash
# Feeds every tests/data/NAME.in to a built calculator as a process and compares what it
# prints with NAME.out, byte for byte; for a cross-built program, name the emulator that
# runs it after the program. --ignore-cr drops carriage returns first (Windows' text-mode
# output ends its lines with CR LF).
# Usage: tests/transcripts.sh [--ignore-cr] PROGRAM [EMULATOR [ARG ...]]
set -uo pipefail
strip=cat
if [ "${1:-}" = --ignore-cr ]; then strip="tr -d \\r"; shift; fi
program=$(realpath "$1")
shift
cd "$(dirname "$0")/data"
passed=0 failed=0
for input in *.in; do
  name=${input%.in}
  if "$@" "$program" <"$input" 2>/dev/null | $strip | cmp -s - "$name.out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "transcript $name differs"
  fi
done
echo "transcripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
