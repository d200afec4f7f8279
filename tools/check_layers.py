#!/usr/bin/env python3
"""Holds every #include of the program's folders to the layers the build links.

Each folder of the program is one library, kvr_<folder>, made by
<folder>/CMakeLists.txt, whose target_link_libraries name the folders it may
use (README.md, "Layout"). Those links are the only table: this script reads
them, so the check and the build cannot disagree. It fails on

  * an #include of another folder's file that the including folder does not
    link, directly or through a PUBLIC link of what it links: "upward" when
    that folder links the including one (it is a layer above), "not linked"
    otherwise (a sibling, or a folder outside the program such as tests/);
  * a cycle: among the links, among the folders' includes, or among files
    that include one another.

It prints each fault, then "N folders, U upward includes, C cycles" (and the
count of includes of folders not linked, when there are any), and exits 1 on
any fault.

    tools/check_layers.py [--root DIR]   check the tree (default: this checkout)
    tools/check_layers.py --self-test    check that planted faults are found
"""
import argparse
import os
import re
import sys
import tempfile

SOURCE_SUFFIXES = (".h", ".cpp", ".c", ".in", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')
LIBRARY = re.compile(r"add_library\(\s*kvr_(\w+)\b")
LINKS = re.compile(r"target_link_libraries\(\s*kvr_(\w+)\b([^)]*)\)", re.S)


def read_links(root):
    """{folder: {linked folder: scope}} from every <folder>/CMakeLists.txt
    that makes the library kvr_<folder>."""
    folders = {}
    for name in sorted(os.listdir(root)):
        cmake = os.path.join(root, name, "CMakeLists.txt")
        if not os.path.isfile(cmake):
            continue
        with open(cmake, encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        if name not in LIBRARY.findall(text):
            continue
        folders[name] = {}
        for target, args in LINKS.findall(text):
            if target != name:
                continue
            scope = "PUBLIC"
            for word in args.split():
                if word in ("PUBLIC", "PRIVATE", "INTERFACE"):
                    scope = word
                elif word.startswith("kvr_"):
                    folders[name][word[4:]] = scope
    # A link to something that is no folder's library is the build's
    # business (CMake says so), not a layer.
    for name, links in folders.items():
        folders[name] = {k: v for k, v in links.items() if k in folders}
    return folders


def allowed_folders(links):
    """Per folder: what it links and what those pass on (PUBLIC, INTERFACE)."""
    def passed_on(folder, seen):
        for dep, scope in links[folder].items():
            if scope != "PRIVATE" and dep not in seen:
                seen.add(dep)
                passed_on(dep, seen)
        return seen

    allowed = {}
    for folder in links:
        reach = set()
        for dep in links[folder]:
            reach.add(dep)
            passed_on(dep, reach)
        allowed[folder] = reach
    return allowed


def source_files(root, folder):
    for base, dirs, files in os.walk(os.path.join(root, folder)):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(base, name)


def resolve(root, top_folders, including, target):
    """(folder, file) an include names: a path from the root ("ui/window.h")
    or from the including file ("intercept/x.h"); (None, None) for a
    generated or system header."""
    if target.replace("\\", "/").split("/")[0] in top_folders:
        path = os.path.normpath(os.path.join(root, target))
    else:
        path = os.path.normpath(os.path.join(os.path.dirname(including), target))
        if not os.path.isfile(path):
            return None, None
    rel = os.path.relpath(path, root)
    if rel.startswith(".."):
        return None, None
    return rel.replace("\\", "/").split("/")[0], rel


def cycles(graph):
    """The strongly connected groups of a graph {node: set(nodes)} that are a
    cycle (more than one node, or a node that reaches itself)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1 or node in graph.get(node, ()):
                found.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def cycle_path(graph, group):
    """One cycle through the group's first member, as a list that ends where
    it starts (a shortest one, found breadth first inside the group)."""
    start, members = group[0], set(group)
    paths = {start: [start]}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for nxt in sorted(graph.get(node, ())):
            if nxt == start:
                return paths[node] + [start]
            if nxt in members and nxt not in paths:
                paths[nxt] = paths[node] + [nxt]
                queue.append(nxt)
    return group + group[:1]


def check(root, out=sys.stdout):
    """Prints the faults and the summary; returns the number of faults."""
    links = read_links(root)
    allowed = allowed_folders(links)
    top_folders = {n for n in os.listdir(root) if os.path.isdir(os.path.join(root, n))}
    upward, unlinked = [], []
    folder_graph = {f: set() for f in links}
    file_graph = {}
    for folder in links:
        for path in source_files(root, folder):
            rel = os.path.relpath(path, root)
            file_graph.setdefault(rel, set())
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = f.readlines()
            for number, line in enumerate(lines, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target_folder, target_file = resolve(root, top_folders, path, m.group(1))
                if target_folder is None:
                    continue
                if os.path.isfile(os.path.join(root, target_file)):
                    file_graph[rel].add(target_file)
                if target_folder == folder:
                    continue
                if target_folder in links:
                    folder_graph[folder].add(target_folder)
                if target_folder in allowed[folder]:
                    continue
                where = "%s:%d: #include \"%s\"" % (rel, number, m.group(1))
                if target_folder in links and folder in allowed[target_folder]:
                    upward.append("%s: upward, %s is above %s" % (where, target_folder, folder))
                else:
                    unlinked.append("%s: %s does not link %s" % (where, folder, target_folder))
    link_graph = {f: set(l) for f, l in links.items()}
    found = []
    for kind, graph in (("links", link_graph), ("folder includes", folder_graph), ("file includes", file_graph)):
        found += [(kind, cycle_path(graph, group)) for group in cycles(graph)]
    for fault in upward + unlinked:
        print(fault, file=out)
    for kind, group in found:
        print("cycle among %s: %s" % (kind, " -> ".join(group)), file=out)
    print("%d folders, %d upward includes, %d cycles" % (len(links), len(upward), len(found)), file=out)
    if unlinked:
        print("%d includes of folders not linked" % len(unlinked), file=out)
    return len(upward) + len(unlinked) + len(found)


def self_test():
    """Plants each fault in a small tree and checks that it is found, and that
    the same tree without it passes."""
    def tree(files):
        root = tempfile.mkdtemp(prefix="kvr-layers-")
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        return root

    sound = {
        "low/CMakeLists.txt": "add_library(kvr_low STATIC a.cpp)\n",
        "low/a.h": "#pragma once\n",
        "low/a.cpp": '#include "low/a.h"\n#include "generated_config.h"\n',
        "mid/CMakeLists.txt": "add_library(kvr_mid STATIC b.cpp)\n"
                              "target_link_libraries(kvr_mid PUBLIC kvr_low)  # kvr_top would be a cycle\n",
        "mid/b.h": '#pragma once\n#include "low/a.h"\n',
        "mid/b.cpp": '#include "mid/b.h"\n#include "inner/c.h"\n',
        "mid/inner/c.h": "#pragma once\n",
        "top/CMakeLists.txt": "add_library(kvr_top STATIC d.cpp)\ntarget_link_libraries(kvr_top\n  PRIVATE kvr_mid)\n",
        "top/d.cpp": '#include "mid/b.h"\n#include "low/a.h"\n',
        "side/CMakeLists.txt": "add_library(kvr_side STATIC e.cpp)\ntarget_link_libraries(kvr_side PUBLIC kvr_low)\n",
        "side/e.cpp": '#include "low/a.h"\n',
        "tests/t.h": "#pragma once\n",
    }
    faults = {
        "upward include": {"low/a.cpp": '#include "mid/b.h"\n'},
        "sibling not linked": {"side/e.cpp": '#include "mid/b.h"\n'},
        "folder outside the program": {"mid/b.cpp": '#include "tests/t.h"\n'},
        "not passed on by a PRIVATE link": {
            "top/CMakeLists.txt": "add_library(kvr_top STATIC d.cpp)\n"
                                  "target_link_libraries(kvr_top PRIVATE kvr_side)\n",
            "top/d.cpp": '#include "side/e.h"\n#include "low/a.h"\n',
            "side/CMakeLists.txt": "add_library(kvr_side STATIC e.cpp)\n"
                                   "target_link_libraries(kvr_side PRIVATE kvr_low)\n",
            "side/e.h": "#pragma once\n"},
        "cycle of links": {"low/CMakeLists.txt": "add_library(kvr_low STATIC a.cpp)\n"
                                                 "target_link_libraries(kvr_low PUBLIC kvr_mid)\n"},
        "cycle of files": {"mid/inner/c.h": '#pragma once\n#include "mid/b.h"\n',
                           "mid/b.h": '#pragma once\n#include "inner/c.h"\n'},
        "an upward path from the including file": {"mid/b.cpp": '#include "../low/a.h"\n#include "../top/d.cpp"\n'},
    }
    failures = []
    with open(os.devnull, "w") as quiet:
        if check(tree(sound), quiet) != 0:
            failures.append("the sound tree fails")
        for name, change in faults.items():
            if check(tree(dict(sound, **change)), quiet) == 0:
                failures.append("not found: " + name)
    for failure in failures:
        print(failure)
    print("self-test: %d planted faults, %d missed" % (len(faults), len(failures)))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    return 1 if check(os.path.abspath(args.root)) else 0


if __name__ == "__main__":
    sys.exit(main())
