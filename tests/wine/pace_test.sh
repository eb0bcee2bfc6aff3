#!/bin/bash
# zoetra.exe shows every frame for its own time: a file of 250 frames of
# 20 ms at 320 x 240, in which a small box moves (every frame after the first
# kept as its change), shows its frames for 20 ms (median) at zoom 400 %,
# where each halftone stretch takes milliseconds, forward, with the picture
# dragged off its centred place, and in reverse (where every frame is
# rebuilt from the key frame), and for 10 ms at speed 2.00 and zoom 100 %.
# While it plays a file of 100 ms frames it sleeps between them: under 2 %
# of one core over 10 s.
#
# Frames are timed from where the box is on the window's middle row, read
# through X over 5 s of play (zoetra-driver pace): the median over spans of
# 20 to 40 frames, which a few late frames on a busy machine do not move.
# Drawing time added to every frame, as a schedule from the end of each
# drawing does, gives 24 ms or more at 400 %.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

GIFS="/usr/bin/python3 $ZT_LIB_DIR/gifs.py"
$GIFS box "$ZT_TMP/pace.gif" 250 2 320 240       # 250 frames of 20 ms
$GIFS solid "$ZT_TMP/slow.gif" 12 10 64 48       # 12 frames of 100 ms

zt_start_xvfb
zt_prepare_prefix

key() { zt_driver key "$1" || zt_fail "key $1: no window"; }

# expect_frame_time MS WHAT [reverse]: the playing file's frames take MS
# +- 2 ms (the median of 20 or more spans of 20 to 40 frames).
expect_frame_time() {
    local out spans median
    out=$(zt_driver pace 5 ${3:-}) || zt_fail "$2: pace failed ($out)"
    spans=$(sed -n 's/^spans //p' <<<"$out")
    median=$(sed -n 's/^median //p' <<<"$out")
    zt_log "$2: $median ms a frame (the median of $spans spans)"
    awk -v m="$median" -v n="$spans" -v w="$1" 'BEGIN { exit !(n >= 20 && m >= w - 2 && m <= w + 2) }' ||
        zt_fail "$2: $median ms a frame (the median of $spans spans), not $1 +- 2 ms"
}

zt_start_app "$(zt_winpath "$ZT_TMP/pace.gif")"
zt_driver wait-window 90 || zt_fail "no window appeared"
zt_expect_title "$(zt_playing_title pace.gif 250)" "pace.gif" 60
for _ in 1 2 3 4; do key 187; done
zt_expect_title "$(zt_playing_title pace.gif 250 '>>' 1.00 400%)" "zoom 400 %"
expect_frame_time 20 "20 ms frames at 400 %"
zt_driver drag 200 30 || zt_fail "the drag: no window"  # the box stays on the middle row
expect_frame_time 20 "20 ms frames at 400 %, the picture moved"
expect_frame_time 20 "20 ms frames in reverse at 400 %" reverse

# Playing in reverse: play on forward, back to 100 %, then five steps
# faster.
key 82
for _ in 1 2 3 4; do key 189; done
for _ in 1 2 3 4 5; do key 38; done
zt_expect_title "$(zt_playing_title pace.gif 250 '>>' 2.00 100%)" "speed 2.00 at 100 %"
expect_frame_time 10 "20 ms frames at 2.00 and 100 %"

# The processor time of zoetra.exe over 10 s of 100 ms frames, from /proc
# (wine becomes the process that runs the program). A second start hands
# the file over.
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/slow.gif")" >/dev/null 2>&1 || true
zt_expect_title "$(zt_playing_title slow.gif 12)" "slow.gif handed over"
pid=$ZT_APP_PID
[ "$(cat "/proc/$pid/comm" 2>/dev/null)" = zoetra.exe ] || zt_fail "process $pid is not zoetra.exe"
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hertz=$(getconf CLK_TCK)
before=$(ticks)
sleep 10
after=$(ticks)
percent=$(awk -v t=$((after - before)) -v h="$hertz" 'BEGIN { printf "%.2f", t * 100 / h / 10 }')
zt_log "zoetra.exe used $percent % of one core over 10 s of 100 ms frames"
awk -v p="$percent" 'BEGIN { exit !(p < 2) }' ||
    zt_fail "zoetra.exe used $percent % of one core over 10 s of 100 ms frames, not under 2 %"

zt_driver close || zt_fail "close: no window"
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after close"
zt_log "pace test passed"
