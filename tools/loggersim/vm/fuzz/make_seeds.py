#!/usr/bin/env python3
"""Writes the seeds of loggervm_fuzz (tools/loggersim/vm/fuzz/corpus): the code of every examples/*.qob, compiled
by qobc, behind a set-up byte (see loggervm_fuzz.cpp), once with each header kind. Run it with the qobc of
a normal build after the examples or the code the compiler emits change.
Usage: make_seeds.py ROOT QOBC OUTDIR"""
import hashlib
import pathlib
import re
import subprocess
import sys

# Long or short header, typed input and Ctrl+C on, 64 slices.
SETUP_BYTES = (b"\xff", b"\xfe")


def code_of(qobc, path):
    listing = subprocess.run([qobc, "--code", str(path)], capture_output=True, text=True, check=True).stdout
    data = bytearray()
    for line in listing.splitlines():
        row = re.match(r"[0-9A-F]{4,}: ([0-9A-F ]+)$", line)
        if row:
            data += bytes.fromhex(row.group(1))
    return bytes(data)


def main():
    root, qobc, out = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for path in sorted((root / "examples").glob("*.qob")):
        code = code_of(qobc, path)
        for setup in SETUP_BYTES:
            seed = setup + code
            if len(seed) % 5 == 0:  # that length is read as a whole image; keep it a set-up byte and code
                seed += b"\x19"
            (out / hashlib.sha1(seed).hexdigest()).write_bytes(seed)
            count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()
