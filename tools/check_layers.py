#!/usr/bin/env python3
"""Fails when an #include runs against the layering of src/.

From the top down:  app  ->  <subsystem>/ui  ->  ui (the window kit)
                    ->  <subsystem> (run operations)  ->  core.
cli stands beside the windows and uses only the run operations and core.
A folder may include its own headers and those of any lower layer. Two folders
of the same layer may include each other's headers only one way. Nothing below
the window kit includes Qt.
"""
import pathlib
import re
import sys

SUBSYSTEMS = {"receipt", "linkage", "ff1", "replace", "postal", "checkup"}
RANK = {"core": 0, "ops": 1, "ui": 2, "cli": 2, "subui": 3, "app": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(rel):
    """'receipt/ui/TfrmX.h' -> 'receipt/ui'; 'core/text.h' -> 'core'."""
    parts = rel.split("/")
    return "/".join(parts[:-1])


def layer_of(folder):
    parts = folder.split("/")
    if parts[0] in SUBSYSTEMS:
        return "subui" if len(parts) > 1 and parts[1] == "ui" else "ops"
    return parts[0]


def main(root):
    src = pathlib.Path(root) / "src"
    errors = []
    edges = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".inc"):
            continue
        rel = path.relative_to(src).as_posix()
        here = folder_of(rel)
        here_layer = layer_of(here)
        if here_layer not in RANK:
            errors.append(f"{rel}: folder {here} has no place in the layering")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            bracket, name = m.groups()
            if bracket == "<":
                if RANK[here_layer] < RANK["ui"] or here_layer == "cli":
                    if name.startswith("Q") or name.startswith("qt"):
                        errors.append(f"{rel}:{number}: Qt header <{name}> below the window kit")
                continue
            if "/" not in name:
                continue  # a header of the same folder
            there = folder_of(name)
            if there == here:
                continue
            there_layer = layer_of(there)
            if there_layer not in RANK:
                errors.append(f"{rel}:{number}: includes {name} from an unknown folder")
                continue
            if RANK[there_layer] > RANK[here_layer] or (
                    here_layer == "cli" and there_layer == "ui") or (
                    here_layer == "ui" and there_layer == "cli"):
                errors.append(f"{rel}:{number}: {here} ({here_layer}) includes {name} ({there_layer}), "
                              f"a layer above it")
            edges.setdefault((here, there), f"{rel}:{number}")
    for (a, b), where in sorted(edges.items()):
        if (b, a) in edges and a < b:
            errors.append(f"{a} and {b} include each other ({where}, {edges[(b, a)]})")
    for e in errors:
        print("layering: " + e, file=sys.stderr)
    if errors:
        return 1
    print(f"layering: {len(edges)} folder dependencies, all one way")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent))
