#!/usr/bin/python3
"""Checks that the include lines of src/ follow the layers, bottom to top:

    formats  <-  platform  <-  iconmod  <-  qtshared  <-  treedir, iconsave  <-  app
                             iconmod  <-  cli

A file may include headers of its own folder and of folders below it, never above it nor
across (treedir and iconsave do not know each other; cli knows no window library). The
toolkit-free folders (formats, platform, iconmod, cli) include no Qt header, and formats,
which reads bytes only, includes no header of the operating system either.

    check_includes.py SRC_DIR     exit status 0 when every include line keeps the layers
"""
import os
import re
import sys

RANK = {"formats": 0, "platform": 1, "iconmod": 2, "cli": 3, "qtshared": 3, "treedir": 4, "iconsave": 4, "app": 5}
TOOLKIT_FREE = {"formats", "platform", "iconmod", "cli"}
OS_FREE = {"formats"}
QUOTED = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"')
ANGLED = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]*|qt[^>]*)[/>]')
OS_HEADER = re.compile(r'^\s*#\s*include\s+<(fcntl\.h|unistd\.h|dirent\.h|sys/|linux/|poll\.h|signal\.h|pthread\.h|dlfcn\.h)')


def check(src):
    faults = []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for folder in folders:
        if folder not in RANK:
            faults.append(f"src/{folder}: a folder with no place in the layers")
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                shown = os.path.relpath(path, os.path.dirname(src))
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        quoted = QUOTED.match(line)
                        if quoted:
                            target = quoted.group(1)
                            if target in RANK and target != folder and RANK[target] >= RANK[folder]:
                                faults.append(f"{shown}:{number}: {folder} includes {target}, which is not below it")
                        if folder in TOOLKIT_FREE and (ANGLED.match(line) or '"ui_' in line):
                            faults.append(f"{shown}:{number}: {folder} is toolkit-free but includes Qt: {line.strip()}")
                        if folder in OS_FREE and OS_HEADER.match(line):
                            faults.append(f"{shown}:{number}: {folder} reads bytes only but includes an OS header: {line.strip()}")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    faults = check(sys.argv[1])
    for fault in faults:
        print(fault)
    print(f"layers: {len(faults)} fault(s)" if faults else "layers: every include line keeps the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
