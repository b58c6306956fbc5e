#!/usr/bin/env python3
"""The editor packages: the TextMate grammar against its tests, and the VS Code extension built.

Usage: editors_test.py grammar|vsix --work DIR

Both need npm and its registry for their tools (vscode-tmgrammar-test, @vscode/vsce), which are
installed into DIR, never into the source tree. Without npm, or when the registry cannot be reached,
the test says so and exits with 77 (skipped).
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import zipfile

EDITORS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SKIP = 77


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def run(command, **kwargs):
    print("+", " ".join(command), flush=True)
    return subprocess.run(command, timeout=900, **kwargs)


def tools(work):
    """The npm tools of editors/package.json in work/tools (installed once)."""
    if shutil.which("npm") is None:
        skip("npm is not installed")
    folder = os.path.join(work, "tools")
    if os.path.exists(os.path.join(folder, "node_modules", ".bin", "vsce")):
        return folder
    if run(["npm", "ping"], capture_output=True).returncode != 0:
        skip("the npm registry cannot be reached")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(EDITORS, "package.json"), folder)
    if run(["npm", "install", "--prefix", folder, "--no-audit", "--no-fund", "--loglevel=error"]).returncode != 0:
        sys.exit("npm install of the editor tools failed")
    return folder


def grammar(work):
    textmate = os.path.join(EDITORS, "textmate")
    check = run([sys.executable, os.path.join(textmate, "make_grammar.py"), "--check"])
    if check.returncode != 0:
        return 1
    folder = tools(work)
    tests = sorted(glob.glob(os.path.join(textmate, "tests", "*.qob")))
    command = [os.path.join(folder, "node_modules", ".bin", "vscode-tmgrammar-test"),
               "-g", os.path.join(textmate, "quobol.tmLanguage.json")] + tests
    return run(command).returncode


def vsix(work):
    folder = tools(work)
    out = os.path.join(work, "vsix")
    shutil.rmtree(out, ignore_errors=True)
    if run(["bash", os.path.join(EDITORS, "vscode", "build.sh"), out, folder]).returncode != 0:
        return 1
    packages = glob.glob(os.path.join(out, "*.vsix"))
    if len(packages) != 1:
        print(f"expected one .vsix in {out}, found {packages}")
        return 1
    names = set(zipfile.ZipFile(packages[0]).namelist())
    wanted = {"extension/package.json", "extension/extension.js", "extension/language-configuration.json",
              "extension/syntaxes/quobol.tmLanguage.json",
              "extension/node_modules/vscode-languageclient/package.json"}
    missing = sorted(wanted - names)
    if missing:
        print(f"{packages[0]} lacks {missing}")
        return 1
    print(f"built {packages[0]} ({len(names)} files)")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["grammar", "vsix"])
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    return grammar(work) if args.what == "grammar" else vsix(work)


if __name__ == "__main__":
    sys.exit(main())
