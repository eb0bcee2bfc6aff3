#!/bin/bash
# Decodes a corpus of animations made by real encoders with gifdump and with
# the giflib-based reference decoder (gifref) and compares canvas size, frame
# count, loop count, every frame's delay and disposal, and every pixel of
# every finished frame. Any difference fails the test and names the file,
# frame and first differing pixel.
set -uo pipefail

src=${ZOETRA_SOURCE_DIR:?ZOETRA_SOURCE_DIR is not set}
bin=${ZOETRA_BINARY_DIR:?ZOETRA_BINARY_DIR is not set}
for tool in "$bin/gifdump" "$bin/gifref"; do
    if [ ! -x "$tool" ]; then
        echo "FAIL: $tool is not built" >&2
        exit 1
    fi
done

corpus=$bin/corpus
if ! bash "$src/tests/make_corpus.sh" "$corpus"; then
    echo "FAIL: could not make the corpus in $corpus" >&2
    exit 1
fi

results=$bin/reference_compare
rm -rf "$results"
mkdir -p "$results"

files=("$corpus"/*.gif)
if [ ${#files[@]} -lt 15 ]; then
    echo "FAIL: the corpus holds only ${#files[@]} files" >&2
    exit 1
fi

failures=0
frames_total=0
for file in "${files[@]}"; do
    name=$(basename "$file" .gif)
    expected=$results/$name.reference
    actual=$results/$name.gifdump
    if ! "$bin/gifref" --background ABABAB "$file" "$expected"; then
        echo "FAIL $name: the reference decoder refused the file"
        failures=$((failures + 1))
        continue
    fi
    if ! "$bin/gifdump" --background ABABAB "$file" "$actual"; then
        echo "FAIL $name: gifdump exited with status $?"
        failures=$((failures + 1))
        continue
    fi
    result=$(sed -n 's/^result //p' "$actual/summary.txt")
    if [ "$result" != 0 ]; then
        echo "FAIL $name: gifdump reports result '$result' for a valid file, expected 0"
        failures=$((failures + 1))
        continue
    fi
    if report=$("$bin/gifref" --compare "$expected" "$actual"); then
        n=$(sed -n 's/^frames //p' "$expected/summary.txt")
        frames_total=$((frames_total + n))
        echo "ok   $name ($n frames)"
        rm -rf "$expected" "$actual"
    else
        echo "FAIL $name:"
        echo "$report" | sed 's/^/     /'
        echo "     (reference output: $expected, gifdump output: $actual)"
        failures=$((failures + 1))
    fi
done

if [ $failures -ne 0 ]; then
    echo "FAIL: $failures of ${#files[@]} files differ from the reference decoder"
    exit 1
fi
echo "all ${#files[@]} files match the reference decoder ($frames_total frames)"
