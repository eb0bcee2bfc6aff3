#!/bin/bash
# A file one byte over 5,000,000 bytes shows "Processing data " in the title
# while it loads; one of exactly 5,000,000 bytes goes straight from the
# program's name to its status line. Both then play. A window resized
# during the preview shows the next previewed frame laid out in its new
# client area.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

GIFS="/usr/bin/python3 $ZT_LIB_DIR/gifs.py"

zt_start_xvfb
zt_prepare_prefix
$GIFS sized "$ZT_TMP/large.gif" 5000001
$GIFS sized "$ZT_TMP/exact.gif" 5000000
[ "$(stat -c %s "$ZT_TMP/large.gif")" = 5000001 ] && [ "$(stat -c %s "$ZT_TMP/exact.gif")" = 5000000 ] ||
    zt_fail "the test files have the wrong sizes"
$GIFS slow "$ZT_TMP/slow.gif" 800  # about 10 MB, a load of seconds
workspace=$(zt_driver syscolor appworkspace)
frames=$("$ZOETRA_BINARY_DIR/gifdump" "$ZT_TMP/large.gif" "$ZT_TMP/dump" | sed -n 's/^frames //p')
[ -n "$frames" ] || frames=$(sed -n 's/^frames //p' "$ZT_TMP/dump/summary.txt")

# The titles one start shows, from before its window exists to its status line.
titles_of() {
    zt_driver titles 90 >"$ZT_TMP/titles" &
    local watcher=$!
    sleep 0.5
    zt_start_app "$(zt_winpath "$1")"
    wait "$watcher" || zt_fail "$1: no status line: $(cat "$ZT_TMP/titles")"
}

titles_of "$ZT_TMP/large.gif"
grep -qx 'Processing data ' "$ZT_TMP/titles" || zt_fail "no progress title while large.gif loaded: $(cat "$ZT_TMP/titles")"
final="large.gif ($frames frames | >> | ${ZT_TIMES}1.00 | 100%)"
[ "$(tail -n 1 "$ZT_TMP/titles")" = "$final" ] || zt_fail "large.gif ends with '$(tail -n 1 "$ZT_TMP/titles")'"
if grep -v -x -e 'Zoetra' -e 'Processing data ' -e 'Processing data \.\{1,6\}' -e "$final" "$ZT_TMP/titles"; then
    zt_fail "other titles while large.gif loaded"
fi
zt_log "large.gif: $(grep -c 'Processing' "$ZT_TMP/titles") progress title(s), then the status line"
zt_driver close
zt_wait_app 30

titles_of "$ZT_TMP/exact.gif"
if grep -q 'Processing' "$ZT_TMP/titles"; then
    zt_fail "a file of exactly 5,000,000 bytes showed progress: $(cat "$ZT_TMP/titles")"
fi
[ "$(tail -n 1 "$ZT_TMP/titles")" = "exact.gif ($frames frames | >> | ${ZT_TIMES}1.00 | 100%)" ] ||
    zt_fail "exact.gif ends with '$(tail -n 1 "$ZT_TMP/titles")'"
zt_driver close
zt_wait_app 30

# The window resized during the preview of slow.gif: the 64 x 64 picture
# is centred in the new client area while the progress title still shows.
zt_start_app "$(zt_winpath "$ZT_TMP/slow.gif")"
zt_expect_output "Processing data " "slow.gif" title 400 0.05 zt_driver title
xwin=$(zt_x_window_named '^Processing data' 10) || zt_fail "no X window for the progress title"
before=$(zt_driver client-size)
xdotool windowsize "$xwin" 700 500
centred() {
    local width height
    read -r width height <<<"$(zt_driver client-size)"
    echo "$(((width - 64) / 2)) $(((height - 64) / 2)) 64 64"
}
# Read while the progress title shows: after the load the layout is anew.
box= want=
for _ in $(seq 1 40); do
    box=$(zt_driver picture-box "$workspace")
    want=$(centred)
    [[ $(zt_driver title) == "Processing data "* ]] || zt_fail "the load ended with the picture at $box, not $want"
    [ "$(zt_driver client-size)" != "$before" ] && [ "$box" = "$want" ] && break
    sleep 0.1
done
[ "$(zt_driver client-size)" != "$before" ] || zt_fail "xdotool windowsize did not resize the window"
[ "$box" = "$want" ] || zt_fail "after the resize the previewed picture is at $box, not $want"
zt_log "a resize during the preview: the picture centred in the new client area ($want)"
zt_driver close
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT"
zt_log "loading preview test passed"
