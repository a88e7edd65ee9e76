#!/usr/bin/env python3
"""The layer check against a small tree holding one case of each rule, then against the real tree."""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "..", "..", "scripts", "check-layers.py")

# (file, its includes, the problem it must cause or None)
CASES = [
    ("core/a/A.h", ["b/B.h"], None),
    ("core/b/B.h", ["a/A.h"], "circle: core/a <-> core/b"),
    ("core/c/C.cpp", ["base/Base.h"], '"base/Base.h" is not under'),
    ("ui/base/Base.h", ["memos/Tab.h"], "from the layer above (ui/memos)"),
    ("ui/memos/Tab.h", ["schemes/Editor.h"], "from a sibling area (ui/schemes)"),
    ("ui/schemes/Editor.h", ["c/C.h"], None),
    ("ui/config/Dialog.cpp", ["memos/Tab.h", "schemes/Editor.h"], None),
    ("ui/config/Window.cpp", ["calendar/Window.h"], "from a sibling area (ui/calendar)"),
    ("ui/calendar/Window.h", [], None),
    ("ui/Application.cpp", ["calendar/Window.h"], None),
    ("ui/config/Dialog.h", ["../Application.h"], "from the layer above (ui)"),
    ("ui/Application.h", [], None),
    ("modules/m/M.cpp", ["a/A.h", "base/Base.h"], '"base/Base.h" is not under'),
    ("app/main.cpp", ["Application.h"], None),
    ("core/c/C.h", [], None),
    # A header the build writes from its template counts as where the template lies.
    ("core/c/Version.h.in", [], None),
    ("ui/base/About.cpp", ["c/Version.h"], None),
]


def main():
    with tempfile.TemporaryDirectory() as src:
        for name, includes, _ in CASES:
            path = os.path.join(src, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.writelines(f'#include "{inc}"\n' for inc in includes)
        with open(os.path.join(src, "core/c/Long.cpp"), "w") as f:
            f.write("\n" * 601)
        run = subprocess.run([sys.executable, CHECK, src], capture_output=True, text=True)
        lines = run.stdout.splitlines()[:-1]
        expected = [c[2] for c in CASES if c[2]] + ["601 lines"]
        missing = [e for e in expected if not any(e in line for line in lines)]
        if run.returncode != 1 or missing or len(lines) != len(expected):
            print(run.stdout)
            print("expected:", expected, "missing:", missing)
            return 1
    real = subprocess.run([sys.executable, CHECK], capture_output=True, text=True)
    print(real.stdout, end="")
    return real.returncode


if __name__ == "__main__":
    sys.exit(main())
