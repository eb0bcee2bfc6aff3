#!/bin/bash
# Packs the Windows program to take to a Windows machine: writes
# OUTDIR/zoetra-VERSION-win64.zip (default OUTDIR: build/dist) holding
# build/win/zoetra.exe, README.md and LICENSE, and prints its path. VERSION
# is the version as the program shows it, from src/shell/version.h. Run
# after the Windows build (`make dist` does both).
#
# usage: tools/make_dist.sh [OUTDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/dist}
exe=$root/build/win/zoetra.exe
[ -f "$exe" ] || { echo "missing $exe (run make windows)" >&2; exit 1; }
version=$(sed -n 's/^#define ZOETRA_VERSION_TEXT "\([^"]*\)".*/\1/p' "$root/src/shell/version.h")
[ -n "$version" ] || { echo "no ZOETRA_VERSION_TEXT in src/shell/version.h" >&2; exit 1; }
mkdir -p "$out"
zip=$(cd "$out" && pwd)/zoetra-$version-win64.zip
# Written beside the zip and renamed, so a failed run leaves no half a zip.
/usr/bin/python3 - "$zip" "$exe" "$root/README.md" "$root/LICENSE" <<'PY'
import os
import sys
import zipfile

zip_path, files = sys.argv[1], sys.argv[2:]
with zipfile.ZipFile(zip_path + ".part", "w", zipfile.ZIP_DEFLATED) as archive:
    for path in files:
        archive.write(path, os.path.basename(path))
os.replace(zip_path + ".part", zip_path)
PY
echo "$zip"
