#!/usr/bin/env python3
"""The functions that a Startwacht.exe imports late, read from the file itself:
   tools/late-imports.py PROGRAM.exe
prints one line "library function" per late import (the library in lower
case), "library #N" for one by ordinal. Exits with 1 when the file is no
Windows program or no late import is found: a build that makes its late
imports otherwise must teach this reader first, never pass unread.

The 64-bit build imports late through delay-load import libraries: each
library has a delay-load descriptor (attributes 1, then the RVAs of the
library's name, its module handle, its address table and its name table),
and the names table lists the functions. The linker does not point the
image's delay-load directory at them, so the descriptors are found by what
they hold. The 32-bit build has stubs of its own (framework/CMakeLists.txt):
each pushes ecx and edx, then the function's name, its import slot and its
library's name, and calls LateImport:
    51 52 68 <name> 68 <slot> 68 <library> e8 <call>
Only the stubs that the link kept are in the file.
"""
import re
import struct
import sys

LATE_LIBRARIES = {"user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll", "version.dll",
                  "winmm.dll", "wininet.dll"}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 60)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.base = struct.unpack_from("<Q" if magic == 0x20B else "<I", data,
                                       optional + (24 if magic == 0x20B else 28))[0]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            virtual_size, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_at, raw_size))

    def offset(self, rva):
        for start, size, raw_at, raw_size in self.sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw_at + rva - start
        return None

    def text(self, rva):
        at = self.offset(rva)
        if at is None:
            return None
        end = self.data.find(b"\0", at)
        if end < 0 or end - at > 256:
            return None
        try:
            return self.data[at:end].decode("ascii")
        except UnicodeDecodeError:
            return None


def delay_load_imports(image):
    found = []
    for start, size, raw_at, raw_size in image.sections:
        for at in range(raw_at, raw_at + raw_size - 32, 4):
            attributes, name, _, address_table, name_table, _, _, _ = struct.unpack_from("<8I", image.data, at)
            if attributes != 1:
                continue
            library = image.text(name)
            if library is None or library.lower() not in LATE_LIBRARIES:
                continue
            table = image.offset(name_table)
            if table is None:
                continue
            library = library.lower()
            while True:
                thunk = struct.unpack_from("<Q", image.data, table)[0]
                if thunk == 0:
                    break
                if thunk >> 63:
                    found.append((library, "#%d" % (thunk & 0xFFFF)))
                else:
                    function = image.text((thunk & 0x7FFFFFFF) + 2)
                    if function is None:
                        raise ValueError("a delay-load name table of %s points outside the file" % library)
                    found.append((library, function))
                table += 8
    return found


STUB = re.compile(rb"\x51\x52\x68(....)\x68(....)\x68(....)\xe8", re.DOTALL)


def stub_imports(image):
    found = []
    for match in STUB.finditer(image.data):
        name, _, library = (struct.unpack("<I", group)[0] - image.base for group in match.groups())
        library = image.text(library)
        if library is None or library.lower() not in LATE_LIBRARIES:
            continue
        function = image.text(name)
        if function is None:
            raise ValueError("a late import stub of %s names no function" % library)
        found.append((library.lower(), function))
    return found


def main():
    if len(sys.argv) != 2:
        print("Aufruf: %s PROGRAMM.exe" % sys.argv[0], file=sys.stderr)
        return 2
    try:
        image = Image(open(sys.argv[1], "rb").read())
        imports = delay_load_imports(image) if image.machine == 0x8664 else stub_imports(image)
    except (OSError, ValueError, struct.error) as error:
        print("%s: %s" % (sys.argv[1], error), file=sys.stderr)
        return 1
    if not imports:
        print("%s: keine späten Importe gefunden." % sys.argv[1], file=sys.stderr)
        return 1
    for library, function in sorted(set(imports)):
        print(library, function)
    return 0


if __name__ == "__main__":
    sys.exit(main())
