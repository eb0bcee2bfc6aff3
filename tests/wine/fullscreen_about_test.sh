#!/bin/bash
# zoetra.exe started without a file: only the menu key, O, F1, F11, Esc and X
# act, and the menu has only Open, Fullscreen and Exit. F11 covers the screen
# with no caption and black bars, a file loaded meanwhile keeps fullscreen,
# Esc or F11 put the moved and resized window back with its style; Esc in a
# window does nothing. F1 opens the About box centred over the window with
# the exact text, no caret and no selection, its own Copy / Select All menu
# (Select All then Copy puts the whole text with CR LF on the clipboard), OK
# and the close box end it, and playback goes on behind it. A key pressed as
# the box closes acts before a file handed over after it; F1 during a long
# load opens the box after the load with the keyboard, which a second start
# meanwhile does not take from it; over a window mostly off the screen the
# box stays on it. X ends the program with exit code 0.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

GIFS="/usr/bin/python3 $ZT_LIB_DIR/gifs.py"

zt_start_xvfb
zt_prepare_prefix
$GIFS solid "$ZT_TMP/b.gif" 12 10 64 48
$GIFS solid "$ZT_TMP/c.gif" 6 10 40 30
$GIFS solid "$ZT_TMP/d.gif" 4 10 40 30
$GIFS slow "$ZT_TMP/slow.gif" 400  # a load of seconds, over 5 MB: a progress title
printf 'GIF89a' >"$ZT_TMP/broken.gif"
workspace=$(zt_driver syscolor appworkspace)
key() { zt_driver key "$1" || zt_fail "key $1: no window"; }
window_state() { zt_driver window; }
expect_window() { zt_expect_output "$1" "$2" window 30 0.1 window_state; }

zt_start_app
zt_driver wait-window 90 || zt_fail "no window appeared"
zt_expect_title "Zoetra" "start without a file"

# Moved and resized first, so the way back is not the start rectangle.
zt_driver move 100 80 520 400
WINDOWED="style 0x14CF0000 rect 100 80 620 480"
expect_window "$WINDOWED" "after the move"

# No file: keys that need one change nothing.
for k in 37 38 39 40 78 80 82 83 86 187 189 27; do key $k; done
sleep 0.6
[ "$(zt_driver title)" = "Zoetra" ] || zt_fail "a key acted without a file: '$(zt_driver title)'"
expect_window "$WINDOWED" "keys without a file"
key 93
menu=$(zt_driver menu 5 | sed '/^at /d') || zt_fail "the menu key showed no menu"
want=$(printf '%s\n' '79 e &Open File...\tO' '0 s ' '122 e &Fullscreen\tF11' '0 s ' '88 e E&xit\tX')
[ "$menu" = "$want" ] || zt_fail "the menu without a file is
$menu"
zt_driver menu-key 27; zt_driver menu-gone 5 || zt_fail "the menu stayed"
# O: the open dialog comes up over the window; cancelled, nothing changes.
key 79
dialog=
for _ in $(seq 1 50); do
    dialog=$(xdotool search --onlyvisible --name '^Open$' 2>/dev/null | head -n 1) && [ -n "$dialog" ] && break
    sleep 0.2
done
[ -n "$dialog" ] || zt_fail "O showed no open dialog"
xdotool key --window "$dialog" Escape
for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break
    sleep 0.2
done
zt_expect_title "Zoetra" "the cancelled open dialog"
zt_log "no file: only the menu key, O, F1, F11, Esc and X act"

# Real keys: F1, Escape in the box, then "-" at once, and a file handed over
# a moment later. The "-" acts on no file (it does nothing): the file opens
# at 100%. Under Wine the box takes about two seconds to close, so the key
# waits in the queue behind the hand-over's load.
xwin=$(zt_x_window Zoetra 10) || zt_fail "no X window titled Zoetra"
xdotool key --window "$xwin" F1
zt_driver about 10 >/dev/null || zt_fail "F1 showed no About box"
box=$(xdotool search --onlyvisible --name '^About$' | head -n 1)
xdotool key --window "$box" Escape
xdotool key --window "$xwin" minus
sleep 0.8
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/d.gif")" >/dev/null 2>&1 || true
zt_expect_title "d.gif (4 frames | >> | ${ZT_TIMES}1.00 | 100%)" "a file handed over after F1, Escape and -"
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/broken.gif")" >/dev/null 2>&1 || true
zt_expect_title "Zoetra" "a broken file handed over"
zt_log "a key as the About box closes: acts before the next file"

# Fullscreen without a file, then a file handed over while fullscreen.
read -r sw sh <<<"$(zt_driver screen)"
FULL="style 0x14000000 rect 0 0 $sw $sh"
key 122
expect_window "$FULL" "F11"
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/b.gif")" >/dev/null 2>&1 || true
zt_expect_title "b.gif (12 frames | >> | ${ZT_TIMES}1.00 | 100%)" "b.gif handed over in fullscreen"
expect_window "$FULL" "a load in fullscreen"
[ "$(zt_driver client-size)" = "$sw $sh" ] || zt_fail "the client area is not the screen: $(zt_driver client-size)"
[ "$(zt_driver pixel 0 0)" = 000000 ] && [ "$(zt_driver pixel $((sw - 1)) $((sh - 1)))" = 000000 ] ||
    zt_fail "fullscreen bars are not black: $(zt_driver pixel 0 0)"
key 93
menu=$(zt_driver menu 5 | grep '^122 ') || zt_fail "no menu in fullscreen"
[ "$menu" = '122 e Cancel &Fullscreen\tF11' ] || zt_fail "the fullscreen item reads '$menu'"
zt_driver menu-key 27; zt_driver menu-gone 5 || zt_fail "the menu stayed"
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/c.gif")" >/dev/null 2>&1 || true
zt_expect_title "c.gif (6 frames | >> | ${ZT_TIMES}1.00 | 100%)" "c.gif handed over in fullscreen"
expect_window "$FULL" "another load in fullscreen"
key 27
expect_window "$WINDOWED" "Esc"
[ "$(zt_driver pixel 0 0)" = "$workspace" ] || zt_fail "the bars are $(zt_driver pixel 0 0) after fullscreen, not $workspace"
key 27
sleep 0.5
expect_window "$WINDOWED" "Esc in a window"
key 122; expect_window "$FULL" "F11 again"
key 122; expect_window "$WINDOWED" "F11 to leave"
zt_log "fullscreen: screen covered, black, kept over loads, left by Esc and F11"

# The About box.
about_text=' Zoetra \u2013 Player for GIF Animations\r\n\r\n Version 1.10\r\n\r\n \u00a9 The Zoetra authors, 2024-2025\r\n\r\n E-mail:\tzoetra@example.org\r\n Web:\thttps://zoetra.example.org\r\n\r\n This program comes without any\r\n warranty; use it at your own risk.\r\n\r\n You may use it and pass it on\r\n free of charge.'
# As the driver prints it: \r, \n and \t escaped, the rest UTF-8.
want_text=$(printf '%s' "$about_text" | sed 's/\\u2013/\xe2\x80\x93/; s/\\u00a9/\xc2\xa9/')
key 112
about=$(zt_driver about 10) || zt_fail "F1 showed no About box"
field() { printf '%s\n' "$about" | sed -n "s/^$1 //p"; }
[ "$(field text)" = "$want_text" ] || zt_fail "the About text is
$(field text)"
read -r bl bt br bb <<<"$(field box)"
read -r ol ot or ob <<<"$(field owner)"
dx=$(((bl + br) - (ol + or))); dy=$(((bt + bb) - (ot + ob)))
[ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] || zt_fail "the About box ($bl $bt $br $bb) is not centred over $ol $ot $or $ob"
[ "$(field selection)" = "0 0" ] || zt_fail "text selected on opening: $(field selection)"
[ "$(field focus)" = text ] || zt_fail "the text box has no focus"
[ "$(field caret-blinks)" = 0 ] || zt_fail "a caret blinks in the text box"
[ "$(field readonly)" = 1 ] || zt_fail "the text box is not read-only"
[ "$(field owner-enabled)" = 0 ] || zt_fail "the main window is not disabled behind the box"
# Playback goes on behind it (the box moved off the picture to see it).
zt_driver about-move 700 500
changes=$(zt_driver frame-changes 2 | sed -n 's/^changes //p')
[ "$changes" -ge 2 ] || zt_fail "playback stopped behind the About box ($changes changes)"
zt_driver about-menu
menu=$(zt_driver menu 5 | sed '/^at /d') || zt_fail "no Copy / Select All menu"
[ "$menu" = "$(printf '%s\n' '40002 g &Copy' '40003 e Select &All')" ] || zt_fail "the text menu is
$menu"
zt_driver menu-char a; zt_driver menu-gone 5
sleep 0.3
zt_driver about-menu
menu=$(zt_driver menu 5 | sed '/^at /d') || zt_fail "no Copy / Select All menu"
[ "$menu" = "$(printf '%s\n' '40002 e &Copy' '40003 e Select &All')" ] || zt_fail "after Select All the menu is
$menu"
zt_driver menu-char c; zt_driver menu-gone 5
zt_expect_output "$want_text" "Copy from the text box's menu" "the clipboard" 40 0.25 zt_driver clipboard
zt_driver about-end ok
zt_driver about-gone 5 || zt_fail "OK did not end the About box"
sleep 0.5
key 112
zt_driver about 10 >/dev/null || zt_fail "F1 showed no About box the second time"
zt_driver about-end close
zt_driver about-gone 5 || zt_fail "the close box did not end the About box"
sleep 0.5
zt_expect_title "c.gif (6 frames | >> | ${ZT_TIMES}1.00 | 100%)" "after the About box"
zt_log "About box: text, centring, no caret or selection, Copy / Select All, OK and close"

# F1 during a long load: the box opens after it, with the keyboard; a second
# start with another file while it is open does not take the keyboard from
# it (the window is disabled behind it), and a real Escape ends it.
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/slow.gif")" >/dev/null 2>&1 || true
# Any progress title: the one without dots lasts only its first 50 frames
# (0.3 s), which a driver started on a busy machine may miss.
progress() { zt_driver title | sed 's/^Processing data \.*$/loading/'; }
zt_expect_output loading "the long load" title 200 0.05 progress
xwin=$(zt_x_window_named '^Processing data' 10) || zt_fail "no X window for the progress title"
xdotool key --window "$xwin" F1
about=$(zt_driver about 60) || zt_fail "F1 during a load showed no About box after it"
[ "$(field focus)" = text ] || zt_fail "the box opened after a load has no keyboard"
wine "$ZT_EXE" "$(zt_winpath "$ZT_TMP/b.gif")" >/dev/null 2>&1 || true
zt_expect_title "b.gif (12 frames | >> | ${ZT_TIMES}1.00 | 100%)" "b.gif handed over while the box is open"
[ "$(zt_driver focus)" = "active about focus text foreground about" ] ||
    zt_fail "a second start took the keyboard from the About box: $(zt_driver focus)"
box=$(xdotool search --onlyvisible --name '^About$' | head -n 1)
xdotool key --window "$box" Escape
zt_driver about-gone 10 || zt_fail "Escape did not end the About box after a second start"
zt_log "About box after a long load and with a second start: keeps the keyboard"

# Over a window moved mostly off the screen the box stays on the screen.
zt_driver move -524 80 687 400
key 112
about=$(zt_driver about 10) || zt_fail "F1 showed no About box over the moved window"
read -r bl bt br bb <<<"$(field box)"
[ "$bl" -ge 0 ] && [ "$bt" -ge 0 ] && [ "$br" -le "$sw" ] && [ "$bb" -le "$sh" ] ||
    zt_fail "the About box ($bl $bt $br $bb) is not on the $sw x $sh screen"
zt_driver about-end ok
zt_driver about-gone 5 || zt_fail "OK did not end the About box"
zt_log "About box over a window off the screen: on the screen at $bl $bt"

key 88
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after X"
zt_log "fullscreen and About test passed"
