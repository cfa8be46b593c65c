#!/usr/bin/env python3
"""Holds the sources and the build to the README's architecture table.

Each folder of the table belongs to the one target its row names, and its CMakeLists.txt
builds every source of it into that target; its files include the folder's own headers and
those of the folders the row lets it use, and installed headers by name only; the headers of
the library include one another without a circle; an installed header includes nothing but
other installed headers, Qt and the standard library.

    architecture_test.py SOURCE_DIR
"""

import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1])
failures = []


def fail(text):
    failures.append(text)


def table_rows():
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    section = readme.split("\n## Architecture\n", 1)[1].split("\n## ", 1)[0]
    rows = [line for line in section.splitlines() if line.startswith("| `")]
    for line in rows:
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        folders = re.findall(r"`([a-z]+)/`", cells[0])
        target = re.fullmatch(r"`([\w-]+)`", cells[1]).group(1)
        uses = set(re.findall(r"`([a-z]+)/`", cells[3]))
        for folder in folders:
            yield folder, target, uses, "installed headers" in cells[3]


def installed_headers():
    cmake = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    listed = re.search(r"set\(GLOBALSTAB_PUBLIC_HEADERS(.*?)\)", cmake, re.S).group(1).split()
    return {pathlib.PurePosixPath(path).name: ROOT / path for path in listed}


INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
PUBLIC = installed_headers()
GENERATED = {"globalstab_export.h", "version.h"}
rows = list(table_rows())
if not rows:
    fail("README: no architecture table found")
folders = {folder for folder, _, _, _ in rows}

# Every folder of sources is in the table.
EXEMPT = {"tests", "bench", "fuzz", "examples", "cmake", "docs", "samples"}
for path in sorted(ROOT.iterdir()):
    if (path.is_dir() and not path.name.startswith((".", "build")) and path.name not in EXEMPT
            and any(path.glob("*.cpp")) and path.name not in folders):
        fail(f"{path.name}/ holds sources but is not in the README's architecture table")

graph = {}
for folder, target, uses, installed_only in rows:
    directory = ROOT / folder
    cmake_file = directory / "CMakeLists.txt"
    if not cmake_file.exists():
        fail(f"{folder}/ has no CMakeLists.txt")
        continue
    cmake = cmake_file.read_text(encoding="utf-8")
    named = set(re.findall(r"(?:target_sources|add_executable)\(([\w-]+)", cmake))
    if named != {target}:
        fail(f"{folder}/CMakeLists.txt builds into {sorted(named)}, the README says {target}")
    built = set(re.findall(r"([\w]+\.cpp)\b", cmake))
    for source in sorted(directory.glob("*.cpp")):
        if source.name not in built:
            fail(f"{folder}/{source.name} is in no target of {folder}/CMakeLists.txt")

    for source in sorted(list(directory.glob("*.cpp")) + list(directory.glob("*.h"))):
        name = f"{folder}/{source.name}"
        text = source.read_text(encoding="utf-8")
        for kind, included in INCLUDE.findall(text):
            if kind == "<":
                if included.startswith("globalstab/"):
                    header = included.split("/", 1)[1]
                    if header not in PUBLIC and header not in GENERATED:
                        fail(f"{name} includes <{included}>, which is not installed")
                continue
            parts = included.split("/")
            if len(parts) == 1:
                fail(f'{name} includes "{included}" without its folder')
                continue
            used = parts[0]
            if installed_only and used != folder:
                fail(f'{name} includes "{included}": the host uses the installed headers only')
            elif used != folder and used not in uses:
                fail(f'{name} includes "{included}": {folder}/ may not use {used}/')
            graph.setdefault(name, set()).add(included)

# The headers of the library include one another without a circle.
state = {}


def visit(node, stack):
    state[node] = "open"
    for nxt in sorted(graph.get(node, ())):
        if state.get(nxt) == "open":
            fail("a circle of includes: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
        elif nxt not in state:
            visit(nxt, stack + [nxt])
    state[node] = "done"


for node in sorted(graph):
    if node not in state:
        visit(node, [node])

# An installed header stands alone: other installed headers, Qt and the standard library.
for name, path in sorted(PUBLIC.items()):
    for kind, included in INCLUDE.findall(path.read_text(encoding="utf-8")):
        if kind == '"' or (included.startswith("globalstab/")
                           and included.split("/", 1)[1] not in PUBLIC.keys() | GENERATED):
            fail(f"the installed {name} includes {included}, which a host does not have")

for line in failures:
    print("FAILED:", line)
print(f"{len(rows)} folders checked, {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
