#!/usr/bin/python3
"""Installs the Dovex kernel for Jupyter, offline: the kernel package with its
Pygments lexer (registered as an entry point), and the kernelspec with the
notebook editor's highlighting. Run it with Debian's /usr/bin/python3, the
Python that sees Debian's Jupyter packages:

    /usr/bin/python3 jupyter/install.py                # for the current user
    /usr/bin/python3 jupyter/install.py --prefix DIR   # under DIR (share/jupyter, lib/python3.X/site-packages)

The kernel runs the dovex binary named by DOVEX_BINARY when that is set, else
the one found now (--binary, else build/dovex of this tree, else dovex on PATH),
else dovex on PATH at the time it starts.
"""

import argparse
import json
import os
import shutil
import site
import sys
import sysconfig
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE = os.path.join(HERE, "dovex_kernel")
sys.path.insert(0, HERE)

try:
    from jupyter_client.kernelspec import KernelSpecManager
except ImportError:
    sys.exit("install.py: jupyter_client is missing for %s; run it with /usr/bin/python3 "
             "(Debian: python3-jupyter-client python3-ipykernel)" % sys.executable)

from dovex_kernel import __version__  # noqa: E402
from dovex_kernel.lexer import EXTENSIONS, KEYWORDS  # noqa: E402


def find_binary(given):
    candidates = [given, os.environ.get("DOVEX_BINARY", ""),
                  os.path.join(os.path.dirname(HERE), "build", "dovex"), shutil.which("dovex") or ""]
    for candidate in candidates:
        if candidate and os.access(candidate, os.X_OK) and os.path.isfile(candidate):
            return os.path.abspath(candidate)
    return ""


def site_folder(prefix):
    if prefix:
        return sysconfig.get_path("purelib", "posix_prefix", vars={"base": prefix, "platbase": prefix})
    return site.getusersitepackages()


def install_package(folder):
    """Copies the package and writes the metadata that registers the lexer."""
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, "dovex_kernel")
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(PACKAGE, target, ignore=shutil.ignore_patterns("__pycache__"))
    for name in os.listdir(folder):
        if name.startswith("dovex_kernel-") and name.endswith(".dist-info"):
            shutil.rmtree(os.path.join(folder, name))
    info = os.path.join(folder, "dovex_kernel-%s.dist-info" % __version__)
    os.makedirs(info)
    files = {
        "METADATA": "Metadata-Version: 2.1\nName: dovex-kernel\nVersion: %s\n"
                    "Summary: A Jupyter kernel for Dovex\n" % __version__,
        "entry_points.txt": "[pygments.lexers]\ndovex = dovex_kernel.lexer:DovexLexer\n",
        "top_level.txt": "dovex_kernel\n",
        "INSTALLER": "dovex install.py\n",
    }
    for name, text in files.items():
        with open(os.path.join(info, name), "w") as out:
            out.write(text)
    installed = [os.path.relpath(os.path.join(root, f), folder)
                 for root, _, names in os.walk(target) for f in names]
    installed += [os.path.join(os.path.basename(info), name) for name in list(files) + ["RECORD"]]
    with open(os.path.join(info, "RECORD"), "w") as out:
        out.writelines("%s,,\n" % path for path in sorted(installed))


def install_kernelspec(binary, prefix, folder):
    argv = [sys.executable, "-m", "dovex_kernel", "-f", "{connection_file}"]
    if binary:
        argv.append("--DovexKernel.binary=%s" % binary)
    kernel_json = {"argv": argv, "display_name": "Dovex", "language": "dovex", "interrupt_mode": "signal",
            "metadata": {"dovex_binary": binary}}
    if prefix:
        kernel_json["env"] = {"PYTHONPATH": folder}
    with open(os.path.join(PACKAGE, "resources", "kernel.js")) as template:
        script = template.read()
    script = script.replace("/*KEYWORDS*/[]", json.dumps(KEYWORDS))
    script = script.replace("/*EXTENSIONS*/[]", json.dumps(EXTENSIONS))
    with tempfile.TemporaryDirectory() as staging:
        with open(os.path.join(staging, "kernel.json"), "w") as out:
            json.dump(kernel_json, out, indent=1)
        with open(os.path.join(staging, "kernel.js"), "w") as out:
            out.write(script)
        return KernelSpecManager().install_kernel_spec(staging, "dovex", user=not prefix, prefix=prefix or None)


def main():
    parser = argparse.ArgumentParser(description="Install the Dovex kernel for Jupyter.")
    parser.add_argument("--prefix", help="install under this folder instead of for the current user")
    parser.add_argument("--binary", default="", help="the dovex binary the kernel runs")
    args = parser.parse_args()
    prefix = os.path.abspath(args.prefix) if args.prefix else ""
    binary = find_binary(args.binary)
    folder = site_folder(prefix)
    install_package(folder)
    where = install_kernelspec(binary, prefix, folder)
    print("Installed the Dovex kernel in %s and its package in %s." % (where, folder))
    print("It runs %s (DOVEX_BINARY overrides it)." % (binary or "dovex from PATH"))
    if prefix:
        print("Jupyter finds it with JUPYTER_PATH=%s and PYTHONPATH=%s."
              % (os.path.join(prefix, "share", "jupyter"), folder))


if __name__ == "__main__":
    main()
