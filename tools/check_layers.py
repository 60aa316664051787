#!/usr/bin/env python3
"""Fails when product code includes a header from a layer it may not reach, or another file's
internal header.

The layers, bottom first: common; net and zip, each on common alone; install, on all three;
app, on everything. A file may include its own layer and those its layer stands on. A header
named x_internal.h declares what only the tests of x.cpp reach: among product files (tools/
included), only x.cpp may include it.

    check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

BELOW = {
    "common": set(),
    "net": {"common"},
    "zip": {"common"},
    "install": {"common", "net", "zip"},
    "app": {"common", "net", "zip", "install"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"(([a-z]+)/[^"]*)"', re.M)


def wrong_includes(root):
    for folder in list(BELOW) + ["tools"]:
        reach = BELOW.get(folder, set(BELOW)) | {folder}
        for path in sorted((root / folder).glob("*.*")):
            name = path.relative_to(root).as_posix()
            for header, layer in INCLUDE.findall(path.read_text(encoding="utf-8")):
                if layer in BELOW and layer not in reach:
                    yield "%s includes %s/" % (name, layer)
                owner = header.replace("_internal.h", ".cpp")
                if owner != header and owner != name:
                    yield "%s includes %s, internal to %s" % (name, header, owner)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(wrong_includes(root))
    for line in found:
        print(line)
    print("%d includes reach a layer they may not, or another file's internals" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
