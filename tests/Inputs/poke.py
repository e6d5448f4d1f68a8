"""Overwrites bytes of a file in place: poke.py FILE OFFSET HEX [OFFSET HEX ...]"""
import sys

path = sys.argv[1]
with open(path, "r+b") as f:
    for offset, data in zip(sys.argv[2::2], sys.argv[3::2]):
        f.seek(int(offset, 0))
        f.write(bytes.fromhex(data))
