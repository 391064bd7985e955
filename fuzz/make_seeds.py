#!/usr/bin/env python3
"""Builds the seed corpora: the input lines of every transcript test (one
seed per test) for fuzz_lines, the example programs for fuzz_script, and
command lines that run them (as a FILE, from standard input, with -e, as a
session) for fuzz_command_line.

Usage: make_seeds.py OUT_LINES_DIR OUT_SCRIPTS_DIR [OUT_COMMAND_LINE_DIR]
"""
import ast
import hashlib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CALL = re.compile(r'transcript\(\s*\{(.*?)\}\s*[,)]', re.S)
STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')


def c_string(body):
    # C escapes used in the tests are a subset of Python's.
    return ast.literal_eval('"' + body + '"')


def save(directory, text):
    os.makedirs(directory, exist_ok=True)
    data = text.encode("utf-8", "surrogateescape")
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


# Command lines (arguments separated by NUL bytes) with what they read.
COMMAND_LINES = [
    "-e\0add 1 2\n",
    "--seed\x0042\0-e\0sample (matrix 4 1 (complex 0.5 0) (complex 0.5 0) (complex 0.5 0) (complex 0.5 0)) 8\n",
    "-q\nglobal (new integer g)\nuser.input integer\n7\nget g\n",
    "\nadd 1 1\n!state\n",
    "--version\n",
    "--seed=7\0--\0missing.dvx\n",
    "-e\0begin (new_file o.txt) (print_file o.txt 1 2) (file o.txt)\n",
]


def main(lines_dir, scripts_dir, command_line_dir=None):
    tests = os.path.join(ROOT, "tests")
    for name in sorted(os.listdir(tests)):
        if not name.endswith("_test.cpp"):
            continue
        source = open(os.path.join(tests, name), encoding="utf-8").read()
        for call in CALL.finditer(source):
            try:
                lines = [c_string(s) for s in STRING.findall(call.group(1))]
            except (ValueError, SyntaxError):
                continue
            if lines:
                save(lines_dir, "\n".join(lines) + "\n")
    examples = os.path.join(ROOT, "examples")
    if os.path.isdir(examples):
        for name in sorted(os.listdir(examples)):
            path = os.path.join(examples, name)
            if os.path.isfile(path) and not name.endswith(".md"):
                save(scripts_dir, open(path, encoding="utf-8", errors="surrogateescape").read())
                save(lines_dir, "file " + path + "\n")
                if command_line_dir:
                    text = open(path, encoding="utf-8", errors="surrogateescape").read()
                    save(command_line_dir, "--seed\x001\0script.dvx\n" + text)
                    save(command_line_dir, "-\n" + text)
    if command_line_dir:
        for seed in COMMAND_LINES:
            save(command_line_dir, seed)


if __name__ == "__main__":
    main(*sys.argv[1:4])
