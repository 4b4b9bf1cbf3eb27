#!/usr/bin/env python3
"""The layer rule of the shipped code, checked.

    platform/  <-  natapi/  <-  rules/*/  <-  driver/
                   (sim/ stands in for the engine beside platform/)

A folder may include and call only its own layer and the layers below it:

    platform   nothing above it
    natapi     platform
    sim        platform, natapi (the engine's record layouts of agapi.h)
    rules/*    platform, natapi; one rules folder another, without a cycle
    driver     platform, natapi, rules

The public headers of include/ belong to the layer that implements them.
Include lines are read from the sources; calls are read from the object
files of the library (nm), since one public header may declare functions of
two layers.  Fails on an include or a call from a lower layer to a higher
one, on a cycle between folders, and on a cycle of calls between files.

    check-layers.py SOURCE_DIR [--nm NM --objects OBJ;OBJ;...] [--graph]
"""
import argparse
import collections
import os
import re
import subprocess
import sys

MAY_USE = {
    "platform": set(),
    "natapi": {"platform"},
    "sim": {"platform", "natapi"},
    "rules": {"platform", "natapi"},
    "driver": {"platform", "natapi", "rules"},
}

PUBLIC_HEADERS = {
    "zolt_nvram.h": "platform",
    "zolt_shared.h": "platform",
    "agapi.h": "natapi",
    "zolt_natsim.h": "sim",
    "arnonat_common.h": "rules/common",
    "arnonat_forwarding.h": "rules/forwarding",
    "arnonat_access.h": "rules/access",
    "arnonat_protection.h": "rules/protection",
    "arnonat_driver.h": "driver",
    "arnonat.h": "driver",  # includes every family header
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer(folder):
    return folder.split("/")[0]


def folder_of(path):
    """The checked folder of a source path relative to the top, or None."""
    parts = path.split("/")
    if parts[0] == "rules" and len(parts) > 2:
        return "rules/" + parts[1]
    if parts[0] in MAY_USE and parts[0] != "rules" and len(parts) > 1:
        return parts[0]
    return None


def allowed(source, target):
    return source == target or layer(target) in MAY_USE[layer(source)] or (
        layer(source) == layer(target) == "rules")


def cycles(graph):
    """Strongly connected components of more than one node (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def include_edges(top, problems):
    """(source file, target folder, header, line) of every quoted include."""
    edges = []
    for folder in MAY_USE:
        for root, _, files in os.walk(os.path.join(top, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(root, name), top)
                with open(os.path.join(top, path), encoding="utf-8") as f:
                    for number, text in enumerate(f, 1):
                        m = INCLUDE.match(text)
                        if not m:
                            continue
                        header = m.group(1)
                        target = PUBLIC_HEADERS.get(header) if "/" not in header else folder_of(header)
                        if target is None:
                            problems.append(f"{path}:{number}: {header} belongs to no layer")
                            continue
                        edges.append((path, target, header, number))
    return edges


def call_edges(nm, objects, problems):
    """(source file, target file, symbol) of every call between sources."""
    defined, undefined = {}, {}
    for obj in objects:
        m = re.search(r"\.dir/(.+)\.o(bj)?$", obj)
        if not m:
            problems.append(f"{obj}: not an object file of a source")
            continue
        source = os.path.normpath(m.group(1))
        result = subprocess.run([nm, obj], capture_output=True, text=True)
        if result.returncode != 0:
            problems.append(f"{obj}: {nm} failed: {result.stderr.strip()}")
            continue
        undefined[source] = set()
        for line in result.stdout.splitlines():
            fields = line.split()
            if len(fields) == 2 and fields[0] == "U":
                undefined[source].add(fields[1])
            elif len(fields) == 3 and fields[1] in "TDBRVWu":
                defined.setdefault(fields[2], source)
    return [(source, defined[s], s) for source, names in sorted(undefined.items())
            for s in sorted(names) if s in defined and defined[s] != source]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("top")
    parser.add_argument("--nm")
    parser.add_argument("--objects", default="")
    parser.add_argument("--graph", action="store_true", help="print the folder graph")
    args = parser.parse_args()

    problems = []
    folders = collections.defaultdict(set)
    for path, target, header, number in include_edges(args.top, problems):
        source = folder_of(path)
        if source != target:
            folders[source].add(target)
        if not allowed(source, target):
            problems.append(f"{path}:{number}: includes {header} of {target}: "
                            f"{layer(source)} may include only {', '.join(sorted(MAY_USE[layer(source)])) or 'itself'}")

    objects = [o for o in args.objects.split(";") if o]
    if objects:
        files = collections.defaultdict(set)
        for source, target, symbol in call_edges(args.nm, objects, problems):
            files[source].add(target)
            a, b = folder_of(source), folder_of(target)
            if a and b and a != b:
                folders[a].add(b)
            if a and b and not allowed(a, b):
                problems.append(f"{source}: calls {symbol} of {target}: "
                                f"{layer(a)} may call only {', '.join(sorted(MAY_USE[layer(a)])) or 'itself'}")
        for component in cycles(files):
            problems.append("files calling each other: " + " <-> ".join(component))

    for component in cycles(folders):
        problems.append("folders using each other: " + " <-> ".join(component))

    if args.graph:
        for source in sorted(folders):
            print(f"{source} -> {', '.join(sorted(folders[source]))}")
    for p in problems:
        print(p)
    if problems:
        print(f"layer rule broken {len(problems)} time(s); see the map in README.md")
        return 1
    print(f"layers hold: {sum(len(t) for t in folders.values())} folder arrows, all downwards"
          + (f", calls of {len(objects)} object files included" if objects else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
