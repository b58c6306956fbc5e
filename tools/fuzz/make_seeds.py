#!/usr/bin/env python3
"""Writes the fuzzer's generated seeds: every examples/*.qob and every source text in the tables of the
compiler tests, each behind an options byte (see compiler_fuzz.cpp). Usage: make_seeds.py ROOT OUTDIR"""
import hashlib
import pathlib
import re
import sys

# Line numbers on, MaxLabels 1000, MaxAsmLines 1000; and the same without line numbers.
OPTION_BYTES = (b"\x7f", b"\x7e")
# The first C string literal of a table row: {"source", ...
ROW = re.compile(r'\{\s*"((?:[^"\\]|\\.)*)"')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\", "'": "'", "0": "\0"}


def unescape(literal):
    out, i = [], 0
    while i < len(literal):
        c = literal[i]
        if c == "\\" and i + 1 < len(literal):
            nxt = literal[i + 1]
            if nxt == "x":
                m = re.match(r"[0-9a-fA-F]{1,2}", literal[i + 2:])
                if m:
                    out.append(chr(int(m.group(0), 16)))
                    i += 2 + len(m.group(0))
                    continue
            out.append(ESCAPES.get(nxt, nxt))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def sources(root):
    for path in sorted((root / "examples").glob("*.qob")):
        yield path.read_bytes()
    for path in sorted((root / "compiler" / "tests").glob("*.cpp")):
        for match in ROW.finditer(path.read_text(errors="replace")):
            text = unescape(match.group(1)).replace("\r\n", "\n").replace("\n", "\r\n")
            yield text.encode("latin-1", errors="replace")


def main():
    root, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for source in sources(root):
        for option in OPTION_BYTES:
            seed = option + source
            (out / hashlib.sha1(seed).hexdigest()).write_bytes(seed)
            count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()
