#!/bin/bash
# zoetra.exe started with a multi-frame GIF plays it: the title has the
# playing format (">>", "1.00", "100%"), and pictures read back from the
# window at different moments are different frames of the file, each exactly
# as decoded, centred at 100%.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

GIFDUMP=$ZOETRA_BINARY_DIR/gifdump
SAMPLE=$ZOETRA_SOURCE_DIR/src/res/sample.gif
PPM="/usr/bin/python3 $ZT_LIB_DIR/ppm.py"

zt_start_xvfb
zt_prepare_prefix

workspace=$(zt_driver syscolor appworkspace)
"$GIFDUMP" --background "$workspace" "$SAMPLE" "$ZT_TMP/frames" >/dev/null
frames=$(sed -n 's/^frames //p' "$ZT_TMP/frames/summary.txt")
[ "${frames:-0}" -ge 2 ] || zt_fail "the sample has ${frames:-no} frames"

cp "$SAMPLE" "$ZT_TMP/sample.gif"
zt_start_app "$(zt_winpath "$ZT_TMP/sample.gif")"
zt_driver wait-window 90 || zt_fail "no window appeared"
title="sample.gif ($frames frames | >> | ${ZT_TIMES}1.00 | 100%)"
# Compared here, not by the driver: arguments reach Wine programs through the
# locale's code page, which may not hold those characters.
zt_expect_output "$title" "the sample" title 60 0.5 zt_driver title

# Which decoded frame the client area shows, or nothing when it matches none
# (a read-back may catch a frame being drawn).
frame_on_show() {
    local i
    for ((i = 0; i < frames; i++)); do
        if $PPM compare-centred "$1" "$(printf '%s/frame_%04d.ppm' "$ZT_TMP/frames" "$i")" \
            "$workspace" >/dev/null 2>&1; then
            echo "$i"
            return 0
        fi
    done
}

declare -A seen=()
matched=0
for read in $(seq 1 8); do
    zt_driver client-pixels "$(zt_winpath "$ZT_TMP/client.ppm")" || zt_fail "client-pixels failed"
    shown=$(frame_on_show "$ZT_TMP/client.ppm")
    zt_log "read $read shows frame ${shown:-none}"
    if [ -n "$shown" ]; then
        matched=$((matched + 1))
        seen[$shown]=1
    fi
    sleep 0.37
done
[ "$matched" -ge 5 ] || zt_fail "only $matched of 8 read-backs matched a decoded frame"
[ "${#seen[@]}" -ge 2 ] || zt_fail "the window showed only frame(s) ${!seen[*]}: it does not animate"

zt_driver close || zt_fail "close: no window"
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after close"
zt_log "playback test passed: frames ${!seen[*]} seen"
