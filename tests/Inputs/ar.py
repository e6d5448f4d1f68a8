"""Writes an ar archive byte by byte, for forms the archive tool will not make.

ar.py OUT SIGNATURE MEMBER...   where SIGNATURE is "arch" or "thin" and each
MEMBER is NAME=FILE (data from FILE), NAME=@TEXT (data is TEXT), or NAME:SIZE
(a header only, declaring SIZE, as thin members have). NAME is the raw name
field ("foo.o/", "/0", "//", ...). Data is padded to an even length.
"""
import sys

out, signature, members = sys.argv[1], sys.argv[2], sys.argv[3:]
blob = b"!<%s>\n" % signature.encode()
for member in members:
    if "=" in member:
        name, source = member.split("=", 1)
        data = source[1:].encode().decode("unicode_escape").encode("latin-1") if source.startswith("@") \
            else open(source, "rb").read()
        size = len(data)
    else:
        name, size = member.rsplit(":", 1)
        data, size = b"", int(size)
    header = b"%-16s%-12s%-6s%-6s%-8s%-10d`\n" % (name.encode(), b"0", b"0", b"0", b"644", size)
    blob += header + data + (b"\n" if len(data) % 2 else b"")
open(out, "wb").write(blob)
