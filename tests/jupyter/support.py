"""What the Jupyter tests share: a skip that CTest reports, and a kernel
installed afresh into a temporary prefix, seen through a private Jupyter
environment (nothing of the user's is read or written)."""

import importlib
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77  # CTest's SKIP_RETURN_CODE for these tests
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def skip(reason):
    print("skipped: " + reason)
    sys.exit(SKIPPED)


def require(modules=(), programs=(), packages=""):
    """Skips the test unless the Python modules and programs are there."""
    missing = []
    for module in modules:
        try:
            importlib.import_module(module)
        except ImportError:
            missing.append(module)
    missing += [p for p in programs if shutil.which(p) is None]
    if missing:
        skip("%s not found (Debian: %s)" % (", ".join(missing), packages))


class Sandbox:
    """A temporary folder with the kernel installed under it; os.environ
    points Jupyter there while the sandbox is open."""

    def __init__(self, binary):
        self.binary = os.path.abspath(binary)

    def __enter__(self):
        self._temp = tempfile.TemporaryDirectory(prefix="dovex-jupyter-")
        self.root = self._temp.name
        prefix = os.path.join(self.root, "prefix")
        self.work = os.path.join(self.root, "work")
        os.makedirs(self.work)
        installed = subprocess.run(
            [sys.executable, os.path.join(SOURCE_DIR, "jupyter", "install.py"), "--prefix", prefix,
             "--binary", self.binary], capture_output=True, text=True, env=self._private_env({}))
        assert installed.returncode == 0, installed.stderr
        site = [line for line in installed.stdout.split() if line.startswith("PYTHONPATH=")][0]
        self.site = site[len("PYTHONPATH="):].rstrip(".")
        self._saved = dict(os.environ)
        os.environ.update(self._private_env({
            "JUPYTER_PATH": os.path.join(prefix, "share", "jupyter"),
            "PYTHONPATH": self.site,
            "DOVEX_BINARY": self.binary,
        }))
        sys.path.insert(0, self.site)
        return self

    def _private_env(self, extra):
        env = dict(os.environ)
        for name, sub in (("JUPYTER_CONFIG_DIR", "config"), ("JUPYTER_DATA_DIR", "data"),
                          ("JUPYTER_RUNTIME_DIR", "runtime"), ("IPYTHONDIR", "ipython")):
            env[name] = os.path.join(self.root, sub)
        env["JUPYTER_PLATFORM_DIRS"] = "1"
        env.update(extra)
        return env

    def copy_examples(self, *names):
        for name in names:
            shutil.copy(os.path.join(SOURCE_DIR, "examples", name), self.work)

    def __exit__(self, *exc):
        os.environ.clear()
        os.environ.update(self._saved)
        sys.path.remove(self.site)
        self._temp.cleanup()
