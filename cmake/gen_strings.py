#!/usr/bin/env python3
"""Turns resources/strings.tsv into strings.h/.cpp (portable lookup) and strings.rc."""
import os
import sys


def parse(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 3:
                sys.exit(f"{path}:{number}: expected 3 tab-separated columns")
            ident, name, text = int(parts[0]), parts[1], parts[2]
            rows.append((ident, name, decode(text, path, number)))
    ids = [r[0] for r in rows]
    names = [r[1] for r in rows]
    if len(set(ids)) != len(ids) or len(set(names)) != len(names):
        sys.exit(f"{path}: duplicate id or name")
    return rows


def decode(text, path, number):
    out, i = [], 0
    escapes = {"n": "\n", "t": "\t", '"': '"', "\\": "\\"}
    while i < len(text):
        c = text[i]
        if c == "\\":
            if i + 1 >= len(text) or text[i + 1] not in escapes:
                sys.exit(f"{path}:{number}: bad escape")
            out.append(escapes[text[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def c_literal(s):
    body = s.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t")
    return f'"{body}"'


def rc_literal(s):
    # Resource compiler strings: quotes doubled, C escapes for backslash and line breaks.
    body = s.replace("\\", "\\\\").replace('"', '""').replace("\n", "\\n").replace("\t", "\\t")
    return f'"{body}"'


def write_if_changed(path, content):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == content:
                return
    except FileNotFoundError:
        pass
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(content)


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    rows = parse(src)
    header = ["// Generated from resources/strings.tsv; do not edit.", "#pragma once", "",
              "namespace qvx {", "", "// Ids of the string table; the numbers are those of the resource file.",
              "enum class Msg : unsigned {"]
    header += [f"  {name} = {ident}," for ident, name, _ in rows]
    header += ["};", "", "// English text of a string-table entry (empty for an unknown id).",
               "const char* MessageText(Msg id);", "", "}  // namespace qvx", ""]
    source = ["// Generated from resources/strings.tsv; do not edit.", '#include "qvx/strings.h"', "",
              "namespace qvx {", "", "const char* MessageText(Msg id) {", "  switch (id) {"]
    source += [f"    case Msg::{name}: return {c_literal(text)};" for _, name, text in rows]
    source += ["  }", '  return "";', "}", "", "}  // namespace qvx", ""]
    rc = ["// Generated from resources/strings.tsv; do not edit.", "STRINGTABLE", "BEGIN"]
    rc += [f"  {ident}, {rc_literal(text)}" for ident, _, text in rows]
    rc += ["END", ""]
    write_if_changed(os.path.join(out, "strings.h"), "\n".join(header))
    write_if_changed(os.path.join(out, "strings.cpp"), "\n".join(source))
    write_if_changed(os.path.join(out, "strings.rc"), "\n".join(rc))


if __name__ == "__main__":
    main()
