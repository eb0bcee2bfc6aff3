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

zip_path, files = sys.argv[1], sys.argv[2:]
with zipfile.ZipFile(zip_path) as archive:
    names = sorted(archive.namelist())
    wanted = sorted(os.path.basename(path) for path in files)
    if names != wanted:
        sys.exit("%s holds %s, not %s" % (zip_path, names, wanted))
    for path in files:
        with open(path, "rb") as original:
            if archive.read(os.path.basename(path)) != original.read():
                sys.exit("%s in the zip is not %s" % (os.path.basename(path), path))
print("%s: %s, as built" % (os.path.basename(zip_path), ", ".join(names)))
PY
