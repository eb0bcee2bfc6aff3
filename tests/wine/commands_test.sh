#!/bin/bash
# The command keys and the context menu of zoetra.exe on loaded files, with
# what the title, the picture and the menu show after each: speed, direction,
# pause and resume, frame steps, rewind, a pass that runs out and what P and
# N do after it, zoom (also through real key presses,
# where Shift with the plus key does nothing), the folder steps, the menu's
# items and greying in each state (read back from the menu itself), its
# position for the menu key and for a real right click, menu choices acting
# as their keys, Space, Home, End, the wheel, drags and double clicks, the
# frame pacing at three speeds, and Exit from the menu ending the program
# with exit code 0.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

GIFS="/usr/bin/python3 $ZT_LIB_DIR/gifs.py"
minus=$'\xe2\x88\x92'          # U+2212

zt_start_xvfb
zt_prepare_prefix

mkdir -p "$ZT_TMP/one" "$ZT_TMP/two" "$ZT_TMP/three"
$GIFS solid "$ZT_TMP/one/a.gif" 12 100 64 48   # 12 frames of one second
$GIFS solid "$ZT_TMP/one/z.gif" 1 10 32 24
$GIFS box "$ZT_TMP/two/fast.gif" 250 10 320 240 # 250 frames of 100 ms
$GIFS solid "$ZT_TMP/three/once.gif" 4 40 64 48 1  # played once, 4 frames of 400 ms
$GIFS box "$ZT_TMP/three/box.gif" 12 100 160 120 # 12 frames of one second
workspace=$(zt_driver syscolor appworkspace)

# The title stays $1 for a while after a key that must change nothing.
expect_title_stays() {
    sleep 0.6
    local title
    title=$(zt_driver title)
    [ "$title" = "$1" ] || zt_fail "$2: title became '$title', not '$1'"
}

key() { zt_driver key "$1" || zt_fail "key $1: no window"; }

playing() { printf '%s (%s frames | %s | %s%s | %s)' "$1" "$2" "$3" "$ZT_TIMES" "$4" "$5"; }

# The picture's colour at the centre of the client area.
centre_colour() {
    local size
    size=$(zt_driver client-size)
    zt_driver pixel $((${size% *} / 2)) $((${size#* } / 2))
}

expect_frame_on_show() {
    local want got
    want=$($GIFS colour "$1")
    got=$(centre_colour)
    [ "$got" = "$want" ] || zt_fail "$2: the picture is $got, not frame $(($1 + 1)) ($want)"
}

# The menu the program shows: "at" line into menu_at, items into menu_items.
read_menu() {
    local out
    out=$(zt_driver menu 5) || zt_fail "$1: no context menu appeared"
    menu_at=$(printf '%s\n' "$out" | sed -n 's/^at //p')
    menu_items=$(printf '%s\n' "$out" | sed '/^at /d')
}

close_menu() {
    zt_driver menu-key 27 >/dev/null
    zt_driver menu-gone 5 || zt_fail "the menu did not close"
}

# The items expected: FRAMES (0, 1 or 2 for two and more), PLAYING,
# FULLSCREEN, then the greyed item ids.
expected_menu() {
    local frames=$1 playing=$2 fullscreen=$3
    shift 3
    local greyed=" $* "
    item() {
        local state=e
        [[ $greyed == *" $1 "* ]] && state=g
        printf '%s %s %s\n' "$1" "$state" "$2"
    }
    item 79 '&Open File...\tO'
    echo "0 s "
    if [ "$frames" -ge 1 ]; then
        item 37 'Pr&evious File\tLeft'
        item 39 'Nex&t File\tRight'
        echo "0 s "
    fi
    if [ "$frames" -ge 2 ]; then
        item 80 '&Play/Pause\tP'
        item 82 'Play &Reversed\tR'
        item 83 '&Stop\tS'
        echo "0 s "
        if [ "$playing" = 1 ]; then
            item 38 'Speed &Up\tUp'
            item 40 'Speed &Down\tDn'
        else
            item 78 '&Next Frame\tN'
            item 86 'Pre&v Frame\tV'
        fi
        echo "0 s "
    fi
    if [ "$frames" -ge 1 ]; then
        item 187 'Zoom &In\t+'
        item 189 "Zoo&m Out\\t$minus"
        echo "0 s "
    fi
    if [ "$fullscreen" = 1 ]; then item 122 'Cancel &Fullscreen\tF11'; else item 122 '&Fullscreen\tF11'; fi
    echo "0 s "
    item 88 'E&xit\tX'
}

expect_menu() {
    local what=$1
    shift
    key 93
    read_menu "$what"
    local want
    want=$(expected_menu "$@")
    [ "$menu_items" = "$want" ] || zt_fail "$what: the menu is
$menu_items
and not
$want"
}

picture_size() {
    local box
    box=$(zt_driver picture-box "$workspace")
    echo "${box#* * }"
}

expect_picture_size() { zt_expect_output "$1" "$2" "the picture" 20 0.1 picture_size; }

# ---- a.gif: 12 frames, with z.gif (one frame) beside it -------------------
zt_start_app "$(zt_winpath "$ZT_TMP/one/a.gif")"
zt_driver wait-window 90 || zt_fail "no window appeared"
A_PLAY=$(playing a.gif 12 '>>' 1.00 100%)
zt_expect_title "$A_PLAY" "after the load"

# The menu key: the menu centred on the window, in the playing state. Which
# of the two files comes first is the file system's listing order.
key 93
read_menu "menu key"
read -r wl wt wr wb <<<"$(zt_driver window | sed 's/.*rect //')"
read -r ml mt mr mb <<<"$menu_at"
cx=$(((wl + wr) / 2)); cy=$(((wt + wb) / 2))
mx=$(((ml + mr) / 2)); my=$(((mt + mb) / 2))
[ $((mx - cx)) -ge -2 ] && [ $((mx - cx)) -le 2 ] && [ $((my - cy)) -ge -2 ] && [ $((my - cy)) -le 2 ] ||
    zt_fail "the menu key's menu ($menu_at) is not centred on the window ($wl $wt $wr $wb)"
if printf '%s\n' "$menu_items" | grep -q '^37 g '; then
    a_greyed=37; z_greyed=39; to_z=39; to_a=37; to_z_char=t; a_first=1
else
    a_greyed=39; z_greyed=37; to_z=37; to_a=39; to_z_char=e; a_first=0
fi
want=$(expected_menu 2 1 0 "$a_greyed")
[ "$menu_items" = "$want" ] || zt_fail "playing: the menu is
$menu_items
and not
$want"
close_menu
expect_title_stays "$A_PLAY" "a dismissed menu"
zt_log "menu key: centred, playing state right (a.gif first in the folder: $a_first)"

# Speed steps and direction.
key 38; zt_expect_title "$(playing a.gif 12 '>>' 1.125 100%)" "Up"
key 40; zt_expect_title "$A_PLAY" "Down"
key 40; zt_expect_title "$(playing a.gif 12 '>>' 0.75 100%)" "Down again"
key 38; zt_expect_title "$A_PLAY" "Up again"
key 82; zt_expect_title "$(playing a.gif 12 '<<' 1.00 100%)" "R"
expect_menu "playing in reverse" 2 1 0 "$a_greyed"
close_menu
key 82; zt_expect_title "$A_PLAY" "R again"
key 78; expect_title_stays "$A_PLAY" "N while playing"
zt_log "speed and direction: titles right"

# Pause, steps, resume.
key 80
title=$(zt_driver title)
[[ $title =~ ^a\.gif\ \(([0-9]+)\ of\ 12\ frames\ \|\ 100%\)$ ]] || zt_fail "P: title '$title'"
f=${BASH_REMATCH[1]}
expect_frame_on_show $((f - 1)) "paused at frame $f"
key 38; expect_title_stays "a.gif ($f of 12 frames | 100%)" "Up while paused"
key 40; expect_title_stays "a.gif ($f of 12 frames | 100%)" "Down while paused"
while [ "$f" != 6 ]; do
    key 78
    f=$((f % 12 + 1))
    zt_expect_title "a.gif ($f of 12 frames | 100%)" "N"
done
expect_frame_on_show 5 "stepped to frame 6"
key 86; zt_expect_title "a.gif (5 of 12 frames | 100%)" "V"
expect_frame_on_show 4 "stepped back to frame 5"
key 78; zt_expect_title "a.gif (6 of 12 frames | 100%)" "N"
# P resumes with frame 7: paused again at once, frame 7 is on show.
key 80
key 80
zt_expect_title "a.gif (7 of 12 frames | 100%)" "P twice at frame 6"
expect_frame_on_show 6 "resumed after frame 6 and paused"
key 80
zt_expect_title "$A_PLAY" "P to resume"
key 80
title=$(zt_driver title)
[[ $title =~ ^a\.gif\ \(([0-9]+)\ of\ 12\ frames ]] || zt_fail "P: title '$title'"
zt_log "pause, steps and resume: right"

# Stop and rewind; the Stop item's greying at frame 0 forward and reverse.
key 83; zt_expect_title "a.gif (1 of 12 frames | 100%)" "S"
expect_frame_on_show 0 "after S"
expect_menu "stopped at frame 1, forward" 2 0 0 "$a_greyed" 83
close_menu
key 82; zt_expect_title "$(playing a.gif 12 '<<' 1.00 100%)" "R after S"
key 80
title=$(zt_driver title)
[[ $title =~ ^a\.gif\ \(([0-9]+)\ of\ 12\ frames ]] || zt_fail "P in reverse: title '$title'"
f=${BASH_REMATCH[1]}
while [ "$f" != 1 ]; do
    key 86
    f=$((f - 1)); [ "$f" = 0 ] && f=12
    zt_expect_title "a.gif ($f of 12 frames | 100%)" "V in reverse"
done
expect_menu "paused at frame 1, reverse" 2 0 0 "$a_greyed"
close_menu
key 83; zt_expect_title "a.gif (1 of 12 frames | 100%)" "S in reverse"
key 80; zt_expect_title "$A_PLAY" "S sets forward"
key 80
title=$(zt_driver title)
[[ $title =~ ^a\.gif\ \(([0-9]+)\ of\ 12 ]] || zt_fail "P: title '$title'"
f=${BASH_REMATCH[1]}
zt_log "rewind and the Stop item: right"

# Zoom steps: the picture's size follows the table.
zoom_title() { echo "a.gif ($f of 12 frames | $1)"; }
expect_picture_size "64 48" "100%"
key 187; zt_expect_title "$(zoom_title 125%)" "zoom in"; expect_picture_size "80 60" "125%"
for step in "150% 96 72" "200% 128 96" "400% 256 192"; do
    read -r text w h <<<"$step"
    key 187; zt_expect_title "$(zoom_title "$text")" "zoom in"; expect_picture_size "$w $h" "$text"
done
expect_menu "400%" 2 0 0 "$a_greyed" 187
close_menu
key 187; expect_title_stays "$(zoom_title 400%)" "zoom in past 400%"
for step in "200% 128 96" "150% 96 72" "125% 80 60" "100% 64 48" "75% 48 36" "50% 32 24" "25% 16 12"; do
    read -r text w h <<<"$step"
    key 189; zt_expect_title "$(zoom_title "$text")" "zoom out"; expect_picture_size "$w $h" "$text"
done
expect_menu "25%" 2 0 0 "$a_greyed" 189
close_menu
for _ in 1 2 3; do key 187; done
zt_expect_title "$(zoom_title 100%)" "back to 100%"

# Real key presses: "=" zooms, Shift with it ("+") does nothing.
xwin=$(zt_x_window "$(zoom_title 100%)" 10) || zt_fail "no X window for the title"
xdotool key --window "$xwin" equal
zt_expect_title "$(zoom_title 125%)" "the = key"
xdotool key --window "$xwin" shift+equal
expect_title_stays "$(zoom_title 125%)" "Shift with the plus key"
xdotool key --window "$xwin" minus
zt_expect_title "$(zoom_title 100%)" "the - key"
xdotool key --window "$xwin" p
zt_expect_title "$A_PLAY" "the P key"
zt_log "zoom steps and real keys: right"

# A real right click: the menu's top-left corner at the cursor.
read -r wl wt wr wb <<<"$(zt_driver window | sed 's/.*rect //')"
px=$((wl + 150)); py=$((wt + 120))
xdotool mousemove "$px" "$py" click 3
read_menu "right click"
read -r ml mt mr mb <<<"$menu_at"
[ "$ml $mt" = "$px $py" ] || zt_fail "the right-click menu is at $ml $mt, the cursor at $px $py"
close_menu
xdotool mousemove 5 700
zt_log "right click: the menu at the cursor"

# Menu choices act as their keys.
key 93; read_menu "menu for P"; zt_driver menu-char p
title=$(zt_driver title)
for _ in $(seq 1 20); do [[ $title == *" of 12 frames"* ]] && break; sleep 0.15; title=$(zt_driver title); done
[[ $title =~ ^a\.gif\ \([0-9]+\ of\ 12\ frames\ \|\ 100%\)$ ]] || zt_fail "Play/Pause from the menu: '$title'"
key 93; read_menu "menu for the step"; zt_driver menu-char "$to_z_char"
zt_expect_title "z.gif (1 frame | 100%)" "the file step from the menu"
want_greyed=$z_greyed
expect_menu "one frame" 1 0 0 "$want_greyed"
close_menu
for k in 80 83 78 86 38 40 82; do key $k; done
expect_title_stays "z.gif (1 frame | 100%)" "playback keys on one frame"
key 189; zt_expect_title "z.gif (1 frame | 75%)" "zoom out on one frame"
expect_picture_size "24 18" "one frame at 75%"
key "$to_z"; expect_title_stays "z.gif (1 frame | 75%)" "a step past the last file"
key "$to_a"; zt_expect_title "$A_PLAY" "the step back to a.gif"
zt_log "menu choices, one-frame file and folder steps: right"

# A file played once: when the pass runs out the title says so, with the
# last frame on show; P plays the whole file again, and N after it shows
# the first frame.
ONCE_AT_END="once.gif (4 of 4 frames | 100%)"
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/three/once.gif")" >/dev/null 2>&1 || true
zt_expect_title "$ONCE_AT_END" "the pass of a file played once ran out"
expect_frame_on_show 3 "the pass ran out"
key 80; zt_expect_title "$(playing once.gif 4 '>>' 1.00 100%)" "P after the pass ran out"
zt_expect_title "$ONCE_AT_END" "the second pass ran out"
key 78; zt_expect_title "once.gif (1 of 4 frames | 100%)" "N after the pass ran out"
expect_frame_on_show 0 "N after the pass ran out"
zt_log "a pass that runs out: the title, P and N right"

# Real keys and the mouse on box.gif: at 400 % (640 x 480, larger than the
# client area) frame 12's box is 176 px into the picture, alone on 283C50.
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/three/box.gif")" >/dev/null 2>&1 || true
BOX_PLAY=$(playing box.gif 12 '>>' 1.00 100%)
zt_expect_title "$BOX_PLAY" "box.gif handed over"
box_title() { zt_driver title | sed 's/^box.gif ([0-9]* of 12 frames | 100%)$/paused/'; }
xdotool key --window "$xwin" space; zt_expect_output paused "Space" title 40 0.1 box_title
xdotool key --window "$xwin" space; zt_expect_title "$BOX_PLAY" "Space again"
xdotool key --window "$xwin" Home; zt_expect_title "box.gif (1 of 12 frames | 100%)" "Home"
xdotool key --window "$xwin" End; zt_expect_title "box.gif (12 of 12 frames | 100%)" "End"
read -r wl wt wr wb <<<"$(zt_driver window | sed 's/.*rect //')"
xdotool mousemove $(((wl + wr) / 2)) $(((wt + wb) / 2)) click 4
zt_expect_title "box.gif (12 of 12 frames | 125%)" "a wheel notch up"
xdotool click 5 click 5; zt_expect_title "box.gif (12 of 12 frames | 75%)" "two notches down"
xdotool click --repeat 5 4; zt_expect_title "box.gif (12 of 12 frames | 400%)" "five notches up"
# "there": the box's left edge at X +- 2 px (Wine's halftone stretch places
# a picture cut at its left edge to a pixel or two), and no bar in sight.
box_at() { zt_driver picture-box 283C50 | awk -v x="$1" '{ print ($1 - x) ^ 2 <= 4 && $3 <= 100 ? "there" : $0 }'; }
read -r cw _ <<<"$(zt_driver client-size)"
zt_expect_output there "400 %" "the box" 30 0.1 box_at $(((cw - 640) / 2 + 176))
xdotool mousedown 1 mousemove_relative 60 0 mouseup 1
zt_expect_output there "a drag of 60 px to the right" "the box" 30 0.1 box_at $(((cw - 640) / 2 + 236))
xdotool mousedown 1 mousemove 0 $(((wt + wb) / 2)) mouseup 1  # left of the client area: x < 0
zt_expect_output there "a drag far past the left edge" "the box" 30 0.1 box_at $((cw - 640 + 176))
windowed=$(zt_driver window)
xdotool mousemove $(((wl + wr) / 2)) $(((wt + wb) / 2)) click --repeat 2 --delay 80 1
zt_expect_output "style 0x14000000 rect 0 0 $(zt_driver screen)" "a double click" window 30 0.1 zt_driver window
xdotool click --repeat 2 --delay 80 1
zt_expect_output "$windowed" "another double click" window 30 0.1 zt_driver window
zt_log "Space, Home, End, the wheel, drags and double clicks: right"

# Frame pacing at 1.00, 2.00 and 0.50: a second start hands over a file of
# 100 ms frames in which a box moves; zoetra-driver pace gives the time a
# frame takes (the median over spans of 20 to 40 frames).
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/two/fast.gif")" >/dev/null 2>&1 || true
zt_expect_title "$(playing fast.gif 250 '>>' 1.00 100%)" "the handed-over file"
frame_time() { zt_driver pace 5 | sed -n 's/^median //p'; }
normal=$(frame_time)
for _ in 1 2 3 4 5; do key 38; done
zt_expect_title "$(playing fast.gif 250 '>>' 2.00 100%)" "five steps faster"
fast=$(frame_time)
for _ in 1 2 3 4 5 6 7; do key 40; done
zt_expect_title "$(playing fast.gif 250 '>>' 0.50 100%)" "seven steps slower"
slow=$(frame_time)
zt_log "a frame takes $normal ms at 1.00, $fast at 2.00, $slow at 0.50"
awk -v n="$normal" -v f="$fast" -v s="$slow" \
    'BEGIN { exit !(n > 95 && n < 105 && f > 47.5 && f < 52.5 && s > 190 && s < 210) }' ||
    zt_fail "a frame takes $normal ms at 1.00, $fast at 2.00, $slow at 0.50: not 100, 50 and 200 (+- 5 %)"

# Exit from the menu ends the program with exit code 0.
key 93; read_menu "menu for Exit"; zt_driver menu-char x
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after Exit"
zt_log "commands test passed"
