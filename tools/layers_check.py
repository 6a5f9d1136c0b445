#!/usr/bin/env python3
"""Keeps the layers of src/ apart.

Reads every `#include "..."` of the C++ files under a source tree and fails on
an include that the layer table does not allow: a lower layer that includes a
higher one (upward), or two layers that the table does not stack (sideways).

The table (tools/layers.txt) lists every folder of the tree with the layers it
may include directly; what those may include is allowed too. A folder that the
table does not list is an error, so a new folder has to take its place first.

    layers_check.py [--src DIR] [--table FILE]

Exit status 0 when every include is allowed, 1 when one is not (each reported
as file:line with the two layers), 2 when the table itself is wrong.
"""

import argparse
import os
import re
import sys

ROOT = "(root)"  # the files directly in the source folder (main.cpp)
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc")


class TableError(Exception):
    pass


def read_table(path):
    """{layer: [layers it may include directly]}, in the table's order."""
    table = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            layer, _, rest = line.partition(":")
            layer = layer.strip()
            if not layer or not _:
                raise TableError(f"{path}:{number}: expected 'folder: lower folders', got '{line}'")
            if layer in table:
                raise TableError(f"{path}:{number}: {layer} is listed twice")
            table[layer] = rest.split()
    for layer, lower in table.items():
        for name in lower:
            if name not in table:
                raise TableError(f"{path}: {layer} may include {name}, which the table does not list")
            if name == layer:
                raise TableError(f"{path}: {layer} lists itself")
    return table


def below(table):
    """{layer: every layer under it}, and no layer may end up under itself."""
    closure = {}

    def visit(layer, trail):
        if layer in closure:
            return closure[layer]
        if layer in trail:
            cycle = " -> ".join(trail[trail.index(layer):] + [layer])
            raise TableError(f"the table has a cycle: {cycle}")
        under = set()
        for name in table[layer]:
            under.add(name)
            under |= visit(name, trail + [layer])
        closure[layer] = under
        return under

    for layer in table:
        visit(layer, [])
    return closure


def layer_of(relative_dir):
    return relative_dir if relative_dir else ROOT


def includes(src):
    """(file relative to src, line number, included path) of every quoted include."""
    for folder, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if match:
                        yield relative, number, match.group(1)


def check(src, table):
    """The problems found, as lines of text (none when the tree keeps its layers)."""
    closure = below(table)
    problems = []
    unlisted = set()  # files of a folder the table lacks, reported once each
    for relative, number, included in includes(src):
        where = f"src/{relative}:{number}"
        source = layer_of(os.path.dirname(relative))
        if source not in table:
            if relative not in unlisted:
                problems.append(f"{where}: folder {source} is not in the layer table")
                unlisted.add(relative)
            continue
        if not os.path.isfile(os.path.join(src, included)):
            problems.append(f'{where}: "{included}" is not a file of src/ (includes name it from src/)')
            continue
        target = layer_of(os.path.dirname(included))
        if target not in table:
            problems.append(f"{where}: includes {included}, whose folder {target} is not in the layer table")
        elif target != source and target not in closure[source]:
            kind = "upward" if source in closure[target] else "sideways"
            problems.append(f"{where}: {kind} include of {included}: layer {source} may not include layer {target}")
    return problems


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Fails on an include that runs up or across the layers.")
    parser.add_argument("--src", default=os.path.join(here, "..", "src"))
    parser.add_argument("--table", default=os.path.join(here, "layers.txt"))
    args = parser.parse_args(argv)
    try:
        table = read_table(args.table)
        problems = check(os.path.normpath(args.src), table)
    except TableError as e:
        print(f"layers_check: {e}", file=sys.stderr)
        return 2
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"layers_check: {len(problems)} include(s) break the layers (table: {args.table})", file=sys.stderr)
        return 1
    print(f"layers_check: {len(table)} layers, every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
