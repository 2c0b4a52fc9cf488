#!/usr/bin/env python3
"""alter_code.py <in.exe> <out.exe>: copies a PE file with one byte of its code
(.text) section changed, signature and all, so the signed digest no longer
matches: a file altered after it was signed."""

import struct
import sys


def main():
    src, dst = sys.argv[1], sys.argv[2]
    data = bytearray(open(src, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s: not a PE file" % src)
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    for i in range(sections):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0")
        raw_size, raw_offset = struct.unpack_from("<II", data, entry + 16)
        if name == b".text" and raw_size > 64:
            data[raw_offset + 32] ^= 0xFF
            open(dst, "wb").write(data)
            return
    sys.exit("%s: no .text section" % src)


if __name__ == "__main__":
    main()
