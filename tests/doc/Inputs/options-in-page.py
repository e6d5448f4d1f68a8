"""Checks that a manual page names every option of its program.

options-in-page.py PAGE --run COMMAND...   options are read from COMMAND's output
options-in-page.py PAGE --options OPT...   options given as they are
"""
import re
import subprocess
import sys

page, mode, rest = sys.argv[1], sys.argv[2], sys.argv[3:]
if mode == "--run":
    result = subprocess.run(rest, capture_output=True, text=True)
    # The leading words of each indented help line that start with "-".
    options = set()
    for line in (result.stdout + result.stderr).splitlines():
        if not line.startswith(" "):
            continue
        for word in line.split():
            if not word.startswith("-"):
                break
            options.add(re.split(r"[=,\[]", word)[0])
else:
    options = set(rest)
text = subprocess.run(["groff", "-man", "-Tutf8", "-P", "-cbou", page], capture_output=True, text=True).stdout
# groff renders "\-" as a hyphen-minus in this mode; words may be split at hyphens at line ends.
text = re.sub(r"-\n\s*", "-", text)
missing = sorted(o for o in options if not re.search(r"(?<![\w-])" + re.escape(o) + r"(?![\w-])", text))
if not options:
    sys.exit("no options found")
for o in missing:
    print(f"{page}: {o} is not described")
print(f"{len(options)} options, {len(missing)} missing")
sys.exit(1 if missing else 0)
