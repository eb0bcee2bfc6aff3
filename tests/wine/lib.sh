# Helpers for the end-to-end tests of zoetra.exe under Wine on a private
# Xvfb screen. Source it, then call zt_init. Every process started here is
# remembered by pid and ended by zt_cleanup (installed as the EXIT trap).
#
# Environment (all optional):
#   ZOETRA_SOURCE_DIR  the source tree (default: two levels above this file)
#   ZOETRA_BINARY_DIR  the native build folder that holds gifdump and the
#                      Wine prefix (default: $ZOETRA_SOURCE_DIR/build/native)
#   ZOETRA_WIN_DIR     where zoetra.exe and zoetra-driver.exe are
#                      (default: $ZOETRA_SOURCE_DIR/build/win)
#   ZT_WINEPREFIX      the Wine prefix (default: $ZOETRA_BINARY_DIR/wineprefix)
#   ZT_KEEP_DISPLAY    use $DISPLAY instead of starting an Xvfb when set to 1

ZT_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

zt_log() { printf '[%s] %s\n' "$(date +%T)" "$*" >&2; }
zt_fail() {
    zt_log "FAIL: $*"
    zt_show_logs
    exit 1
}

# What the program and the driver printed, and whether the program still
# runs: the evidence for a failure seen only on a CI machine.
zt_show_logs() {
    local log
    if [ -n "${ZT_APP_PID:-}" ]; then
        if kill -0 "$ZT_APP_PID" 2>/dev/null; then
            zt_log "zoetra.exe (pid $ZT_APP_PID) is still running"
        else
            zt_log "zoetra.exe (pid $ZT_APP_PID) has ended"
        fi
    fi
    for log in app.log driver.log; do
        [ -s "${ZT_TMP:-}/$log" ] || continue
        zt_log "last lines of $log:"
        tail -n 20 "$ZT_TMP/$log" >&2
    done
}

zt_init() {
    ZOETRA_SOURCE_DIR=$(cd "${ZOETRA_SOURCE_DIR:-$ZT_LIB_DIR/../..}" && pwd)
    ZOETRA_BINARY_DIR=${ZOETRA_BINARY_DIR:-$ZOETRA_SOURCE_DIR/build/native}
    mkdir -p "$ZOETRA_BINARY_DIR"
    ZOETRA_BINARY_DIR=$(cd "$ZOETRA_BINARY_DIR" && pwd)
    if [ -z "${ZOETRA_WIN_DIR:-}" ]; then
        # The Windows build sits beside the native one in the same build
        # folder; fall back to the source tree's build/win.
        if [ -f "$ZOETRA_BINARY_DIR/../win/zoetra.exe" ]; then
            ZOETRA_WIN_DIR=$ZOETRA_BINARY_DIR/../win
        else
            ZOETRA_WIN_DIR=$ZOETRA_SOURCE_DIR/build/win
        fi
    fi
    ZOETRA_WIN_DIR=$(cd "$ZOETRA_WIN_DIR" 2>/dev/null && pwd) ||
        zt_fail "no Windows build folder (expected $ZOETRA_SOURCE_DIR/build/win; run make build)"
    ZT_EXE=$ZOETRA_WIN_DIR/zoetra.exe
    ZT_DRIVER=$ZOETRA_WIN_DIR/zoetra-driver.exe
    [ -f "$ZT_EXE" ] || zt_fail "missing $ZT_EXE (run make build)"
    [ -f "$ZT_DRIVER" ] || zt_fail "missing $ZT_DRIVER (run make build)"

    export WINEPREFIX=${ZT_WINEPREFIX:-$ZOETRA_BINARY_DIR/wineprefix}
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    ZT_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zoetra-wine.XXXXXX")
    # Wine puts the shared user data of every process at 0x7ffe0000. This
    # wine64 has no preloader to reserve that place first, and with address
    # randomisation the kernel starts its heap anywhere in the gigabyte above
    # its image at 0x7d000000: now and then over that place, and the process
    # does not start ("failed to map the shared user data", one start in
    # some thousands; a test run makes hundreds). So every wine here runs
    # without randomisation, which starts the heap right after the image.
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        mkdir "$ZT_TMP/bin"
        printf '#!/bin/sh\nexec setarch %s -R %s "$@"\n' "$(uname -m)" "$(command -v wine)" >"$ZT_TMP/bin/wine"
        chmod +x "$ZT_TMP/bin/wine"
        PATH=$ZT_TMP/bin:$PATH
    fi
    ZT_XVFB_PID=
    ZT_WATCHDOG_PID=
    ZT_APP_PID=
    ZT_WINE_STARTED=0
    trap zt_cleanup EXIT
    trap 'exit 130' INT TERM
}

# Starts Xvfb on a display it picks itself (-displayfd), unless asked to use
# the current one.
zt_start_xvfb() {
    if [ "${ZT_KEEP_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local fifo=$ZT_TMP/displayfd
    : >"$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" \
        >"$ZT_TMP/xvfb.log" 2>&1 &
    ZT_XVFB_PID=$!
    local number=
    for _ in $(seq 1 100); do
        number=$(tr -dc 0-9 <"$fifo")
        [ -n "$number" ] && break
        kill -0 "$ZT_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$number" ] || zt_fail "Xvfb did not start: $(cat "$ZT_TMP/xvfb.log")"
    export DISPLAY=:$number
    zt_start_watchdog
    for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    zt_fail "display $DISPLAY does not answer"
}

# Ends the Xvfb and the prefix's Wine processes should this shell die
# without running zt_cleanup (killed by a timeout, SIGKILL).
zt_start_watchdog() {
    local owner=$$ xvfb=$ZT_XVFB_PID prefix=$WINEPREFIX
    (
        while kill -0 "$owner" 2>/dev/null; do sleep 2; done
        WINEPREFIX=$prefix wineserver -k
        [ -n "$xvfb" ] && kill "$xvfb"
    ) </dev/null >/dev/null 2>&1 &
    ZT_WATCHDOG_PID=$!
}

# Makes the Wine prefix once; later calls find it ready. A lock keeps two
# callers from building it at the same time.
zt_prepare_prefix() {
    ZT_WINE_STARTED=1
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            zt_log "creating the Wine prefix $WINEPREFIX (takes a while the first time)"
            rm -rf "$WINEPREFIX"
            timeout 300 wine wineboot -i >"$ZT_TMP/wineboot.log" 2>&1 || true
            timeout 120 wineserver -w || true
            [ -f "$WINEPREFIX/system.reg" ] || {
                cat "$ZT_TMP/wineboot.log" >&2
                exit 1
            }
        fi
    ) 9>"$WINEPREFIX.lock" || zt_fail "could not create the Wine prefix"
}

# A Unix path as Wine's Z: drive sees it.
zt_winpath() {
    local path
    path=$(realpath -m "$1")
    path=${path//\//\\}
    printf 'Z:%s' "$path"
}

# Starts zoetra.exe with the given arguments in the background.
zt_start_app() {
    ZT_WINE_STARTED=1
    wine "$ZT_EXE" "$@" >"$ZT_TMP/app.log" 2>&1 &
    ZT_APP_PID=$!
}

# Waits up to SECONDS for zoetra.exe to end; sets ZT_APP_EXIT to its exit
# code, or to 124 when it is still running. (Not for use in $(...): only this
# shell can collect its child's exit code.)
zt_wait_app() {
    local seconds=${1:-30} pid=$ZT_APP_PID
    ZT_APP_EXIT=127
    [ -n "$pid" ] || return 0
    for _ in $(seq 1 $((seconds * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            ZT_APP_EXIT=0
            wait "$pid" || ZT_APP_EXIT=$?
            ZT_APP_PID=
            return 0
        fi
        sleep 0.1
    done
    ZT_APP_EXIT=124
}

# U+00D7 and U+2009, between the direction and the speed of the playing
# title, in UTF-8.
ZT_TIMES=$'\xc3\x97\xe2\x80\x89'

# The status line of a file that plays: NAME FRAMES [DIRECTION SPEED ZOOM].
zt_playing_title() {
    printf '%s (%s frames | %s | %s%s | %s)' "$1" "$2" "${3:->>}" "$ZT_TIMES" "${4:-1.00}" "${5:-100%}"
}

# Runs COMMAND... up to TRIES times, INTERVAL seconds apart, until it
# prints WANT; else fails with "WHAT: NOUN is 'GOT', not 'WANT'".
zt_expect_output() {
    local want=$1 what=$2 noun=$3 tries=$4 interval=$5 got=
    shift 5
    for _ in $(seq 1 "$tries"); do
        got=$("$@") || true
        [ "$got" = "$want" ] && return 0
        sleep "$interval"
    done
    zt_fail "$what: $noun is '$got', not '$want'"
}

# Waits up to SECONDS (default 20) until the window's title is TITLE, else
# fails with WHAT. Compared here, not by the driver: Wine hands program
# arguments over through the locale's code page, which may not hold them.
zt_expect_title() {
    local seconds=${3:-20}
    zt_expect_output "$1" "$2" title $((seconds * 4)) 0.25 zt_driver title
}

# Runs the driver; its output has no carriage returns.
zt_driver() {
    ZT_WINE_STARTED=1
    wine "$ZT_DRIVER" "$@" 2>>"$ZT_TMP/driver.log" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# The X window of the running program, found by its exact title.
zt_x_window() {
    local pattern
    # xdotool takes a regular expression: the title's (, |, % and . are literal.
    pattern=$(printf '%s' "$1" | sed 's/[][\.*^$()|+?{}]/\\&/g')
    zt_x_window_named "^$pattern\$" "${2:-30}"
}

# The X window whose title matches the regular expression PATTERN, waited
# for up to SECONDS: a title reaches X when the window's thread next
# flushes its requests.
zt_x_window_named() {
    local pattern=$1 seconds=${2:-30} id
    for _ in $(seq 1 $((seconds * 4))); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.25
    done
    return 1
}

# The title of an X window as the window manager would show it.
zt_x_title() {
    xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'
}

# The whole screen as a picture file (PNG or PPM by the name's suffix).
zt_grab_screen() {
    xwd -root -silent | /usr/bin/convert xwd:- "$1"
}

zt_cleanup() {
    local code=$?
    trap - EXIT INT TERM
    set +e  # a failing kill or wait here must not cut the cleanup short
    if [ -n "${ZT_WATCHDOG_PID:-}" ]; then
        kill "$ZT_WATCHDOG_PID" 2>/dev/null
        wait "$ZT_WATCHDOG_PID" 2>/dev/null
    fi
    if [ -n "${ZT_APP_PID:-}" ] && kill -0 "$ZT_APP_PID" 2>/dev/null; then
        kill "$ZT_APP_PID" 2>/dev/null
        wait "$ZT_APP_PID" 2>/dev/null
    fi
    if [ "${ZT_WINE_STARTED:-0}" = 1 ] && [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1
        timeout 30 wineserver -w >/dev/null 2>&1
    fi
    if [ -n "${ZT_XVFB_PID:-}" ]; then
        kill "$ZT_XVFB_PID" 2>/dev/null
        wait "$ZT_XVFB_PID" 2>/dev/null
    fi
    [ -n "${ZT_TMP:-}" ] && rm -rf "$ZT_TMP"
    exit "$code"
}
