#!/usr/bin/env python3
"""Checks of the source tree that the compiler does not make.

- No include climbs out of its folder ("../"): every include names its layer from the root.
- No include circle between modules (a header and its source file are one module), so that every
  layer, and every folder within one, can be read from the bottom up.
- The front ends and the debugger reach the processor only through the machine layer's run API:
  they never name the processor state `cpu` itself, so that no write can pass the history by.

    check_sources.py SOURCE_ROOT
"""
import os
import re
import sys

FOLDERS = ["base", "resources", "memory", "cpu", "machine", "debugger", "platform", "ui", "cli"]
THROUGH_THE_RUN_API = ["debugger", "platform", "ui", "cli"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
PROCESSOR = re.compile(r"(?<![\w.>:])cpu\s*\.")


def sources(root):
    for folder in FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(directory, name), root)


def module(path):
    return os.path.splitext(path)[0]


def circles(edges):
    """The strongly connected components with more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for successor in edges.get(node, ()):
            if successor not in index:
                visit(successor)
                low[node] = min(low[node], low[successor])
            elif successor in on_stack:
                low[node] = min(low[node], index[successor])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in list(edges):
        if node not in index:
            visit(node)
    return found


def main():
    root = sys.argv[1]
    faults = []
    edges = {}
    for path in sources(root):
        with open(os.path.join(root, path), encoding="utf-8") as source:
            text = source.read()
        for included in INCLUDE.findall(text):
            if included.startswith("../"):
                faults.append(f'{path}: #include "{included}" climbs out of its folder')
            elif os.path.exists(os.path.join(root, included)) and module(included) != module(path):
                edges.setdefault(module(path), set()).add(module(included))
        if path.split(os.sep)[0] in THROUGH_THE_RUN_API:
            for line_number, line in enumerate(text.splitlines(), 1):
                if PROCESSOR.search(line.split("//")[0]):
                    faults.append(f"{path}:{line_number}: reaches the processor past the run API")
    for circle in circles(edges):
        faults.append("include circle: " + " -> ".join(circle))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
