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
$GIFS slow "$ZT_TMP/slow.gif" 1000  # about 13 MB, a load of a second or two
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
# Each look at the window is one driver run (zoetra-driver layout): the
# load lasts only a second or two.
zt_start_app "$(zt_winpath "$ZT_TMP/slow.gif")"
progress() { zt_driver title | sed 's/^Processing data \.*$/loading/'; }
zt_expect_output loading "slow.gif" title 400 0.02 progress
xwin=$(zt_x_window_named '^Processing data' 10) || zt_fail "no X window for the progress title"
read -r _ before_width before_height _ <<<"$(zt_driver layout "$workspace")"
xdotool windowsize "$xwin" 700 500
look=
for _ in $(seq 1 40); do
    look=$(zt_driver layout "$workspace")
    read -r _ width height left top w h _ title <<<"$look"
    [[ $title == "Processing data"* ]] || zt_fail "the load ended before the picture was seen in the new layout: $look"
    [ "$width $height" != "$before_width $before_height" ] &&
        [ "$left $top $w $h" = "$(((width - 64) / 2)) $(((height - 64) / 2)) 64 64" ] && break
    sleep 0.05
done
want="$(((width - 64) / 2)) $(((height - 64) / 2)) 64 64"
[ "$left $top $w $h" = "$want" ] || zt_fail "after the resize the previewed picture is at $left $top $w $h, not $want: $look"
zt_log "a resize during the preview: the picture centred in the new client area ($width x $height: $want)"
zt_driver close
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT"
zt_log "loading preview test passed"
