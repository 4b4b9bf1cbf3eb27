#!/usr/bin/env python3
"""A shared library exports exactly the C names its public headers declare.

    check-exports.py NM LIBRARY HEADER...

Reads the function and data names declared in the headers (plain C, as
include/ writes them) and the dynamic symbols LIBRARY defines (nm -D
--defined-only), and fails on a name exported without a declaration (an
internal name reachable by other programs) and on a declared name the
library does not export.  Names of the toolchain and the sanitizers (_init,
_fini, _edata, _end, __bss_start and every name starting with "__") are
not the library's own.
"""
import re
import subprocess
import sys

TOOLCHAIN = {"_init", "_fini", "_edata", "_end", "__bss_start"}
IDENTIFIER = re.compile(r"[A-Za-z_]\w*")


def without_blocks(text):
    """TEXT with every {...} removed (record and enum bodies)."""
    out, depth = [], 0
    for c in text:
        if c == "{":
            depth += 1
        elif c == "}":
            depth -= 1
        elif depth == 0:
            out.append(c)
    return "".join(out)


def declared(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    # The C++ guards hold nothing but the braces of extern "C".
    text = re.sub(r"#ifdef __cplusplus\n.*?#endif", " ", text, flags=re.S)
    text = re.sub(r"^\s*#(?:[^\n]*\\\n)*[^\n]*", " ", text, flags=re.M)
    names = set()
    for statement in without_blocks(text).split(";"):
        statement = " ".join(statement.split())
        # Type definitions and record or enum declarations name no object.
        if not statement or statement.startswith("typedef") or re.fullmatch(r"(struct|union|enum)( \w+)?", statement):
            continue
        if "(" in statement:
            # A function: the name stands before its parameter list.
            head = statement[: statement.index("(")]
        else:
            # Data: the last name before an array size or an initialiser.
            head = re.split(r"[\[=]", statement)[0]
        found = IDENTIFIER.findall(head)
        if found:
            names.add(found[-1])
    return names


def exported(nm, library):
    result = subprocess.run([nm, "-D", "--defined-only", library], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{library}: {nm} failed: {result.stderr.strip()}")
    names = set()
    for line in result.stdout.splitlines():
        fields = line.split()
        if len(fields) >= 2:
            name = fields[-1].split("@")[0]
            if name not in TOOLCHAIN and not name.startswith("__"):
                names.add(name)
    return names


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    nm, library, headers = sys.argv[1], sys.argv[2], sys.argv[3:]
    want = set().union(*(declared(h) for h in headers))
    have = exported(nm, library)
    for name in sorted(have - want):
        print(f"{library}: exports {name}, which no public header declares")
    for name in sorted(want - have):
        print(f"{library}: does not export {name}, which a public header declares")
    if have != want:
        return 1
    print(f"{library}: exports exactly the {len(want)} names of {len(headers)} public headers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
