#!/usr/bin/env python3
"""Prints a PE executable's file size and, per section, its size in memory and in the file.

    bench/pe_sections.py <exe>
"""

import struct
import sys


def sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    count, = struct.unpack_from("<H", data, pe + 6)
    optional, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
        virtual_size, _, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        yield name, virtual_size, raw_size, raw_offset


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    rows = list(sections(data))
    headers = min((r[3] for r in rows if r[2]), default=len(data))
    print("%s: %d bytes" % (sys.argv[1], len(data)))
    print("  %-10s %10s %10s" % ("section", "in memory", "in file"))
    print("  %-10s %10s %10d" % ("(headers)", "", headers))
    for name, virtual_size, raw_size, _ in rows:
        print("  %-10s %10d %10d" % (name, virtual_size, raw_size))
    return 0


if __name__ == "__main__":
    sys.exit(main())
