#!/bin/bash
# A file one byte over 5,000,000 bytes shows "Processing data " in the title
# while it loads; one of exactly 5,000,000 bytes goes straight from the
# program's name to its status line. Both then play.
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
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT"
zt_log "loading preview test passed"
