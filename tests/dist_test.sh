#!/bin/bash
# The zip of `make dist` holds exactly zoetra.exe, README.md and LICENSE, each
# byte for byte the file built (build/win/zoetra.exe) or checked out.
set -euo pipefail
source=$(cd "${ZOETRA_SOURCE_DIR:-$(dirname "$0")/..}" && pwd)
out=$(mktemp -d "${TMPDIR:-/tmp}/zoetra-dist.XXXXXX")
trap 'rm -rf "$out"' EXIT
zip=$(bash "$source/tools/make_dist.sh" "$out")
/usr/bin/python3 - "$zip" "$source/build/win/zoetra.exe" "$source/README.md" "$source/LICENSE" <<'PY'
import os
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    packed = {name: archive.read(name) for name in archive.namelist()}
wanted = {os.path.basename(path): open(path, "rb").read() for path in sys.argv[2:]}
if sorted(packed) != sorted(wanted):
    sys.exit("the zip holds %s, not %s" % (sorted(packed), sorted(wanted)))
changed = [name for name in wanted if packed[name] != wanted[name]]
if changed:
    sys.exit("not the files built or checked out: %s" % changed)
PY
