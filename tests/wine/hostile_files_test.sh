#!/bin/bash
# Hostile files opened in the real zoetra.exe: a 65535 x 65535 canvas in a
# few dozen bytes, and broken files from the fuzzer's seeds.
# For each, the window must come up, finish the load within a bounded time,
# still answer a title query afterwards, be titled with the file name when
# the decoder loads the file (gifdump says which) or "Zoetra" when it does
# not, and close with exit code 0.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

EMPTY_TITLE=Zoetra
GIFDUMP=$ZOETRA_BINARY_DIR/gifdump
[ -x "$GIFDUMP" ] || zt_fail "missing $GIFDUMP"
SEEDS=$ZOETRA_SOURCE_DIR/fuzz/seeds
# Loading a hostile file takes at most this long (the memory budget bounds
# the work); generous for a loaded machine under Wine.
LOAD_SECONDS=120

files=$ZT_TMP/files
/usr/bin/python3 "$ZOETRA_SOURCE_DIR/fuzz/hostile_gifs.py" "$files"
# The files that load up to the whole memory budget (gigabytes, a minute or
# more each under Wine) are measured natively, time and peak memory, by
# tests/bounds_test.cpp; here they would take most of the suite's time.
rm -f "$files/large_canvas.gif" "$files/many_frames.gif" "$files/lzw_bomb.gif"
for seed in cut_im_disposal_13.gif odd_lzw_size9.gif odd_lzw_code_ahead.gif \
            odd_image_off_canvas.gif flip_ffmpeg_local_10.gif; do
    cp "$SEEDS/$seed" "$files/"
done

zt_start_xvfb
zt_prepare_prefix

for file in "$files"/*.gif; do
    name=$(basename "$file")
    # The decoder's own verdict: result 5 is a failed load; a load with no
    # frame leaves the window empty too.
    "$GIFDUMP" --summary-only "$file" "$ZT_TMP/summary" >/dev/null
    result=$(sed -n 's/^result //p' "$ZT_TMP/summary/summary.txt")
    frames=$(sed -n 's/^frames //p' "$ZT_TMP/summary/summary.txt")
    if [ "$result" != 5 ] && [ "$frames" -gt 0 ]; then expected=$name; else expected=$EMPTY_TITLE; fi
    zt_log "$name: $(stat -c %s "$file") bytes, gifdump result $result with $frames frames"

    # The status line of a loaded file starts with its name and frame count
    # (the zoom and the playing state follow).
    if [ "$expected" != "$EMPTY_TITLE" ]; then
        if [ "$frames" = 1 ]; then pattern="^$name \\(1 frame \\| "; else pattern="^$name \\($frames frames \\| "; fi
    else
        pattern="^$EMPTY_TITLE\$"
    fi

    began=$(date +%s)
    zt_start_app "$(zt_winpath "$file")"
    zt_driver wait-window 90 >/dev/null || zt_fail "$name: no window appeared"
    # The window answers no query while it decodes; poll until it answers
    # with the title for this outcome.
    title=
    for _ in $(seq 1 $LOAD_SECONDS); do
        if title=$(zt_driver title 2>/dev/null) && [[ $title =~ $pattern ]]; then break; fi
        sleep 1
    done
    [ $(($(date +%s) - began)) -le $((LOAD_SECONDS + 90)) ] || zt_fail "$name: the load took too long"
    # Responsive afterwards: the title query is answered, with the title the
    # program gives for this outcome. A query is a fresh Wine process; one
    # that fails to start on a busy machine is tried again, a window that
    # stays silent for seconds is not responsive.
    sleep 1
    answered=0
    for _ in 1 2 3; do
        if title=$(zt_driver title); then answered=1; break; fi
        sleep 1
    done
    [ "$answered" = 1 ] || zt_fail "$name: the window does not answer a title query"
    [[ $title =~ $pattern ]] || zt_fail "$name: title is '$title', expected /$pattern/"
    zt_log "$name: titled '$title' after $(($(date +%s) - began)) s"
    zt_driver close >/dev/null || zt_fail "$name: close: no window"
    zt_wait_app 60
    [ "$ZT_APP_EXIT" = 0 ] || zt_fail "$name: zoetra.exe exited with $ZT_APP_EXIT after close"
    # The next file's window must not be confused with this one's.
    zt_driver wait-no-window 30 || zt_fail "$name: the window outlived its process"
done

zt_log "hostile files test passed"
