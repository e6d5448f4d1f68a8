#!/usr/bin/env python3
"""Generates the mod-query benchmark workloads into a directory.

graph/: 2,000 module files; the top module "m0" reaches 500 of them through
        Requires and Requires.private. graph-files.txt lists the files read.
many/:  10,000 independent module files, for --list-all; huge/ 100,000.
small/: one small module, for a single --modversion query.
"""
import os
import random
import sys

out = sys.argv[1]
rng = random.Random(42)


def module(i, requires, private):
    return (f"prefix=/opt/m{i}\nlibdir=${{prefix}}/lib\nincludedir=${{prefix}}/include\n\n"
            f"Name: m{i}\nDescription: generated module {i}\nVersion: 1.{i % 17}.{i % 5}\n"
            + (f"Requires: {', '.join(requires)}\n" if requires else "")
            + (f"Requires.private: {', '.join(private)}\n" if private else "")
            + f"Libs: -L${{libdir}} -lm{i} -pthread\nLibs.private: -ldl\n"
            + f"Cflags: -I${{includedir}} -DM{i}=1 -I/opt/common/include\n")


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


graph = os.path.join(out, "graph")
os.makedirs(graph, exist_ok=True)
reached = 500
for i in range(2000):
    lo, hi = (i + 1, reached) if i < reached else (i + 1, 2000)
    pool = list(range(lo, hi))
    picks = sorted(rng.sample(pool, min(3, len(pool))))
    if i + 1 < hi and i + 1 not in picks:
        picks.insert(0, i + 1)  # keeps every module of the reached part reachable
    requires = [f"m{p} >= 1.0" for p in picks[:-1]]
    private = [f"m{p}" for p in picks[-1:]]
    write(os.path.join(graph, f"m{i}.mq"), module(i, requires, private))
write(os.path.join(out, "graph-files.txt"),
      "".join(os.path.join(graph, f"m{i}.mq") + "\n" for i in range(reached)))

for name, count in [("many", 10000), ("huge", 100000)]:
    folder = os.path.join(out, name)
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        write(os.path.join(folder, f"m{i}.mq"), module(i, [], []))
    write(os.path.join(out, f"{name}-files.txt"),
          "".join(os.path.join(folder, f"m{i}.mq") + "\n" for i in range(count)))

small = os.path.join(out, "small")
os.makedirs(small, exist_ok=True)
write(os.path.join(small, "tiny.mq"), module(0, [], []))
