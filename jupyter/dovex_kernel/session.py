"""The `dovex --kernel` process and the frames it speaks (see PROTOCOL.md)."""

import os
import shutil
import signal
import subprocess


class SessionEnded(Exception):
    """The dovex process closed its channel (it ended or crashed)."""


def find_binary(configured=""):
    """The dovex binary: $DOVEX_BINARY, else the one recorded at install, else PATH."""
    named = os.environ.get("DOVEX_BINARY", "")
    if named and not os.access(named, os.X_OK):
        raise FileNotFoundError("DOVEX_BINARY=%s is not an executable file" % named)
    for candidate in (named, configured):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    found = shutil.which("dovex")
    if found:
        return found
    raise FileNotFoundError(
        "no dovex binary: build it (cmake --build build), set DOVEX_BINARY, "
        "or put dovex on PATH")


class DovexSession:
    """One dovex process serving framed requests."""

    def __init__(self, binary, cwd=None):
        # A session of its own, so only the interrupts this kernel forwards
        # reach it (the front end signals the kernel's whole process group).
        self.process = subprocess.Popen(
            [binary, "--kernel"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            cwd=cwd, start_new_session=True, bufsize=0)
        self._held = bytearray()
        kind, payload = self.read_frame()
        if kind != "ready":
            raise SessionEnded("the dovex process did not start a kernel session")
        lines = payload.decode("utf-8", "replace").splitlines()
        self.protocol = lines[0] if lines else ""
        self.title = lines[1] if len(lines) > 1 else ""

    def send(self, kind, payload=b""):
        """Sends the request KIND with PAYLOAD (bytes or str)."""
        if isinstance(payload, str):
            payload = payload.encode("utf-8")
        try:
            self.process.stdin.write(b"%s %d\n" % (kind.encode("ascii"), len(payload)) + payload)
            self.process.stdin.flush()
        except (BrokenPipeError, ValueError) as error:
            raise SessionEnded(str(error)) from error

    def _fill(self):
        chunk = os.read(self.process.stdout.fileno(), 1 << 16)
        if not chunk:
            raise SessionEnded("the dovex process ended")
        self._held += chunk

    def read_frame(self):
        """The next frame as (kind, payload bytes). A KeyboardInterrupt may
        come out of the wait; nothing is lost then."""
        while b"\n" not in self._held:
            self._fill()
        end = self._held.index(b"\n")
        kind, _, length = bytes(self._held[:end]).decode("ascii").partition(" ")
        length = int(length)
        while len(self._held) < end + 1 + length:
            self._fill()
        payload = bytes(self._held[end + 1:end + 1 + length])
        del self._held[:end + 1 + length]
        return kind, payload

    def request(self, kind, payload):
        """Sends a request that is answered by one frame; returns the answer."""
        self.send(kind, payload)
        return self.read_frame()

    def interrupt(self):
        """Breaks the running line, as Ctrl-C does at a terminal."""
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGINT)

    def alive(self):
        return self.process.poll() is None

    def close(self, timeout=5):
        """Ends the process: end of input first, then a kill."""
        try:
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        return self.process.returncode
