#!/usr/bin/env python3
"""Each program's manual page lists the same options as its --help.

Usage: manpages_test.py --man-dir DIR --program NAME=PATH [--program NAME=PATH ...]

An option is a word such as -o or --output-dir, found in the whole --help text and in the manual page
(roff escapes resolved) outside its EXAMPLES, which may show other programs at work. A program without
a page, or a page that names an option the program does not know or leaves one out, fails.
"""
import argparse
import os
import re
import subprocess
import sys
import unittest

OPTION = re.compile(r"(?<![\w/.\-])(--?[A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9]+)*)")


def roff_to_text(roff):
    """Drops the font and spacing escapes that sit inside option words in roff."""
    text = roff.replace("\\-", "-").replace("\\(dq", '"')
    text = re.sub(r"\\f[BIRP]|\\f\[[A-Z]*\]|\\&|\\c", "", text)
    # Request names (.TP, .BR ...) start a line and are not options.
    return "\n".join(re.sub(r"^\.[A-Za-z]+\s?", "", line) for line in text.splitlines())


def without_examples(roff):
    return re.sub(r"(?ms)^\.SH EXAMPLES?$.*?(?=^\.SH )", "", roff)


def options_in(text):
    return set(OPTION.findall(text))


def help_text(path):
    # Without a display: the workbench must answer --help before it needs one.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    result = subprocess.run([path, "--help"], capture_output=True, text=True, timeout=60, env=env)
    if result.returncode != 0:
        raise AssertionError(f"{path} --help exited with {result.returncode}: {result.stderr}")
    return result.stdout


class ManPagesMatchHelp(unittest.TestCase):
    man_dir = ""
    programs = {}

    def test_the_option_words_are_found(self):
        cases = [
            ("  -o, --output-dir DIR   where output files go", {"-o", "--output-dir"}),
            (".BR \\-o \", \" \\-\\-output\\-dir \" \\fIDIR\\fR\"", {"-o", "--output-dir"}),
            (".BI \\-\\-max\\-asm\\-lines \" N\"", {"--max-asm-lines"}),
            ("under /dev/serial/by\\-id and file.tar-gz, a well-known name", set()),
            ("  --  every argument after it is a file name; -1 is a number", set()),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(options_in(roff_to_text(text)), expected)

    def test_examples_are_left_out(self):
        page = ".SH OPTIONS\n.B \\-\\-run\n.SH EXAMPLES\nloggersim \\-\\-link x\n.SH SEE ALSO\n.B \\-\\-see\n"
        self.assertEqual(options_in(roff_to_text(without_examples(page))), {"--run", "--see"})

    def test_every_program_has_a_page_with_its_options(self):
        self.assertTrue(self.programs, "no programs given")
        for name, path in sorted(self.programs.items()):
            with self.subTest(program=name):
                page = os.path.join(self.man_dir, name + ".1")
                self.assertTrue(os.path.isfile(page), f"{name} has no manual page {page}")
                with open(page, encoding="utf-8") as f:
                    in_page = options_in(roff_to_text(without_examples(f.read())))
                in_help = options_in(help_text(path))
                self.assertIn("--help", in_help)
                self.assertEqual(sorted(in_page - in_help), [], f"{name}: in the manual page but not in --help")
                self.assertEqual(sorted(in_help - in_page), [], f"{name}: in --help but not in the manual page")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--man-dir", required=True)
    parser.add_argument("--program", action="append", default=[])
    args, rest = parser.parse_known_args()
    ManPagesMatchHelp.man_dir = args.man_dir
    ManPagesMatchHelp.programs = dict(p.split("=", 1) for p in args.program)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
