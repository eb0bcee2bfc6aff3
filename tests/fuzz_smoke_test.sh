#!/bin/bash
# A short run of the decoder's fuzzer: the kept regression inputs, then about
# a minute of fuzzing from the seed corpus, under AddressSanitizer and
# UndefinedBehaviorSanitizer with memory and time limits. FUZZ_SMOKE_SECONDS
# changes the length.
set -euo pipefail
root=${ZOETRA_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}
command -v clang++ >/dev/null || { echo "clang++ is missing"; exit 1; }
ASAN_OPTIONS=detect_leaks=1 exec "$root/fuzz/run.sh" "${FUZZ_SMOKE_SECONDS:-60}"
