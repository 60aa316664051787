#!/usr/bin/env python3
"""The largest contributors to a linked program, read from GNU ld's link map (-Wl,-Map).

    size_map.py PROGRAM.map [--top N]

Sums the input sections that the link kept, by library and by object file within it, so
that what a static runtime pulls in shows beside our own objects.
"""
import argparse
import collections
import os
import re

INPUT = re.compile(r"^ (\.\S+|COMMON)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def contributions(lines):
    """{(library, object): bytes} over the kept input sections of the memory map."""
    sizes = collections.Counter()
    in_map = False
    pending = False  # a long section name stands alone; its address follows on the next line
    for line in lines:
        if line.startswith("Linker script and memory map"):
            in_map = True
            continue
        if not in_map:
            continue
        if re.match(r"^ \.\S+$", line):
            pending = True
            continue
        m = INPUT.match(line)
        if not m or (not m.group(1) and not pending):
            pending = False
            continue
        pending = False
        address, size, source = int(m.group(2), 16), int(m.group(3), 16), m.group(4).strip()
        if address == 0 or size == 0 or source.startswith("linker stubs"):
            continue
        library, _, member = source.partition("(")
        sizes[(os.path.basename(library), member.rstrip(")") or os.path.basename(library))] += size
    return sizes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=25)
    args = parser.parse_args()
    with open(args.map, encoding="utf-8", errors="replace") as file:
        sizes = contributions(file)
    by_library = collections.Counter()
    for (library, _), size in sizes.items():
        by_library[library] += size
    print("bytes kept by library (before stripping and file alignment): %d in all" % sum(sizes.values()))
    for library, size in by_library.most_common(args.top):
        print("%9d  %s" % (size, library))
    print("largest objects:")
    for (library, member), size in sizes.most_common(args.top):
        print("%9d  %s(%s)" % (size, library, member))


if __name__ == "__main__":
    main()
