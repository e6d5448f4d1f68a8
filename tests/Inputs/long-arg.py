"""Runs a command with every "@" argument replaced by N bytes of "m" (one argument
may hold at most 128 KiB on Linux), and prints
its exit status and the sizes of what it wrote: "STATUS STDOUT-BYTES STDERR-BYTES".

long-arg.py N COMMAND...
"""
import subprocess
import sys

size = int(sys.argv[1])
command = [("m" * size if a == "@" else a) for a in sys.argv[2:]]
result = subprocess.run(command, capture_output=True)
print(result.returncode, len(result.stdout), len(result.stderr))
