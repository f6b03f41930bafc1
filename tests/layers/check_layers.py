#!/usr/bin/env python3
"""Fails when a file includes a wx header outside a wx/ folder, or a layer includes one above it.

Usage: check_layers.py ROOT
"""
import pathlib
import re
import sys

# Lowest first; a layer may include itself and the layers before it.
LAYERS = ["platform", "resources", "framework", "diskaccess", "engine", "views", "shell"]
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".c"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.MULTILINE)
SKIPPED = {".git", "build", "violations"}


def sources(root):
    for path in root.rglob("*"):
        rel = path.relative_to(root)
        if path.suffix in SOURCE_SUFFIXES and path.is_file() and not SKIPPED & set(rel.parts):
            yield path, rel


def problems(root):
    for path, rel in sources(root):
        text = path.read_text(errors="replace")
        in_wx_folder = "wx" in rel.parts[:-1]
        layer = rel.parts[0] if rel.parts[0] in LAYERS else None
        for included in INCLUDE.findall(text):
            if included.startswith("wx/") and not in_wx_folder:
                yield f"{rel}: includes <{included}> outside a wx/ folder"
            top = included.split("/", 1)[0]
            if layer and top in LAYERS and LAYERS.index(top) > LAYERS.index(layer):
                yield f"{rel}: the {layer} layer includes {included} from the {top} layer above it"


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    found = list(problems(root))
    for line in found:
        print(line)
    if found:
        return 1
    print(f"layering clean under {root}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
