#!/usr/bin/env python3
"""Fails when product code includes a header from a layer above its own.

The layers, bottom first: common <- net <- install <- app. A file may include its own layer
and those below it, never one above.

    check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

LAYERS = ["common", "net", "install", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/', re.M)


def upward_includes(root):
    for rank, layer in enumerate(LAYERS):
        for path in sorted((root / layer).glob("*.*")):
            for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
                if target in LAYERS and LAYERS.index(target) > rank:
                    yield "%s includes %s/" % (path.relative_to(root), target)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(upward_includes(root))
    for line in found:
        print(line)
    print("%d includes point upward" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
