#!/bin/bash
# zoetra.exe carries its resources: icon groups 1 (32 x 32) and 2 (16 x 16),
# a manifest that asks for asInvoker and per-monitor DPI awareness and
# nothing else, and the version block
# (1.1.0.0 shown as "1.10", "Player for GIF Animations", product Zoetra).
# Read with a PE resource reader, outside Windows.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
zt_init
/usr/bin/python3 - "$ZT_EXE" <<'PY'
import sys
import xml.etree.ElementTree as ET

import pefile

pe = pefile.PE(sys.argv[1])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def entries(type_id):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == type_id:
            for name in kind.directory.entries:
                for language in name.directory.entries:
                    data = language.data.struct
                    yield name.id, pe.get_data(data.OffsetToData, data.Size)


RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
icons = dict(entries(RT_ICON))
groups = dict(entries(RT_GROUP_ICON))
check(sorted(groups) == [1, 2], "icon groups 1 and 2, got %s" % sorted(groups))
for group_id, size in ((1, 32), (2, 16)):
    data = groups.get(group_id, b"")
    count = int.from_bytes(data[4:6], "little") if len(data) >= 6 else 0
    sizes = [(data[6 + 14 * i] or 256, data[6 + 14 * i + 1] or 256) for i in range(count)]
    check(sizes == [(size, size)], "icon group %d holds %s, not %dx%d" % (group_id, sizes, size, size))
    for i in range(count):
        icon_id = int.from_bytes(data[6 + 14 * i + 12:6 + 14 * i + 14], "little")
        check(icon_id in icons, "icon %d of group %d is missing" % (icon_id, group_id))

manifests = dict(entries(RT_MANIFEST))
check(list(manifests) == [1], "one manifest, id 1")
if 1 in manifests:
    root = ET.fromstring(manifests[1])
    levels = [e.attrib for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
    check(len(levels) == 1 and levels[0].get("level") == "asInvoker", "asInvoker: %s" % levels)
    check(len(levels) == 1 and levels[0].get("uiAccess", "false") == "false", "no uiAccess")
    dpi = {e.tag.split("/SMI/")[-1]: e.text for e in root.iter() if "/SMI/" in e.tag}
    check(dpi == {"2016/WindowsSettings}dpiAwareness": "PerMonitorV2, PerMonitor",
                  "2005/WindowsSettings}dpiAware": "true/pm"}, "per-monitor DPI awareness: %s" % dpi)
    tags = sorted({e.tag.split("}")[-1] for e in root.iter()})
    check(tags == ["application", "assembly", "dpiAware", "dpiAwareness", "requestedExecutionLevel",
                   "requestedPrivileges", "security", "trustInfo", "windowsSettings"],
          "the manifest asks for nothing else: %s" % tags)

info = {}
for file_info in getattr(pe, "FileInfo", []):
    for block in file_info:
        for table in getattr(block, "StringTable", []):
            info.update({k.decode(): v.decode() for k, v in table.entries.items()})
fixed = pe.VS_FIXEDFILEINFO[0]
check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x10001, 0), "file version 1.1.0.0")
check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x10001, 0), "product version 1.1.0.0")
check(info.get("FileVersion") == "1.10", "FileVersion %r" % info.get("FileVersion"))
check(info.get("ProductVersion") == "1.10", "ProductVersion %r" % info.get("ProductVersion"))
check(info.get("FileDescription") == "Player for GIF Animations", "FileDescription %r" % info.get("FileDescription"))
check(info.get("ProductName") == "Zoetra", "ProductName %r" % info.get("ProductName"))

for failure in failures:
    print("FAILED:", failure)
print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
PY
