#!/usr/bin/env python3
"""Checks that the layers include one another only downwards (docs/architecture.md).

Usage: check_layers.py PROJECT_DIR. The layers are the folders of src/, then web/ (the web server)
and tools/zel/ (the command line, named "zel"). Prints every include that crosses layers, counted
as "from -> to", and exits 1 naming each include that runs up the stack or comes from or goes to a
folder the stack does not place.
"""
import collections
import pathlib
import re
import sys

# Bottom to top; a folder may include its own and those before it.
LAYERS = ["frame", "digest", "store", "awards", "model", "tv", "people", "import", "catalogue",
          "web", "zel"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')


def sources(project: pathlib.Path):
    """Each C++ file of the layers with the name of its layer and its path for messages."""
    src = project / "src"
    for path in sorted(src.rglob("*")):
        if path.suffix in (".h", ".cpp") and path.is_file():
            yield path.relative_to(src).parts[0], path
    for folder, layer in (("web", "web"), ("tools/zel", "zel")):
        for path in sorted((project / folder).rglob("*")):
            if path.suffix in (".h", ".cpp") and path.is_file():
                yield layer, path


def main(project: pathlib.Path) -> int:
    rank = {name: position for position, name in enumerate(LAYERS)}
    crossings = collections.Counter()
    faults = []
    for folder, path in sources(project):
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) == folder:
                continue
            target = match.group(1)
            crossings[(folder, target)] += 1
            where = f"{path.relative_to(project)}:{number}"
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
