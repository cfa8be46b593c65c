#!/usr/bin/env python3
"""The shared library exports its public API and nothing else.

Every symbol `nm -D` finds defined in the library belongs to a class or function that an
installed header declares, and every function and class an installed header exports is
there.

    library_surface.py LIBRARY INCLUDE_DIR
"""

import pathlib
import re
import subprocess
import sys

library, include_dir = sys.argv[1], pathlib.Path(sys.argv[2]) / "globalstab"
failures = []

classes, functions = set(), set()
headers = [path for path in sorted(include_dir.glob("*.h")) if path.name != "globalstab_export.h"]
for header in headers:
    # Comments name things that are not declared.
    text = re.sub(r"//.*", "", header.read_text(encoding="utf-8"))
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    classes |= set(re.findall(r"\b(?:class|struct)\s+GLOBALSTAB_EXPORT\s+(\w+)", text))
    classes |= set(re.findall(r"^\s*(?:class|struct)\s+(\w+)\s*(?::[^;{]*)?\{", text, re.M))
    functions |= set(re.findall(
        r"GLOBALSTAB_EXPORT\s+(?!class\b|struct\b)[\w:<>,&*\s]*?\b(\w+)\s*\(", text))

out = subprocess.run(["nm", "-D", "--defined-only", "-C", library], check=True,
                     capture_output=True, text=True).stdout
PREFIXES = ("typeinfo name for ", "typeinfo for ", "vtable for ", "non-virtual thunk to ",
            "guard variable for ")
seen = set()
for line in out.splitlines():
    fields = line.split(None, 2)
    if len(fields) < 3:
        continue
    symbol = fields[2]
    if fields[1] in ("A",):  # the version node
        continue
    for prefix in PREFIXES:
        if symbol.startswith(prefix):
            symbol = symbol[len(prefix):]
    if not symbol.startswith("globalstab::"):
        failures.append(f"outside the API's namespace: {fields[2]}")
        continue
    qualified = symbol.split("(", 1)[0]
    parts = re.sub(r"<.*>", "", qualified).split("::")[1:]
    public = [part for part in parts if part in classes or part in functions]
    if not public or "Private" in parts:
        failures.append(f"not declared by an installed header: {fields[2]}")
    seen.update(parts)

for name in sorted(functions - seen):
    failures.append(f"declared exported but not in the library: {name}()")
exported_classes = set()
for header in headers:
    exported_classes |= set(re.findall(r"\b(?:class|struct)\s+GLOBALSTAB_EXPORT\s+(\w+)",
                                       header.read_text(encoding="utf-8")))
for name in sorted(exported_classes - seen):
    failures.append(f"class {name} is exported but has no symbol in the library")

for line in failures:
    print("FAILED:", line)
print(f"{len(classes)} classes, {len(functions)} functions declared; {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
