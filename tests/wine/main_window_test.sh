#!/bin/bash
# The main window, start-up and the single-instance hand-over, as a user
# sees them: titles after each way of opening a file, the second start that
# hands its file to the running window and ends without waiting for its
# load, WM_COPYDATA messages from other programs, and a second start while
# the first one does not answer.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

SAMPLE=$ZOETRA_SOURCE_DIR/src/res/sample.gif
PPM="/usr/bin/python3 $ZT_LIB_DIR/ppm.py"
GIFS="/usr/bin/python3 $ZT_LIB_DIR/gifs.py"

zt_start_xvfb
zt_prepare_prefix
workspace=$(zt_driver syscolor appworkspace)

mkdir -p "$ZT_TMP/pics" "$ZT_TMP/folder.gif"
cp "$SAMPLE" "$ZT_TMP/pics/sample.gif"
cp "$SAMPLE" "$ZT_TMP/pics/other.gif"
/usr/bin/convert "$SAMPLE[0]" "$ZT_TMP/pics/still.gif"
printf 'not a picture\n' >"$ZT_TMP/pics/notes.txt"
printf 'GIF89a but nothing more\n' >"$ZT_TMP/pics/broken.gif"
# A load of seconds (about 6 ms a frame).
$GIFS slow "$ZT_TMP/pics/slow.gif" 360
# Header, 1 x 1 screen, a graphic control extension and the trailer.
printf 'GIF89a\x01\x00\x01\x00\x00\x00\x00\x21\xf9\x04\x00\x0a\x00\x00\x00\x3b' >"$ZT_TMP/pics/noframes.gif"
SAMPLE_TITLE=$(zt_playing_title sample.gif 12)

# A second start of the program with the given arguments; sets SECOND_EXIT.
second_start() {
    SECOND_EXIT=0
    timeout 60 wine "$ZT_EXE" "$@" >>"$ZT_TMP/second.log" 2>&1 || SECOND_EXIT=$?
}

copydata() { zt_driver copydata "$@"; }

# The window, after WHAT, is titled "Zoetra" and all work-space colour.
expect_empty_window() {
    zt_expect_title Zoetra "$1"
    zt_driver client-pixels "$(zt_winpath "$ZT_TMP/client.ppm")"
    $PPM uniform "$ZT_TMP/client.ppm" "$workspace" || zt_fail "$1: the window is not all $workspace"
}

# --- First start without a file: an empty window titled "Zoetra".
zt_start_app
zt_driver wait-window 90 || zt_fail "no window appeared"
expect_empty_window "no argument"

# --- Second starts hand their file over and end.
second_start "$(zt_winpath "$ZT_TMP/pics/sample.gif")"
[ "$SECOND_EXIT" = 0 ] || zt_fail "second start with a file ended with $SECOND_EXIT"
zt_expect_title "$SAMPLE_TITLE" "handed-over file"
[ "$(zt_driver count-windows)" = 1 ] || zt_fail "a second main window appeared"
second_start
[ "$SECOND_EXIT" = 0 ] || zt_fail "second start without a file ended with $SECOND_EXIT"
zt_expect_title "$SAMPLE_TITLE" "second start without a file"
second_start "$(zt_winpath "$ZT_TMP/pics/notes.txt")"
[ "$SECOND_EXIT" = 0 ] || zt_fail "second start with a refused file ended with $SECOND_EXIT"
zt_expect_title "$SAMPLE_TITLE" "second start with a refused file"

# --- A second start does not wait for the running window's load: it has
# ended before the title shows its own file, and during a load of seconds
# while the progress title shows (zoetra-driver second-start, which has Wine
# make its process first, prints its exit code and the title at its end);
# no second window opens, and its file follows.
SLOW_TITLE=$(zt_playing_title slow.gif 360)
out=$(zt_driver second-start "$(zt_winpath "$ZT_TMP/pics/slow.gif")") || zt_fail "slow.gif: $out"
[ "$out" = "exit 0"$'\n'"$SAMPLE_TITLE" ] || zt_fail "the second start with slow.gif ended as: $out"
zt_expect_title "$SLOW_TITLE" "slow.gif, handed over" 60
$GIFS slow "$ZT_TMP/pics/long.gif" 400  # over 5 MB: a progress title
out=$(zt_driver second-start "$(zt_winpath "$ZT_TMP/pics/sample.gif")" \
    "$(zt_winpath "$ZT_TMP/pics/long.gif")") || zt_fail "a second start during a load: $out"
[[ $out == "exit 0"$'\n'"Processing data"* ]] || zt_fail "the second start during a load ended as: $out"
[ "$(zt_driver count-windows)" = 1 ] || zt_fail "a second main window appeared"
zt_expect_title "$SAMPLE_TITLE" "sample.gif handed over during a load" 60

# --- WM_COPYDATA from other programs.
check_answer() {  # ANSWER WHAT ARGS...
    local want=$1 what=$2 got
    shift 2
    got=$(copydata "$@") || zt_fail "$what: no answer"
    [ "$got" = "$want" ] || zt_fail "$what: answered $got, not $want"
    zt_expect_title "$SAMPLE_TITLE" "$what"
}
sample_path=$(zt_winpath "$ZT_TMP/pics/sample.gif")
check_answer 1 "cbData 2050" -1 1237548 2050 "$sample_path"
check_answer 1 "wrong dwData" -1 1237547 auto "$(zt_winpath "$ZT_TMP/pics/still.gif")"
check_answer 1 "wParam 0" 0 1237548 auto "$(zt_winpath "$ZT_TMP/pics/still.gif")"
check_answer 1237549 "cbData 0" -1 1237548 0 -
check_answer 1237549 "no terminator within cbData" -1 1237548 12 "$(zt_winpath "$ZT_TMP/pics/still.gif")"
check_answer 1237549 "empty path" -1 1237548 auto ""
check_answer 1237549 "relative path" -1 1237548 auto "still.gif"
check_answer 1237549 "a folder named .gif" -1 1237548 auto "$(zt_winpath "$ZT_TMP/folder.gif")"
check_answer 1237549 "not a .gif file" -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/notes.txt")"
check_answer 1237549 "a missing file" -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/missing.gif")"

# A one-frame file, then the same path in another letter case loads anew.
[ "$(copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/still.gif")")" = 1237549 ] || zt_fail "still.gif refused"
zt_expect_title "still.gif (1 frame | 100%)" "one-frame file"
copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/STILL.GIF")" >/dev/null
zt_expect_title "STILL.GIF (1 frame | 100%)" "the same path in capitals"

# A file that decodes without error but holds no frame: an empty window too.
copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/noframes.gif")" >/dev/null
expect_empty_window "a file without frames"
copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/still.gif")" >/dev/null
zt_expect_title "still.gif (1 frame | 100%)" "a file after the one without frames"

# A file that cannot be used empties the window; after the failure the same
# path is decoded again (here it has become a good file meanwhile).
copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/broken.gif")" >/dev/null
expect_empty_window "a failed load"
cp "$SAMPLE" "$ZT_TMP/pics/broken.gif"
copydata -1 1237548 auto "$(zt_winpath "$ZT_TMP/pics/broken.gif")" >/dev/null
zt_expect_title "$(zt_playing_title broken.gif 12)" "the same path after a failed load"

# The path on show again while paused: playback resumes, and the title says so.
zt_driver key 80  # P
for _ in $(seq 1 40); do
    [[ $(zt_driver title) =~ ^broken\.gif\ \([0-9]+\ of\ 12\ frames\ \|\ 100%\)$ ]] && break
    sleep 0.25
done
[[ $(zt_driver title) =~ ^broken\.gif\ \([0-9]+\ of\ 12\ frames ]] || zt_fail "P did not pause: '$(zt_driver title)'"
second_start "$(zt_winpath "$ZT_TMP/pics/broken.gif")"
[ "$SECOND_EXIT" = 0 ] || zt_fail "second start with the file on show ended with $SECOND_EXIT"
zt_expect_title "$(zt_playing_title broken.gif 12)" "the paused file handed over again"

# --- A hidden running window is not used: the second start opens its own.
zt_driver hide
second_start_pid=
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/pics/other.gif")" >>"$ZT_TMP/second.log" 2>&1 &
second_start_pid=$!
for _ in $(seq 1 120); do
    [ "$(zt_driver count-windows)" = 1 ] && break
    sleep 0.25
done
zt_expect_title "$(zt_playing_title other.gif 12)" "second window for a hidden first one"
zt_driver close
wait "$second_start_pid" || zt_fail "the second window's process ended with $?"
zt_driver show
zt_expect_title "$(zt_playing_title broken.gif 12)" "the first window, shown again"

# --- A first instance that does not answer: the second start gives up on it
# within its timeout and opens its own window; the first, continued, works.
kill -STOP "$ZT_APP_PID"
started=$(date +%s)
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/pics/other.gif")" >>"$ZT_TMP/second.log" 2>&1 &
second_start_pid=$!
for _ in $(seq 1 160); do
    [ "$(zt_driver count-windows)" = 2 ] && break
    sleep 0.25
done
[ "$(zt_driver count-windows)" = 2 ] || { kill -CONT "$ZT_APP_PID"; zt_fail "no window of its own for the second start"; }
waited=$(( $(date +%s) - started ))
zt_log "the second start opened its own window after ${waited}s"
kill -CONT "$ZT_APP_PID"
# Both answer again: close them one by one until none is left.
for _ in $(seq 1 20); do
    [ "$(zt_driver count-windows)" = 0 ] && break
    zt_driver close || true
    sleep 1
done
[ "$(zt_driver count-windows)" = 0 ] || zt_fail "a window did not close"
wait "$second_start_pid" || zt_fail "the second process ended with $?"
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "the first zoetra.exe exited with $ZT_APP_EXIT"
zt_log "main window test passed"
