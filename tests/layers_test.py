#!/usr/bin/env python3
"""Keeps the layers of the tree as docs/architecture.md draws them.

Each rule names the folders it covers and the include prefixes they must not
use. Every rule is checked against every source file it covers; the last
line reports 'N passed, N failed' (one check per rule)."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)

UI = ("win32ui/", "shell/", "setup/", "keys/ui/", "storage/ui/", "windows.h")
RULES = [
    # (name, folders covered, folders excluded, forbidden include prefixes)
    ("cores include no UI and no Windows header",
     ["engine", "keys", "storage", "cli", "platform"],
     ["keys/ui", "storage/ui", "platform/win32"], UI),
    ("the toolkit includes no feature and not the tray program",
     ["win32ui"], [], ("keys/", "storage/", "shell/", "setup/")),
    ("the key dialogs sit below the tray program and beside the storage",
     ["keys/ui"], [], ("shell/", "storage/ui/", "setup/")),
    ("the storage dialogs sit below the tray program and beside the keys",
     ["storage/ui"], [], ("shell/", "keys/ui/", "setup/")),
    ("setup sits below the tray program and beside the other features",
     ["setup", "uninstall"], [], ("shell/", "keys/", "storage/")),
    ("portable models include no Windows header",
     ["shell/model", "win32ui/model", "setup/model", "keys/ui/model"], [],
     ("windows.h", "win32ui/dialog", "win32ui/message_box")),
]


def sources(folders, excluded):
    for folder in folders:
        for path in sorted((ROOT / folder).rglob("*")):
            rel = path.relative_to(ROOT).as_posix()
            if path.suffix not in (".h", ".cpp") or any(
                    rel.startswith(e + "/") for e in excluded):
                continue
            yield rel, path.read_text(errors="replace")


def main():
    passed = failed = 0
    for name, folders, excluded, forbidden in RULES:
        broken = [f"{rel}: #include {inc}" for rel, text in sources(folders, excluded)
                  for inc in INCLUDE.findall(text) if inc.startswith(forbidden)]
        if broken:
            failed += 1
            print(f"FAIL  {name}")
            for line in broken:
                print(f"      {line}")
        else:
            passed += 1
            print(f"ok    {name}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
