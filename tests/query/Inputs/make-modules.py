"""Writes generated module files for the bad-input tests.

make-modules.py chain DIR N      m0 requires m1 ... requires m(N-1)
make-modules.py many DIR N       N independent modules
"""
import os
import sys

kind, out, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
os.makedirs(out, exist_ok=True)
for i in range(count):
    requires = f"Requires: m{i + 1}\n" if kind == "chain" and i + 1 < count else ""
    with open(os.path.join(out, f"m{i}.mq"), "w") as f:
        f.write(f"Name: m{i}\nDescription: module {i}\nVersion: 1.{i}\n{requires}Libs: -lm{i}\n")
