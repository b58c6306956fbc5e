#!/usr/bin/env python3
"""Writes quobol.tmLanguage.json, the TextMate grammar of Quobol, with its keyword lists taken from the
compiler's documented keyword table (compiler/keyworddocs.h), so that editors colour exactly the words
the compiler knows.

Usage: make_grammar.py [--check]   (--check: fail when the committed grammar is not what this writes)
"""
import json
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "..", "compiler", "keyworddocs.h")
GRAMMAR = os.path.join(HERE, "quobol.tmLanguage.json")
ROW = re.compile(r'^\s*\{"([A-Z0-9]+)", KeywordRole::(\w+),', re.M)
LABEL_STATEMENTS = ["GOTO", "GOSUB", "RUN", "ONERR", "CBREAK"]


def keywords():
    with open(TABLE, encoding="utf-8") as f:
        rows = ROW.findall(f.read())
    if len(rows) != 102:
        sys.exit(f"expected the 102 keywords in {TABLE}, found {len(rows)}")
    return rows


def alternation(words):
    # Longest first, so that LOG10 is not taken as LOG followed by 10.
    return "|".join(sorted(words, key=lambda w: (-len(w), w)))


def grammar():
    rows = keywords()
    functions = [name for name, role in rows if role == "Function"]
    statements = [name for name, role in rows if role != "Function" and name not in ("ASM", "REM")]
    name = r"[A-Za-z_@][A-Za-z0-9_@]*"
    return {
        "name": "Quobol",
        "scopeName": "source.quobol",
        "fileTypes": ["qob"],
        "patterns": [
            {"include": "#comments"},
            {"include": "#asm-block"},
            {"include": "#label-definition"},
            {"include": "#label-reference"},
            {"include": "#strings"},
            {"include": "#formats"},
            {"include": "#numbers"},
            {"include": "#keywords"},
            {"match": r"<=|>=|<>|><|[-+*/%=<>&|^]", "name": "keyword.operator.quobol"},
        ],
        "repository": {
            "comments": {"patterns": [
                {"match": r"^'.*$", "name": "comment.line.quote.quobol"},
                {"match": r"(?i)\bREM(?:[ \t].*)?$", "name": "comment.line.rem.quobol"},
                {"match": r"//.*$", "name": "comment.line.double-slash.quobol"},
            ]},
            "label-definition": {
                "match": rf"^[ \t]*(?!(?i:{alternation(n for n, _ in rows)}):)({name})(:)",
                "captures": {"1": {"name": "entity.name.label.quobol"},
                             "2": {"name": "punctuation.separator.label.quobol"}},
            },
            "label-reference": {
                "match": rf"(?i)\b({alternation(LABEL_STATEMENTS)})\b[ \t]+(?!(?i:{alternation(n for n, _ in rows)})\b)({name})",
                "captures": {"1": {"name": "keyword.control.quobol"}, "2": {"name": "entity.name.label.quobol"}},
            },
            "strings": {"patterns": [
                {"begin": '"', "end": '"|$', "name": "string.quoted.double.quobol",
                 "patterns": [{"match": r"\\.", "name": "constant.character.escape.quobol"}]},
                {"match": r"(?<=.)'(?:\\.|[^'\\\n])+'", "name": "constant.character.quobol"},
            ]},
            "formats": {"match": r"#(?:\d*(?:\.\d+)?[FfSs]|\d+[BbDdHhQq]?)(?![A-Za-z0-9_@])",
                        "name": "constant.other.format.quobol"},
            "numbers": {"patterns": [
                {"match": r"&(?:[Hh][0-9A-Fa-f]+|[Oo][0-7]+|[Bb][01]+)", "name": "constant.numeric.radix.quobol"},
                {"match": r"(?<![A-Za-z0-9_@])(?:\d+\.\d*|\.\d+|\d+)(?:[Ee][+-]?\d+)?", "name": "constant.numeric.quobol"},
            ]},
            "keywords": {"patterns": [
                {"match": rf"(?i)(?<![A-Za-z0-9_@])(?:{alternation(functions)})(?![A-Za-z0-9_@$!])",
                 "name": "support.function.quobol"},
                {"match": rf"(?i)(?<![A-Za-z0-9_@])(?:{alternation(statements)})(?![A-Za-z0-9_@$!])",
                 "name": "keyword.control.quobol"},
            ]},
            # ASM $ or ASM address, then HD6301 lines up to an indented "end".
            "asm-block": {
                "begin": r"(?i)(?<![A-Za-z0-9_@])(ASM)(?![A-Za-z0-9_@$!])(.*)$",
                "beginCaptures": {"1": {"name": "keyword.control.quobol"}},
                "end": r"(?i)^([ \t]+)(end)\b.*$",
                "endCaptures": {"2": {"name": "keyword.control.directive.asm.quobol"}},
                "contentName": "meta.embedded.block.hd6301.quobol",
                "patterns": [
                    {"match": r";.*$", "name": "comment.line.semicolon.asm.quobol"},
                    {"match": r"^([A-Za-z_@.][A-Za-z0-9_@.]*)", "name": "entity.name.label.asm.quobol"},
                    {"match": r"(?<=[ \t])([A-Za-z]{2,5})(?:\.[bwlqBWLQ])?(?=[ \t]|$)", "name": "keyword.other.mnemonic.asm.quobol"},
                    {"match": r"\$[0-9A-Fa-f]+|%[01]+|@[0-7]+|\b\d+\b", "name": "constant.numeric.asm.quobol"},
                    {"match": r"'[^']*'", "name": "string.quoted.single.asm.quobol"},
                ],
            },
        },
    }


def main():
    text = json.dumps(grammar(), indent=2) + "\n"
    if "--check" in sys.argv[1:]:
        with open(GRAMMAR, encoding="utf-8") as f:
            if f.read() != text:
                sys.exit("quobol.tmLanguage.json is not what make_grammar.py writes from the keyword table: run it")
        return
    with open(GRAMMAR, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
