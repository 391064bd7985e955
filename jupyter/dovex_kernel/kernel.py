"""The Dovex kernel: cells run in a `dovex --kernel` process, as lines at its prompt."""

import codecs
import re

from ipykernel.kernelbase import Kernel
from traitlets import Unicode

from dovex_kernel import __version__
from dovex_kernel.session import DovexSession, SessionEnded, find_binary

# A location note on standard error: FILE:LINE:COL: what happened.
LOCATION_NOTE = re.compile(r"^\S+:\d+:\d+: ")
# How the language's own reports begin (they are printed on standard output).
REPORT = re.compile(r"^(Error|Syntax [Ee]rror|Cannot |.* error\b)")


class CellRun:
    """What one cell sent back, collected while it is shown."""

    def __init__(self):
        self.flags = {}
        self.notes = []
        self.reports = []
        self.decoders = {name: codecs.getincrementaldecoder("utf-8")("replace")
                         for name in ("stdout", "stderr")}

    def text(self, stream, payload, final=False):
        text = self.decoders[stream].decode(payload, final)
        lines = text.splitlines()
        if stream == "stderr":
            self.notes += [line for line in lines if LOCATION_NOTE.match(line)]
        else:
            self.reports += [line for line in lines if REPORT.match(line)]
        return text


class DovexKernel(Kernel):
    implementation = "dovex_kernel"
    implementation_version = __version__
    language = "dovex"
    language_version = __version__
    language_info = {
        "name": "dovex",
        "version": __version__,
        "mimetype": "text/x-dovex",
        "file_extension": ".dvx",
        "pygments_lexer": "dovex",
        "codemirror_mode": "dovex",
    }
    help_links = []

    binary = Unicode("", config=True, help="The dovex binary recorded at install (DOVEX_BINARY wins).")

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.dovex = None
        self._start()

    @property
    def banner(self):
        title = self.dovex.title if self.dovex else "Dovex"
        return title + "\nCells run as lines at the prompt; !help lists the keywords."

    def _start(self):
        self.dovex = DovexSession(find_binary(self.binary))

    def _restart(self):
        if self.dovex:
            self.dovex.close(timeout=1)
        self._start()

    # --- output ---

    def _stream(self, name, text):
        if text:
            self.send_response(self.iopub_socket, "stream", {"name": name, "text": text})

    def _show_file(self, payload):
        media, _, rest = payload.partition(b"\n")
        path, _, content = rest.partition(b"\n")
        if media == b"image/svg+xml" and content:
            # Shown inline as an element of the page: from <svg on (an XML
            # declaration there would stop the HTML export).
            svg = content.decode("utf-8", "replace")
            svg = svg[max(svg.find("<svg"), 0):]
            self.send_response(self.iopub_socket, "display_data", {
                "data": {"image/svg+xml": svg,
                         "text/plain": "<plot %s>" % path.decode("utf-8", "replace")},
                "metadata": {}})

    def _error(self, ename, evalue, traceback, silent):
        content = {"ename": ename, "evalue": evalue, "traceback": traceback}
        if not silent:
            self.send_response(self.iopub_socket, "error", content)
        return dict(status="error", execution_count=self.execution_count, **content)

    # --- requests ---

    def _ask(self, prompt, allow_stdin, interrupt):
        """A line for user.input through the front end; None for end of input."""
        if not allow_stdin:
            return None
        self._allow_stdin = True
        try:
            return self.raw_input(prompt)
        except KeyboardInterrupt:
            interrupt()
            return None
        except Exception:
            return None

    def _take_frame(self, kind, payload, run, state, silent, allow_stdin, interrupt):
        """Shows or answers one frame of a running cell; True at its end."""
        if kind == "started":
            state["started"] = True
            if state["pending"]:
                self.dovex.interrupt()
        elif kind in ("out", "err"):
            name = "stdout" if kind == "out" else "stderr"
            text = run.text(name, payload)
            if not silent:
                self._stream(name, text)
        elif kind == "file":
            if not silent:
                self._show_file(payload)
        elif kind == "input":
            line = self._ask(payload.decode("utf-8", "replace"), allow_stdin, interrupt)
            if line is None:
                self.dovex.send("eof")
            else:
                self.dovex.send("reply", line + "\n")
        elif kind == "done":
            run.flags = dict(item.split("=", 1) for item in payload.decode().split())
            return True
        return False

    def do_execute(self, code, silent, store_history=True, user_expressions=None, allow_stdin=False):
        if not self.dovex or not self.dovex.alive():
            self._restart()
        run = CellRun()
        state = {"started": False, "pending": False}

        def interrupt():
            # Forwarded only once the cell has started, so the interrupt can
            # never be taken for the previous cell's.
            if state["started"]:
                self.dovex.interrupt()
            else:
                state["pending"] = True

        try:
            self.dovex.send("run", "cell[%d]\n%s" % (self.execution_count, code))
            while True:
                try:
                    kind, payload = self.dovex.read_frame()
                    if self._take_frame(kind, payload, run, state, silent, allow_stdin, interrupt):
                        break
                except KeyboardInterrupt:
                    interrupt()
        except SessionEnded:
            status = self.dovex.close(timeout=1)
            self._start()
            return self._error("SessionEnded",
                               "the dovex process ended unexpectedly (status %s); a fresh session was started"
                               % status, run.notes, silent)
        for name in ("stdout", "stderr"):
            if not silent:
                self._stream(name, run.text(name, b"", final=True))
        if run.flags.get("exit") == "1":
            self.dovex.close()
            self._start()
            if not silent:
                self._stream("stdout", "[The session ended with exit; a fresh one has started: "
                                       "the variables are gone.]\n")
        flags = run.flags
        if flags.get("incomplete") == "1":
            return self._error("IncompleteInput", "a bracket is never closed; nothing in the cell was run",
                               run.notes, silent)
        if flags.get("break") == "1":
            return self._error("UserBreak", "Error: User break.", run.notes or run.reports, silent)
        if flags.get("diagnostic") == "1":
            evalue = run.reports[0] if run.reports else "the cell reported an error"
            return self._error("DovexError", evalue, run.notes or run.reports, silent)
        return {"status": "ok", "execution_count": self.execution_count,
                "payload": [], "user_expressions": {}}

    @staticmethod
    def _byte_offset(code, cursor_pos):
        return len(code[:cursor_pos].encode("utf-8"))

    @staticmethod
    def _char_offset(code_bytes, offset):
        return len(code_bytes[:offset].decode("utf-8", "replace"))

    def _ask_session(self, kind, code, cursor_pos):
        if not self.dovex or not self.dovex.alive():
            self._restart()
        if cursor_pos is None:
            cursor_pos = len(code)
        return self.dovex.request(kind, "%d\n%s" % (self._byte_offset(code, cursor_pos), code))

    def do_complete(self, code, cursor_pos):
        _, payload = self._ask_session("complete", code, cursor_pos)
        lines = payload.decode("utf-8", "replace").split("\n")
        start, end = (int(n) for n in lines[0].split())
        code_bytes = code.encode("utf-8")
        return {"status": "ok", "matches": [line for line in lines[1:] if line],
                "cursor_start": self._char_offset(code_bytes, start),
                "cursor_end": self._char_offset(code_bytes, end), "metadata": {}}

    def do_inspect(self, code, cursor_pos, detail_level=0, omit_sections=()):
        _, payload = self._ask_session("inspect", code, cursor_pos)
        text = payload.decode("utf-8", "replace")
        return {"status": "ok", "found": bool(text),
                "data": {"text/plain": text} if text else {}, "metadata": {}}

    def do_shutdown(self, restart):
        if self.dovex:
            self.dovex.close(timeout=2)
            self.dovex = None
        return {"status": "ok", "restart": restart}
