#!/usr/bin/env python3
"""Packs the demo product into the demo package: Tovarelin/bin/霁岚舟.exe and a short note.

    make_package.py PRODUCT_EXE OUTPUT_ZIP
"""
import sys
import zipfile

EXE_NAME = "Tovarelin/bin/\u9701\u5c9a\u821f.exe"  # 霁岚舟.exe
NOTE_NAME = "Tovarelin/README.txt"
NOTE = "Tovarelin demo package: the installer put this folder here.\r\n"


def main(product_exe, output_zip):
    # zipfile marks non-ASCII names with the UTF-8 flag by itself.
    with zipfile.ZipFile(output_zip, "w", zipfile.ZIP_DEFLATED) as package:
        package.write(product_exe, EXE_NAME)
        package.writestr(NOTE_NAME, NOTE)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
