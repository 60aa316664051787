#!/usr/bin/env python3
"""Fails when product code includes a header from a layer above its own, or another file's
internal header.

The layers, bottom first: common <- net <- install <- app. A file may include its own layer
and those below it, never one above. A header named x_internal.h declares what only the
tests of x.cpp reach: among product files (tools/ included), only x.cpp may include it.

    check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

LAYERS = ["common", "net", "install", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"(([a-z]+)/[^"]*)"', re.M)


def wrong_includes(root):
    for folder in LAYERS + ["tools"]:
        rank = LAYERS.index(folder) if folder in LAYERS else len(LAYERS)
        for path in sorted((root / folder).glob("*.*")):
            name = path.relative_to(root).as_posix()
            for header, layer in INCLUDE.findall(path.read_text(encoding="utf-8")):
                if layer in LAYERS and LAYERS.index(layer) > rank:
                    yield "%s includes %s/" % (name, layer)
                owner = header.replace("_internal.h", ".cpp")
                if owner != header and owner != name:
                    yield "%s includes %s, internal to %s" % (name, header, owner)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(wrong_includes(root))
    for line in found:
        print(line)
    print("%d includes point upward or into another file's internals" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
