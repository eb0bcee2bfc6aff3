#!/bin/bash
# zoetra.exe started with a one-frame GIF shows it at 100%, centred on the
# work-space colour, titled with the file name in the one-frame format; started with a file that is
# no GIF it shows an empty work-space-coloured window titled "Zoetra"; and
# closing the window ends the process with exit code 0. At 144 dots per inch
# the window opens at 720 x 540, and 100% is still pixel for pixel.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init

# What the title bar says once a one-frame file is loaded.
expected_loaded_title() { printf '%s (1 frame | 100%%)' "$1"; }
EMPTY_TITLE=Zoetra

GIFDUMP=$ZOETRA_BINARY_DIR/gifdump
[ -x "$GIFDUMP" ] || zt_fail "missing $GIFDUMP"
SAMPLE=$ZOETRA_SOURCE_DIR/src/res/sample.gif
PPM="/usr/bin/python3 $ZT_LIB_DIR/ppm.py"

zt_start_xvfb
zt_prepare_prefix

workspace=$(zt_driver syscolor appworkspace)
[[ $workspace =~ ^[0-9A-F]{6}$ ]] || zt_fail "syscolor gave '$workspace'"
zt_log "COLOR_APPWORKSPACE is $workspace"

# The sample's first frame as a file of its own, so the picture stands still.
/usr/bin/convert "$SAMPLE[0]" "$ZT_TMP/still.gif"
"$GIFDUMP" --background "$workspace" "$ZT_TMP/still.gif" "$ZT_TMP/frames" >/dev/null
grep -qx 'frames 1' "$ZT_TMP/frames/summary.txt" || zt_fail "still.gif: $(cat "$ZT_TMP/frames/summary.txt")"
grep -qx 'result 0' "$ZT_TMP/frames/summary.txt" || zt_fail "gifdump: $(cat "$ZT_TMP/frames/summary.txt")"
[ -f "$ZT_TMP/frames/frame_0000.ppm" ] || zt_fail "gifdump wrote no frame_0000.ppm"

# --- A one-frame file: its picture, centred, at 100%.
zt_start_app "$(zt_winpath "$ZT_TMP/still.gif")"
zt_driver wait-window 90 || zt_fail "no window appeared for the still picture"
title=$(expected_loaded_title still.gif)
zt_driver wait-title "$title" 30 || zt_fail "title is not '$title'"
xwin=$(zt_x_window "$title" 30) || zt_fail "no X window named '$title'"
x_title=$(zt_x_title "$xwin")
[ "$x_title" = "$title" ] || zt_fail "X title is '$x_title', not '$title'"

# The picture is painted once the load is done; give a slow machine a moment
# and accept the first read-back that matches.
ok=0
for attempt in 1 2 3 4 5; do
    zt_driver client-pixels "$(zt_winpath "$ZT_TMP/client.ppm")" || zt_fail "client-pixels failed"
    if $PPM compare-centred "$ZT_TMP/client.ppm" "$ZT_TMP/frames/frame_0000.ppm" "$workspace" \
        >"$ZT_TMP/compare.txt"; then
        ok=1
        break
    fi
    sleep 1
done
cat "$ZT_TMP/compare.txt"
if [ "$ok" != 1 ]; then
    zt_grab_screen "$ZOETRA_BINARY_DIR/first_frame_failure.png" || true
    zt_fail "the client area is not frame 0 centred on $workspace (screen: $ZOETRA_BINARY_DIR/first_frame_failure.png)"
fi

zt_driver close || zt_fail "close: no window"
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after close"

# --- 144 dots per inch, in a prefix of its own (the shared one hard-linked):
# with DpiScalingVer set Wine reads the manifest. Sizes are read on X (Wine
# scales them for other programs): the X window is the client area of a
# window at the origin, so its position is the frame's side, bottom and top.
shared_prefix=$WINEPREFIX
export WINEPREFIX=$ZT_TMP/prefix-144
cp -al "$shared_prefix" "$WINEPREFIX" && cp --remove-destination "$shared_prefix"/*.reg "$WINEPREFIX"
wine reg add 'HKCU\Control Panel\Desktop' /v DpiScalingVer /t REG_DWORD /d 0x1000 /f >/dev/null
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
zt_start_app "$(zt_winpath "$ZT_TMP/still.gif")"
zt_driver wait-title "$title" 90 || zt_fail "144 dpi: title is not '$title'"
xwin=$(zt_x_window "$title" 30) || zt_fail "144 dpi: no X window named '$title'"
read -r x y width height <<<"$(xwininfo -id "$xwin" | awk '/Absolute upper-left X/ { x = $4 }
    /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')"
size="$((width + 2 * x)) x $((height + y + x))"
[ "$size" = "720 x 540" ] || zt_fail "144 dpi: the window opened at $size, not 720 x 540"
picture() {  # "same" once frame 0 is painted at 100%, centred
    xwd -root -silent | /usr/bin/convert xwd:- -crop "${width}x${height}+$x+$y" +repage "$ZT_TMP/client.ppm"
    $PPM compare-centred "$ZT_TMP/client.ppm" "$ZT_TMP/frames/frame_0000.ppm" "$workspace" \
        >"$ZT_TMP/compare.txt" && echo same || sed -n 2p "$ZT_TMP/compare.txt"
}
zt_expect_output same "144 dpi" "the client area" 40 0.25 picture
zt_driver close || zt_fail "144 dpi: close: no window"
zt_wait_app 30
wineserver -k
export WINEPREFIX=$shared_prefix

# --- A file that is no GIF: empty window, program name as title.
printf 'This is plain text, not a picture.\n' >"$ZT_TMP/notes.gif"
zt_start_app "$(zt_winpath "$ZT_TMP/notes.gif")"
zt_driver wait-window 90 || zt_fail "no window appeared for the non-GIF file"
sleep 1  # the load comes after the window shows
title=$(zt_driver title)
[ "$title" = "$EMPTY_TITLE" ] || zt_fail "title for a non-GIF file is '$title'"
ok=0
for attempt in 1 2 3; do
    zt_driver client-pixels "$(zt_winpath "$ZT_TMP/client.ppm")" || zt_fail "client-pixels failed"
    if $PPM uniform "$ZT_TMP/client.ppm" "$workspace" >"$ZT_TMP/compare.txt"; then
        ok=1
        break
    fi
    sleep 1
done
cat "$ZT_TMP/compare.txt"
[ "$ok" = 1 ] || zt_fail "the empty window is not all $workspace"
zt_driver close || zt_fail "close: no window"
zt_wait_app 30
[ "$ZT_APP_EXIT" = 0 ] || zt_fail "zoetra.exe exited with $ZT_APP_EXIT after close"

zt_log "first frame test passed"
