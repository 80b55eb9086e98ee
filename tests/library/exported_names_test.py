#!/usr/bin/env python3
"""libsolvard.so exports the native interface and nothing else.

Lists the names the shared library exports (nm -D) and holds each to the public headers: it
must be a class or free function the headers mark SOLVARD_API, or a member such a class declares
there. Every free function the headers mark is exported. A module's name, a detail of the
library or a helper that leaks into the export table fails the test, naming it.

Usage: exported_names_test.py LIBRARY INCLUDE_DIR
"""
import pathlib
import re
import subprocess
import sys

API_CLASS = re.compile(r"\b(?:class|struct)\s+SOLVARD_API\s+(\w+)")
API_FUNCTION = re.compile(r"^SOLVARD_API\s[^;(]*?\b(\w+)\(", re.MULTILINE)
PREFIXES = ("typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ")


def public_declarations(include_dir):
    """API classes with the text of the header declaring each, and the API free functions."""
    classes, functions = {}, set()
    for header in sorted(pathlib.Path(include_dir, "solvard").glob("*.hpp")):
        text = header.read_text()
        for name in API_CLASS.findall(text):
            classes[name] = text
        functions.update(API_FUNCTION.findall(text))
    return classes, functions


def exported_names(library):
    out = subprocess.run(["nm", "-D", "-C", "--defined-only", library], check=True,
                         capture_output=True, text=True).stdout
    names = []
    for line in out.splitlines():
        fields = line.split(" ", 2)
        if len(fields) < 3 or fields[1] in ("A",):
            continue  # the version node
        names.append(fields[2].split("@@")[0].split("@")[0])
    return names


def qualified_parts(symbol):
    """("typeinfo"|"", ["Line", "fromPort"]) for a demangled symbol."""
    kind = ""
    for prefix in PREFIXES:
        if symbol.startswith(prefix):
            kind, symbol = prefix.strip(), symbol[len(prefix):]
    head = symbol.split("(")[0]
    head = re.sub(r"\[abi:\w+\]", "", head)
    return kind, head.split("::")


def problem(symbol, classes, functions):
    kind, parts = qualified_parts(symbol)
    if parts[0] != "solvard":
        return "outside namespace solvard"
    rest = parts[1:]
    if kind:
        return None if rest in ([name] for name in classes) else "a type no public header marks"
    if len(rest) == 1:
        return None if rest[0] in functions else "a function no public header marks SOLVARD_API"
    if len(rest) != 2 or rest[0] not in classes:
        return "a member of a type no public header marks SOLVARD_API"
    owner, member = rest
    if member in (owner, "~" + owner) or member.startswith("operator"):
        return None
    if re.search(r"\b" + re.escape(member) + r"\s*\(", classes[owner]):
        return None
    return f"a member {owner}'s header does not declare"


def main():
    library, include_dir = sys.argv[1], sys.argv[2]
    classes, functions = public_declarations(include_dir)
    if not classes or not functions:
        print(f"no SOLVARD_API declarations found under {include_dir}")
        return 1
    exported = exported_names(library)
    failures = []
    for symbol in exported:
        why = problem(symbol, classes, functions)
        if why:
            failures.append(f"exported but not public ({why}): {symbol}")
    exported_heads = {tuple(qualified_parts(s)[1]) for s in exported}
    for name in sorted(functions):
        if ("solvard", name) not in exported_heads:
            failures.append(f"public but not exported: solvard::{name}")
    for failure in failures:
        print(failure)
    print(f"{len(exported)} names exported, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
