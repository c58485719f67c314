#!/usr/bin/env python3
"""Checks that the folders of src/ include one another only downwards (docs/architecture.md).

Usage: check_layers.py SRC_DIR. Prints every include that crosses folders, counted as
"from -> to", and exits 1 naming each include that runs up the stack or comes from or goes to a
folder the stack does not place.
"""
import collections
import pathlib
import re
import sys

# Bottom to top; a folder may include its own and those before it.
LAYERS = ["frame", "digest", "store", "awards", "model", "tv", "people", "import", "catalogue"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')


def main(src: pathlib.Path) -> int:
    rank = {name: position for position, name in enumerate(LAYERS)}
    crossings = collections.Counter()
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        folder = path.relative_to(src).parts[0]
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) == folder:
                continue
            target = match.group(1)
            crossings[(folder, target)] += 1
            where = f"{path.relative_to(src)}:{number}"
            if folder not in rank or target not in rank:
                faults.append(f"{where}: {folder} -> {target}: a folder the stack does not place")
            elif rank[target] > rank[folder]:
                faults.append(f"{where}: {folder} -> {target} runs up the stack")
    for (folder, target), count in sorted(crossings.items()):
        print(f"{count:5} {folder} -> {target}")
    print("stack, bottom to top: " + " < ".join(LAYERS))
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(pathlib.Path(sys.argv[1])))
