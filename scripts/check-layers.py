#!/usr/bin/python3
"""Checks that no #include runs up the layers of the source tree, and prints every edge.

The layers, from the bottom: platform; text; gridbridge and settings; engine; runner; and the
Windows program's framework, widgets, resources and app. A folder may include itself and the
folders this table allows it, nothing else. Tests, benchmarks and fuzz targets are outside the
stack. Exit status 1 and one line per offending include when an edge is not allowed.
    scripts/check-layers.py [--edges]
"""
import os
import re
import sys

ALLOWED = {
    "platform": set(),
    "text": {"platform"},
    "gridbridge": {"platform", "text"},
    "settings": {"platform", "text"},
    "engine": {"platform", "text", "settings", "gridbridge"},
    "runner": {"platform", "text", "settings", "gridbridge", "engine"},
    "framework": {"platform", "text"},
    "widgets": {"platform", "text", "framework"},
    "resources": set(),
    "app": {"platform", "text", "settings", "gridbridge", "engine", "framework", "widgets", "resources"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main(argv):
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    edges = {}
    bad = []
    for folder in sorted(ALLOWED):
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".rc")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or "/" not in m.group(1):
                            continue
                        target = m.group(1).split("/")[0]
                        if target not in ALLOWED or target == folder:
                            continue
                        edges.setdefault((folder, target), 0)
                        edges[(folder, target)] += 1
                        if target not in ALLOWED[folder]:
                            bad.append("%s:%d: %s includes %s" % (os.path.relpath(path, root), n, folder, m.group(1)))
    if "--edges" in argv:
        for (a, b), count in sorted(edges.items()):
            print("%-10s -> %-10s %3d" % (a, b, count))
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
