"""The folders of src/ as a graph of their #include lines: fails, naming the files, when any
folders include each other in a circle, so the layers in docs/ARCHITECTURE.md stay layers.

usage: python3 folder_circles.py SRC
"""
import os
import re
import sys

INCLUDE = re.compile(r'\s*#\s*include\s+"([^/"]+)/')


def include_graph(root):
    """{folder: {included folder: [files that include it]}}"""
    graph = {}
    for folder in sorted(os.listdir(root)):
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        uses = graph.setdefault(folder, {})
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".cpp")):
                continue
            with open(os.path.join(path, name), encoding="utf-8") as f:
                for line in f:
                    m = INCLUDE.match(line)
                    if m and m.group(1) != folder and os.path.isdir(os.path.join(root, m.group(1))):
                        uses.setdefault(m.group(1), []).append(name)
    return graph


def circles(graph):
    """The strongly connected groups of more than one folder (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in graph.get(v, {}):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main():
    graph = include_graph(sys.argv[1])
    found = circles(graph)
    for group in found:
        print("folders in a circle: " + ", ".join(group))
        for a in group:
            for b in group:
                if b in graph[a]:
                    print(f"  {a}/ includes {b}/ in {', '.join(sorted(set(graph[a][b])))}")
    if not found:
        print("no circle among " + ", ".join(sorted(graph)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
