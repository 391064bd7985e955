#!/usr/bin/env python3
"""The install tree: `cmake --install` into a temporary prefix puts the
binary, the library, the documentation and the manual page in place; the
installed binary finds its library from any folder (`-l gates`, and a
library that exists only in the installed folder); `man -l` reads the page,
which describes every option `--help` lists.

Usage: install_test.py CMAKE BUILD_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def main():
    cmake, build = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as prefix, tempfile.TemporaryDirectory() as elsewhere:
        subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True, capture_output=True)
        for part in ("bin/dovex", "share/dovex/lib/gates.txt", "share/doc/dovex/README.md",
                     "share/doc/dovex/docs/language.md", "share/doc/dovex/examples/bell.txt",
                     "share/man/man1/dovex.1"):
            assert os.path.isfile(os.path.join(prefix, part)), part
        binary = os.path.join(prefix, "bin", "dovex")
        env = {k: v for k, v in os.environ.items() if k != "DOVEX_PATH"}

        def dovex(*args):
            return subprocess.run([binary, *args], cwd=elsewhere, env=env, capture_output=True, text=True, timeout=60)

        run = dovex("-l", "gates", "-e", "get_element (mult (get H) (get X)) 0 1")
        assert (run.stdout, run.returncode) == ("complex temp = 0.707107 + 0i\n\n", 0), run
        with open(os.path.join(prefix, "share/dovex/lib/probe.txt"), "w") as f:
            f.write("begin\n(new integer probe)\n(set probe 7)\n")
        run = dovex("-l", "probe", "-e", "get probe")
        assert (run.stdout, run.returncode) == ("integer probe = 7\n\n", 0), run
        options = set()
        for line in dovex("--help").stdout.splitlines():
            if line.startswith("  -"):
                options.update(re.findall(r"(?<![\w-])(--?[a-z][\w-]*)", line))

        if shutil.which("man") is None:
            print("SKIPPED: man is not installed (Debian package man-db); the install itself passed")
            return SKIP
        page = os.path.join(prefix, "share/man/man1/dovex.1")
        text = subprocess.run(["man", "-l", "-P", "cat", page], env=dict(env, MANWIDTH="80"),
                              capture_output=True, text=True, check=True).stdout
        assert text.startswith("DOVEX(1)"), text[:200]
        missing = sorted(o for o in options if o not in text)
        assert not missing, ("options of --help not in the manual page", missing)
        by_name = subprocess.run(["man", "-M", os.path.join(prefix, "share/man"), "-P", "cat", "dovex"],
                                 env=dict(env, MANWIDTH="80"), capture_output=True, text=True)
        assert by_name.stdout == text, "man dovex finds the installed page"
    print("install tree: binary, library, docs and manual page in place; %d options documented" % len(options))
    return 0


if __name__ == "__main__":
    sys.exit(main())
