#!/usr/bin/env python3
"""Reads the #include lines under src/ and fails on an include that runs against the layer order
or on a circle between folders.

Order, lowest first: core (src/core/<area>) <- ui/base <- ui/<area> <- ui/Application <- app.
The modules (src/modules/<name>) stand on the core alone. Within ui, an area includes no other
area, except that ui/config includes the tabs it hosts (ui/memos, ui/schemes); so nothing but
ui/Application includes the calendar window. Core areas may include each other, but never in a
circle. Also fails on a source file longer than the line limit.

Usage: check-layers.py [SRC_DIR]    (default: the src folder beside this script's folder)
"""

import os
import re
import sys

MAX_LINES = 600
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# The include roots of each tree, as the build gives them.
ROOTS = {"core": ["core"], "ui": ["ui", "core"], "modules": ["modules", "core"], "app": ["ui", "core"]}
HOSTED_TABS = {("ui/config", "ui/memos"), ("ui/config", "ui/schemes")}


def room_of(rel):
    """The folder a file belongs to, as the rules name it: core/memos, ui/base, ui, app, ..."""
    parts = rel.split("/")
    if parts[0] in ("core", "modules") or (parts[0] == "ui" and len(parts) > 2):
        return "/".join(parts[:2])
    return parts[0]


def level_of(room):
    tree = room.split("/")[0]
    if tree == "core":
        return 0
    if tree == "modules" or room == "ui/base":
        return 1
    if tree == "ui":
        return 3 if room == "ui" else 2
    return 4  # app


def resolve(src, rel, name):
    here = os.path.dirname(rel)
    for root in [here] + ROOTS[rel.split("/")[0]]:
        candidate = os.path.normpath(os.path.join(root, name))
        # A header the build writes from a template (configure_file) belongs where its template is.
        if os.path.isfile(os.path.join(src, candidate)) or os.path.isfile(os.path.join(src, candidate + ".in")):
            return candidate
    return None


def find_circles(edges):
    """Folders that reach each other (strongly connected groups of more than one folder)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(edges.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return groups


def check(src):
    problems, edges = [], {}
    for dirpath, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            if text.count("\n") > MAX_LINES:
                problems.append(f"{rel}: {text.count(chr(10))} lines, more than {MAX_LINES}")
            room = room_of(rel)
            for included in INCLUDE.findall(text):
                if included.endswith(".moc"):
                    continue
                target = resolve(src, rel, included)
                if target is None:
                    problems.append(f'{rel}: "{included}" is not under this tree\'s include roots')
                    continue
                other = room_of(target)
                if other == room:
                    continue
                edges.setdefault(room, set()).add(other)
                low, high = level_of(room), level_of(other)
                if high > low:
                    problems.append(f'{rel}: includes "{included}" from the layer above ({other})')
                elif high == low and low == 2 and (room, other) not in HOSTED_TABS:
                    problems.append(f'{rel}: includes "{included}" from a sibling area ({other})')
                elif high == low and low == 1 and room.split("/")[0] != other.split("/")[0]:
                    problems.append(f'{rel}: includes "{included}" across trees ({other})')
    for group in find_circles(edges):
        problems.append("folders include each other in a circle: " + " <-> ".join(group))
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    problems = check(os.path.abspath(src))
    for p in problems:
        print(p)
    if problems:
        print(f"check-layers: {len(problems)} problem(s)")
        return 1
    print("check-layers: no upward include, no circle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
