#!/bin/bash
# Builds the decoder's fuzzer and runs it: first over every kept regression
# input (each must pass), then for SECONDS (default 600) of fuzzing from the
# seed corpus. New inputs are kept in build/fuzz/corpus; a finding is written
# to build/fuzz/findings/ and makes the run fail.
#
# Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/fuzz/build.sh"
fuzzer=$root/build/fuzz/decode_fuzzer
corpus=$root/build/fuzz/corpus
findings=$root/build/fuzz/findings
mkdir -p "$corpus" "$findings"
# A memory or time limit hit is a finding too: the decode must stay within
# its budget and finish quickly.
limits=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10)

if compgen -G "$root/fuzz/regressions/*" >/dev/null; then
    echo "=== regression inputs"
    "$fuzzer" "${limits[@]}" "$root"/fuzz/regressions/*
fi
echo "=== fuzzing for $seconds s"
"$fuzzer" "${limits[@]}" -max_len=8192 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$root/fuzz/seeds"
