#!/usr/bin/env python3
"""Checks what the built installer asks the Windows loader for before its first line runs,
and the version resource and icon that Windows shows for it.

The loader resolves ordinary imports when the process starts and, for a DLL that is not a
Known DLL, looks in the program's own folder first: a downloaded installer would load a DLL
that anyone left in the download folder. So every ordinary import must be a Known DLL and
the others are delay-loaded. The program is linked statically (no C++ runtime DLLs) and
embeds no application manifest.

  imports_test.py OBJDUMP PROGRAM.exe --delay-loaded NAME.dll... [--required NAME.dll...]
                  [--version X.Y.Z] [--not-on-windows7 NAME...]

--delay-loaded: the DLLs the build delay-loads; --required: those the program must name;
--version: the version the version resource must carry; --not-on-windows7: functions and
DLLs that Windows 7 SP1 without updates lacks, which the program must not import at all.
The icon group must hold 16, 32 and 48 pixel images at 4, 8 and 32 bits per pixel.
Prints the ordinary and delay imports. GNU ld leaves the delay-import entry of the data
directory empty, so objdump does not list delay imports: they are read from the
descriptors (ImgDelayDescr) in the file itself.
"""
import argparse
import re
import struct
import subprocess
import sys

# The KnownDLLs list of Windows 10 and 11 (x64), and ntdll, which the kernel maps first.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
RUNTIME_DLL = re.compile(r"^lib(stdc\+\+|gcc_s|winpthread)")
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
ICON_IMAGES = sorted((size, size, bits) for size in (16, 32, 48) for bits in (4, 8, 32))
DELAY_DESCRIPTOR = struct.Struct("<8I")
DELAY_ATTRIBUTE_RVA = 1
LANG_CHINESE_PRC = 0x0804
CODE_PAGE_UTF16 = 1200
FIXED_INFO_SIGNATURE = 0xFEEF04BD


class Image:
    """The sections of a PE32+ file, addressed by relative virtual address."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        count, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
        table = pe + 24 + optional_size
        self.sections = []
        for i in range(count):
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<4I", data, table + 40 * i + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def mapped(self, rva):
        return any(start <= rva < start + size for start, size, _, _ in self.sections)

    def offset(self, rva):
        for start, _, raw_offset, raw_size in self.sections:
            if start <= rva < start + raw_size:
                return raw_offset + rva - start
        return None

    def c_string(self, rva):
        at = self.offset(rva)
        if at is None:
            return None
        end = self.data.find(b"\0", at, at + 256)
        return self.data[at:end].decode("ascii", "replace") if end > at else None

    def thunk_names(self, rva):
        names = []
        while (at := self.offset(rva)) is not None:
            thunk = struct.unpack_from("<Q", self.data, at)[0]
            if thunk == 0:
                return names
            if thunk >> 63:
                names.append("#%d" % (thunk & 0xFFFF))
            else:
                name = self.c_string(thunk + 2)  # after the hint
                if name is None:
                    return None
                names.append(name)
            rva += 8
        return None

    def delay_imports(self):
        """{dll name: [functions]} from every well-formed delay-import descriptor."""
        found = {}
        for _, _, raw_offset, raw_size in self.sections:
            for at in range(raw_offset, raw_offset + raw_size - DELAY_DESCRIPTOR.size + 1, 4):
                attributes, name, module, iat, names, *_ = DELAY_DESCRIPTOR.unpack_from(self.data, at)
                if attributes != DELAY_ATTRIBUTE_RVA or not all(map(self.mapped, (name, module, iat, names))):
                    continue
                dll = self.c_string(name)
                if not dll or not re.fullmatch(r"[A-Za-z0-9_.+-]+\.dll", dll, re.I):
                    continue
                functions = self.thunk_names(names)
                if functions:
                    found[dll.lower()] = functions
        return found


def version_node(data, at):
    """(key, value, children, end) of one node of a version resource at the offset."""
    length, value_length, is_text = struct.unpack_from("<3H", data, at)
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    value_at, size = (key_end + 5) & ~3, value_length * (2 if is_text else 1)
    value = data[value_at:value_at + size]
    value = value.decode("utf-16-le").rstrip("\0") if is_text else value
    children, child = [], (value_at + size + 3) & ~3
    while child < at + length:
        children.append(version_node(data, child))
        child = (children[-1][3] + 3) & ~3
    return data[at + 6:key_end].decode("utf-16-le"), value, children, at + length


def first_resource(dump, image, type_id):
    """(language, bytes) of the first resource of the type, found through objdump's tree."""
    tree = dump.split("Resource Directory section:", 1)[-1]
    # The type entry, then its first language entry (seven spaces in) and that one's leaf.
    pattern = (r"^[0-9a-f]+   Entry: ID: 0x0*%x,(?:(?!^[0-9a-f]+   Entry).)*?"
               r"^[0-9a-f]+ {7}Entry: ID: 0x0*([0-9a-f]+),.*?"
               r"Leaf: Addr: 0x([0-9a-f]+), Size: 0x([0-9a-f]+)") % type_id
    found = re.search(pattern, tree, re.M | re.S)
    if not found:
        return None
    at = image.offset(int(found.group(2), 16))
    return int(found.group(1), 16), image.data[at:at + int(found.group(3), 16)]


def icon_problems(dump, image):
    """What is wrong with the icon group: each size must come at each colour depth."""
    found = first_resource(dump, image, RT_GROUP_ICON)
    if not found:
        return ["no icon group among the resources (or the resource tree was not read)"]
    group = found[1]
    # After the 6-byte header, 14-byte entries: width, height, colours, 0, planes, bit count...
    images = sorted(struct.unpack_from("<BB4xH", group, 6 + 14 * i)
                    for i in range(struct.unpack_from("<4xH", group)[0]))
    print("Icon images (width, height, bits per pixel):", images)
    return [] if images == ICON_IMAGES else ["icon group holds %s, not %s" % (images, ICON_IMAGES)]


def version_problems(dump, image, version):
    """What is wrong with the version resource."""
    found = first_resource(dump, image, RT_VERSION)
    if not found:
        return ["no version resource"]
    language, data = found
    key, fixed, children, _ = version_node(data, 0)
    numbers = [int(n) for n in version.split(".")] + [0]
    wanted = (FIXED_INFO_SIGNATURE, numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
    fixed = struct.unpack_from("<6I", fixed)
    got = {"language": language, "fixed": (fixed[0],) + fixed[2:4],
           "fixed product": (fixed[0],) + fixed[4:6]}
    for child_key, _, tables, _ in children:
        for table_key, table_value, strings, _ in tables:
            if child_key == "StringFileInfo":
                got.update({k: v for k, v, _, _ in strings}, table=table_key.lower())
            else:
                got[table_key] = struct.unpack("<2H", table_value)
    print("Version resource:", got)
    expected = {"language": LANG_CHINESE_PRC, "fixed": wanted, "fixed product": wanted,
                "table": "%04x%04x" % (LANG_CHINESE_PRC, CODE_PAGE_UTF16),
                "Translation": (LANG_CHINESE_PRC, CODE_PAGE_UTF16), "ProductName": "霁岚舟",
                "FileDescription": "霁岚舟安装器", "FileVersion": version, "ProductVersion": version,
                "OriginalFilename": "TovarelinInstaller.exe"}
    return ["version resource: %s is %r, not %r" % (k, got.get(k), v)
            for k, v in expected.items() if got.get(k) != v or key != "VS_VERSION_INFO"]


def ordinary_imports(dump):
    """{dll name: [functions]} from objdump's import tables."""
    imports = {}
    table = dump.split("The Import Tables", 1)[1].split("\nThe ", 1)[0] if "The Import Tables" in dump else ""
    current = None
    for line in table.splitlines():
        if m := re.match(r"\s*DLL Name: (\S+)", line):
            current = imports.setdefault(m.group(1).lower(), [])
        elif current is not None and (m := re.match(r"\t[0-9a-f]+\t +\d+ +(\S+)$", line)):
            current.append(m.group(1))
    return imports


def resource_types(dump):
    """The resource type ids at the top level of objdump's resource tree."""
    tree = dump.split("Resource Directory section:", 1)[1] if "Resource Directory section:" in dump else ""
    return {int(m.group(1), 16) for m in re.finditer(r"^[0-9a-f]+   Entry: ID: 0x([0-9a-f]+)", tree, re.M)}


def check(ordinary, delayed, types, delay_loaded, required, not_on_windows7):
    problems = []
    for dll, functions in sorted(ordinary.items()) + sorted(delayed.items()):
        for name in [dll] + functions:
            if name.lower() in not_on_windows7:
                problems.append(f"{dll}: {name} is imported, but Windows 7 SP1 lacks it")
    for dll in sorted(ordinary):
        if RUNTIME_DLL.match(dll):
            problems.append(f"{dll} is imported: the program must be linked statically")
        elif dll not in KNOWN_DLLS:
            problems.append(f"{dll} is an ordinary import but not a Known DLL: a copy beside the "
                            "program would be loaded first; delay-load it (tovarelin_delay_import)")
    for dll in sorted(set(delayed) - delay_loaded):
        problems.append(f"{dll} is delay-loaded but not by the build's list")
    for dll in sorted(required - set(delayed)):
        problems.append(f"{dll} is not among the delay imports")
    if RT_MANIFEST in types:
        problems.append("an application manifest is embedded")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("objdump")
    parser.add_argument("program")
    parser.add_argument("--delay-loaded", nargs="+", required=True)
    parser.add_argument("--required", nargs="*", default=[])
    parser.add_argument("--version")
    parser.add_argument("--not-on-windows7", nargs="*", default=[])
    args = parser.parse_args()

    dump = subprocess.run([args.objdump, "-p", args.program], check=True, capture_output=True,
                          text=True).stdout
    with open(args.program, "rb") as file:
        image = Image(file.read())
    delayed = image.delay_imports()
    ordinary = ordinary_imports(dump)
    types = resource_types(dump)

    for title, imports in (("Ordinary imports", ordinary), ("Delay imports", delayed)):
        print(title + ":")
        for dll, functions in sorted(imports.items()):
            print(f"  {dll}: {' '.join(functions)}")
    print("Resource types:", " ".join(str(t) for t in sorted(types)))

    problems = check(ordinary, delayed, types, {d.lower() for d in args.delay_loaded},
                     {d.lower() for d in args.required},
                     {n.lower() for n in args.not_on_windows7})
    if not ordinary:
        problems.append("no ordinary imports were read")
    problems += icon_problems(dump, image)
    if args.version:
        problems += version_problems(dump, image, args.version)
    for problem in problems:
        print("FAILED:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
