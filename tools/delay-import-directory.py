#!/usr/bin/env python3
"""The delay-import directory of a Windows executable linked by GNU ld.

    delay-import-directory.py set <program.exe> <link map>
    delay-import-directory.py list <program.exe>

GNU ld (binutils 2.40) links dlltool's delay-import libraries correctly but
leaves the PE header's delay-import directory (data directory 13) empty, so
tools that read the header (dumpbin, llvm-readobj, scanners) cannot see which
DLLs the program delay-loads. ``set`` fills it in after the link: every
descriptor sits in a ".text$2" input section (one per DLL, contiguous, since ld
sorts .text$* by name), and the program supplies the all-zero descriptor that
ends the table in ".text$3" (app/ProcessEntry.cpp); the link map gives their
addresses. Each descriptor is checked before the header is written.

``list`` prints the DLL names of the delay-import directory, one a line.
"""

import re
import struct
import sys

DESCRIPTOR_SIZE = 32  # ImgDelayDescr: eight 32-bit fields
DELAY_IMPORT_INDEX = 13


class Image:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = bytearray(f.read())
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("%s: not a PE image" % path)
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.is_64 = magic == 0x20B
        if magic == 0x10B:
            self.image_base = struct.unpack_from("<I", self.data, optional + 28)[0]
            directories = optional + 96
        elif magic == 0x20B:
            self.image_base = struct.unpack_from("<Q", self.data, optional + 24)[0]
            directories = optional + 112
        else:
            raise SystemExit("%s: unknown optional header 0x%x" % (path, magic))
        self.delay_entry = directories + 8 * DELAY_IMPORT_INDEX
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
            self.sections.append((va, max(vsize, raw_size), raw, raw_size))

    def offset(self, rva, length=1):
        for va, size, raw, raw_size in self.sections:
            if va <= rva and rva + length <= va + min(size, raw_size):
                return raw + rva - va
        raise ValueError("RVA 0x%x is outside the file's sections" % rva)

    def string(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii")

    def descriptor(self, rva):
        return struct.unpack_from("<8I", self.data, self.offset(rva, DESCRIPTOR_SIZE))

    def delay_directory(self):
        return struct.unpack_from("<II", self.data, self.delay_entry)

    def delay_dlls(self):
        rva, size = self.delay_directory()
        names = []
        for i in range(size // DESCRIPTOR_SIZE if rva else 0):
            fields = self.descriptor(rva + i * DESCRIPTOR_SIZE)
            if not any(fields):
                break
            names.append(self.string(fields[1]))
        return names


def input_sections(map_text, name):
    """Addresses of the input sections called name in a GNU ld link map."""
    pattern = re.compile(r"^ %s\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s" % re.escape(name), re.M)
    return [(int(a, 16), int(s, 16)) for a, s in pattern.findall(map_text) if int(s, 16)]


def check_stubs(image, exe, fields):
    """Every entry of a delay-import address table must point at its loading
    stub in the image until the first call replaces it; an entry of 0 means
    the linker dropped the stub (binutils bug 14339, see CMakeLists.txt) and
    the first call would jump to address 0."""
    pointer = 8 if image.is_64 else 4
    iat, names = fields[3], fields[4]
    for k in range(0x10000):
        name = struct.unpack_from("<Q" if pointer == 8 else "<I", image.data, image.offset(names + k * pointer, pointer))[0]
        if not name:
            return
        stub = struct.unpack_from("<Q" if pointer == 8 else "<I", image.data, image.offset(iat + k * pointer, pointer))[0]
        if not stub:
            raise SystemExit("%s: %s, import %d: no loading stub (a call declared dllimport?)"
                             % (exe, image.string(fields[1]), k))


def set_directory(exe, map_path):
    image = Image(exe)
    with open(map_path, encoding="utf-8", errors="replace") as f:
        map_text = f.read()
    descriptors = sorted(input_sections(map_text, ".text$2"))
    ends = input_sections(map_text, ".text$3")
    if not descriptors:
        image.data[image.delay_entry:image.delay_entry + 8] = bytes(8)
    else:
        first = descriptors[0][0]
        for i, (address, size) in enumerate(descriptors):
            if size != DESCRIPTOR_SIZE or address != first + i * DESCRIPTOR_SIZE:
                raise SystemExit("%s: delay-import descriptors are not one table: %s" % (map_path, descriptors))
        end = first + len(descriptors) * DESCRIPTOR_SIZE
        if (end, DESCRIPTOR_SIZE) not in ends:
            raise SystemExit("%s: no zero descriptor right after the table (in .text$3)" % map_path)
        rva = first - image.image_base
        for i in range(len(descriptors) + 1):
            fields = image.descriptor(rva + i * DESCRIPTOR_SIZE)
            if i == len(descriptors):
                ok = not any(fields)
            else:
                # Attributes 1: the fields are RVAs; then the name, the module
                # handle, the import address and name tables.
                ok = fields[0] == 1 and all(fields[1:5]) and image.string(fields[1]).lower().endswith(".dll")
            if not ok:
                raise SystemExit("%s: descriptor %d at RVA 0x%x is not a delay-import descriptor"
                                 % (exe, i, rva + i * DESCRIPTOR_SIZE))
            if i < len(descriptors):
                check_stubs(image, exe, fields)
        struct.pack_into("<II", image.data, image.delay_entry, rva, (len(descriptors) + 1) * DESCRIPTOR_SIZE)
    with open(exe, "r+b") as f:
        f.write(image.data)


def main(argv):
    if len(argv) == 4 and argv[1] == "set":
        set_directory(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "list":
        for name in Image(argv[2]).delay_dlls():
            print(name)
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
