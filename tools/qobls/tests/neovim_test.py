#!/usr/bin/env python3
"""Neovim, started headless with a small Lua configuration, as the client of qobls.

Usage: neovim_test.py --qobls PATH --qobc PATH --examples DIR

Each example gets an error line injected in its middle; Neovim opens it, and the diagnostic it holds
(vim.diagnostic.get()) must sit at the line and column qobc prints for the same file, with the same
message. Completion, hover and go to definition through Neovim's client must answer. Exits with 77
(skipped) when Neovim is not installed.
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ARGS = None
INJECTED = "  Total = Total + * I"


def inject_error(lines):
    """The error line goes in the middle, outside any ASM block (whose lines are assembler)."""
    middle = len(lines) // 2
    in_asm = False
    for index, line in enumerate(lines):
        if re.match(r"\s*ASM\b", line, re.I):
            in_asm = True
        elif in_asm and re.match(r"\s+end\b", line, re.I):
            in_asm = False
        elif index >= middle and not in_asm:
            return lines[:index] + [INJECTED] + lines[index:], index
    return lines + [INJECTED], len(lines)


class NeovimShowsQoblsDiagnostics(unittest.TestCase):
    def run_neovim(self, folder, path, complete_line):
        result_file = os.path.join(folder, "result.json")
        env = dict(os.environ, QOBLS=ARGS.qobls, QOBLS_RESULT=result_file, QOBLS_COMPLETE_LINE=str(complete_line))
        for variable in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"):
            env[variable] = os.path.join(folder, variable.lower())
        subprocess.run(["nvim", "--headless", "-n", "-i", "NONE", "-u", os.path.join(HERE, "neovim_client.lua"), path],
                       env=env, cwd=folder, capture_output=True, timeout=60, check=False)
        self.assertTrue(os.path.exists(result_file), "Neovim wrote no result")
        with open(result_file, encoding="utf-8") as f:
            return json.load(f)

    def test_examples_with_an_injected_error(self):
        examples = sorted(glob.glob(os.path.join(ARGS.examples, "*.qob")))
        self.assertTrue(examples)
        for example in examples:
            with self.subTest(example=os.path.basename(example)), tempfile.TemporaryDirectory() as folder:
                with open(example, encoding="latin-1") as f:
                    lines, index = inject_error(f.read().splitlines())
                path = os.path.join(folder, os.path.basename(example))
                with open(path, "w", encoding="latin-1") as f:
                    f.write("\n".join(lines) + "\n")
                qobc = subprocess.run([ARGS.qobc, path], capture_output=True, text=True, timeout=60)
                match = re.match(re.escape(path) + r":(\d+):(\d+): error: (.*)$", qobc.stderr.strip())
                self.assertIsNotNone(match, qobc.stderr)
                line, column, message = int(match.group(1)), int(match.group(2)), match.group(3)

                result = self.run_neovim(folder, path, index)
                self.assertEqual(len(result["diagnostics"]), 1, result)
                diagnostic = result["diagnostics"][0]
                self.assertEqual((diagnostic["lnum"] + 1, diagnostic["col"] + 1), (line, column))
                self.assertEqual(diagnostic["message"], message)
                self.assertEqual(diagnostic["source"], "qobc")
                self.assertIn("PRINT", result["completion"])
                self.assertIn("GOSUB", result["completion"])
                self.assertIn("**Total**", result.get("hover", ""))
                self.assertLessEqual(result.get("definition", index + 1), index, "Total is defined up to its line")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--qobls", required=True)
    parser.add_argument("--qobc", required=True)
    parser.add_argument("--examples", required=True)
    ARGS, rest = parser.parse_known_args()
    if shutil.which("nvim") is None:
        print("SKIPPED: Neovim (nvim) is not installed; scripts/install-deps.sh installs it")
        return 77
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
