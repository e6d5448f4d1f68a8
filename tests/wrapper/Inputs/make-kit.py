"""Lays out an installed kit for the wrapper tests:

KIT/bin/yew-ar, yew-ranlib, yew-nm                 copies of the built wrappers
KIT/lib/yew/TARGET/VERSION/                         the suite's library directory
KIT/libexec/yew/TARGET/VERSION/libwpo_plugin.so     the plugin (empty)
KIT/TARGET/bin/ar, ranlib, nm                       the stand-in tool

make-kit.py TARGET VERSION TOOL WRAPPER... KIT
"""
import os
import shutil
import sys

target, version, tool = sys.argv[1:4]
wrappers, kit = sys.argv[4:-1], sys.argv[-1]
for d in ["bin", f"lib/yew/{target}/{version}", f"libexec/yew/{target}/{version}", f"{target}/bin"]:
    os.makedirs(os.path.join(kit, d), exist_ok=True)
for w in wrappers:
    shutil.copy(w, os.path.join(kit, "bin", os.path.basename(w)))
open(os.path.join(kit, f"libexec/yew/{target}/{version}/libwpo_plugin.so"), "w").close()
for name in ["ar", "ranlib", "nm"]:
    shutil.copy(tool, os.path.join(kit, target, "bin", name))
