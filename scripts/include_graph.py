#!/usr/bin/env python3
"""Draws the library's include graph, folder by folder, and checks it.

Reads the layers and what each may include from cmake/layers.cmake, counts
the #include lines of src/ from each folder into each other folder, and
prints the graph as a Mermaid flowchart (default) or Graphviz DOT (--dot).
Exits 1, naming the includes, when an arrow runs anywhere but down.
"""
import collections
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def read_layers():
    text = (ROOT / "cmake" / "layers.cmake").read_text()
    order = re.search(r"set\(KCERTADM_LAYERS ([^)]*)\)", text).group(1).split()
    below = {}
    for folder in order:
        m = re.search(r"set\(KCERTADM_BELOW_%s([^)]*)\)" % folder, text)
        below[folder] = set(m.group(1).replace('""', "").split())
    return order, below


def read_edges(order):
    edges = collections.Counter()
    examples = collections.defaultdict(list)
    for path in sorted((ROOT / "src").rglob("*")):
        if path.suffix not in (".h", ".cc"):
            continue
        source = path.relative_to(ROOT / "src").parts[0]
        for line in path.read_text(errors="replace").splitlines():
            m = re.match(r'\s*#\s*include\s+"([^"/]+)/', line)
            if m and m.group(1) != source and m.group(1) in order:
                edges[(source, m.group(1))] += 1
                examples[(source, m.group(1))].append(f"{path.relative_to(ROOT)}: {line.strip()}")
    return edges, examples


def mermaid(order, edges):
    lines = ["flowchart TD"]
    lines += [f"  {f}[{f}/]" for f in order]
    lines += [f"  {a} -->|{n}| {b}" for (a, b), n in sorted(edges.items())]
    return "\n".join(lines)


def dot(order, edges):
    lines = ["digraph includes {", "  node [shape=box];"]
    lines += [f'  {a} -> {b} [label="{n}"];' for (a, b), n in sorted(edges.items())]
    lines.append("}")
    return "\n".join(lines)


def main():
    order, below = read_layers()
    edges, examples = read_edges(order)
    print(dot(order, edges) if "--dot" in sys.argv else mermaid(order, edges))
    upward = [e for e in edges if e[1] not in below[e[0]]]
    for edge in upward:
        print(f"upward include {edge[0]} -> {edge[1]}:", file=sys.stderr)
        for example in examples[edge]:
            print("  " + example, file=sys.stderr)
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
