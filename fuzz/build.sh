#!/bin/bash
# Builds the decoder's libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz/decode_fuzzer (outside the g++
# CMake trees). Rebuilds only when a source is newer than the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
program=$out/decode_fuzzer
sources=("$root/fuzz/decode_fuzzer.cpp" "$root"/src/decode/*.cpp
         "$root/src/platform/surface.cpp" "$root/src/platform/surface_posix.cpp"
         "$root/src/platform/os_posix.cpp")
mkdir -p "$out"
if [ -x "$program" ]; then
    stale=0
    for f in "${sources[@]}" "$root"/src/decode/*.h "$root"/src/platform/surface.h \
             "$root"/src/platform/os.h "$0"; do
        [ "$f" -nt "$program" ] && stale=1
    done
    [ "$stale" = 0 ] && exit 0
fi
echo "building $program"
clang++ -std=c++20 -O1 -g -Wall -Wextra -Werror -I"$root/src" \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    "${sources[@]}" -o "$program.tmp" -lpthread
mv "$program.tmp" "$program"
