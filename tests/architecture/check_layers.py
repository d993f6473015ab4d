#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a layer it may not use.

Usage: check_layers.py <src folder> <layer>...   (the layers lowest first, as the build links them)

A file may include headers of its own layer and of the layers below it. The two front ends (cli
and app) stand side by side at the top: neither includes the other, and nothing includes them.
"""
import pathlib
import re
import sys

FRONT_ENDS = {"cli", "app"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def may_include(own, other, rank):
    if other == own:
        return True
    if other in FRONT_ENDS:
        return False
    return rank[other] < rank[own]


def problems(src, layers):
    rank = {layer: i for i, layer in enumerate(layers)}
    for path in sorted(p for p in src.rglob("*") if p.is_file()):
        relative = path.relative_to(src)
        own = relative.parts[0]
        if own not in rank:
            yield f"{relative}: src/{own} is not in the layer list"
            continue
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            header = match.group(1)
            other = header.split("/")[0] if "/" in header else None
            if other is None or other not in rank:
                yield f"src/{relative}:{number}: includes \"{header}\", which names no layer"
            elif not may_include(own, other, rank):
                yield (f"src/{relative}:{number}: includes \"{header}\": layer {own} may not "
                       f"use layer {other}")


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    found = list(problems(pathlib.Path(sys.argv[1]), sys.argv[2:]))
    for problem in found:
        print(problem, file=sys.stderr)
    if found:
        print(f"{len(found)} include(s) against the layer order " + " < ".join(sys.argv[2:]),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
