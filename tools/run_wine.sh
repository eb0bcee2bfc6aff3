#!/bin/bash
# Plays a GIF file in the real zoetra.exe under Wine: `make run FILE=x.gif`.
# With no DISPLAY it starts a private Xvfb screen, says which, and saves a
# screenshot of it to build/run-screen.png once the window is up. RUN_SECONDS=N
# closes the window after N seconds; otherwise it runs until the window is
# closed or Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
file=${1:-src/res/sample.gif}
[ -e "$file" ] || { echo "no such file: $file" >&2; exit 1; }

export ZOETRA_SOURCE_DIR=$PWD
export ZOETRA_BINARY_DIR=$PWD/build/native
# A prefix of its own, so a test run's cleanup never ends this program.
export ZT_WINEPREFIX=$PWD/build/wineprefix-run
# shellcheck source=../tests/wine/lib.sh
. tests/wine/lib.sh
zt_init
headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    zt_start_xvfb
    echo "No DISPLAY: zoetra.exe runs on the virtual screen $DISPLAY (Xvfb)."
    echo "  screenshot: xwd -display $DISPLAY -root -silent | /usr/bin/convert xwd:- shot.png"
fi
zt_prepare_prefix
zt_start_app "$(zt_winpath "$file")"
if zt_driver wait-window 60 >/dev/null; then
    echo "zoetra.exe shows: $(zt_driver title)"
    if [ "$headless" = 1 ]; then
        sleep 2
        zt_grab_screen build/run-screen.png && echo "  saved build/run-screen.png"
    fi
else
    echo "zoetra.exe's window did not appear" >&2
fi
if [ -n "${RUN_SECONDS:-}" ]; then
    sleep "$RUN_SECONDS"
    zt_driver close >/dev/null || true
fi
while [ -n "$ZT_APP_PID" ]; do zt_wait_app 3600; done
echo "zoetra.exe exited with code $ZT_APP_EXIT"
exit "$ZT_APP_EXIT"
