#!/bin/bash
# The shell in-process under Wine (zoetra-shell-checks.exe): drops, folder
# neighbours through the real FindFirstFileW, the acceptance test of
# handed-over paths, the fullscreen switch when the style cannot be set, and
# hand-overs to a real main window that load after their answer.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init
CHECKS=$ZOETRA_WIN_DIR/zoetra-shell-checks.exe
[ -f "$CHECKS" ] || zt_fail "missing $CHECKS (run make build)"
zt_start_xvfb
zt_prepare_prefix
mkdir -p "$ZT_TMP/scratch"
ZT_WINE_STARTED=1
wine "$CHECKS" "$(zt_winpath "$ZT_TMP/scratch")" | tr -d '\r' | tee "$ZT_TMP/checks.txt"
grep -q ' 0 failed$' "$ZT_TMP/checks.txt" || zt_fail "shell checks failed"
