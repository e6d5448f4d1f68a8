#!/usr/bin/env python3
"""Generates the hdrpatch benchmark workloads into a directory.

small.a: 20,000 members of 1 KiB, each a little-endian ELFCLASS64 object.
large.a: 200 members of 4 MiB each.
"""
import os
import struct
import sys


def elf_member(size):
    header = b"\x7fELF" + bytes([2, 1, 1, 0, 0]) + bytes(7)
    header += struct.pack("<HHIQQQIHHHHHH", 1, 62, 1, 0, 0, 0, 0, 64, 0, 0, 64, 0, 0)
    return header + bytes(size - len(header))


def write_archive(path, count, size):
    data = elf_member(size)
    with open(path, "wb") as f:
        f.write(b"!<arch>\n")
        for i in range(count):
            name = f"m{i}.o/".encode()
            f.write(b"%-16s%-12s%-6s%-6s%-8s%-10d`\n" % (name, b"0", b"0", b"0", b"644", size))
            f.write(data)


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
write_archive(os.path.join(out, "small.a"), 20000, 1024)
write_archive(os.path.join(out, "large.a"), 200, 4 << 20)
