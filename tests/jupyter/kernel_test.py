"""The Dovex kernel through the real jupyter_client: a kernel started from a
freshly installed kernelspec runs cells and answers completion and
inspection, and its messages are checked. Usage: kernel_test.py DOVEX_BINARY"""

import os
import subprocess
import sys
import time
from queue import Empty

from support import Sandbox, require

require(["jupyter_client", "ipykernel", "pygments"], [], "python3-jupyter-client python3-ipykernel")

from jupyter_client.manager import start_new_kernel  # noqa: E402


def run(client, code, answers=(), interrupt=None):
    """Executes CODE; returns the reply content and the outputs in order
    (("stdout", text), ("stderr", text), ("svg", svg), ("error", content)).
    ANSWERS reply to input requests; INTERRUPT is called once the cell runs."""
    answers = list(answers)
    msg_id = client.execute(code, allow_stdin=bool(answers))
    outputs = []
    busy_since = None
    while True:
        if answers:
            try:
                request = client.get_stdin_msg(timeout=0.05)
                outputs.append(("input", request["content"]["prompt"]))
                client.input(answers.pop(0))
            except Empty:
                pass
        if interrupt and busy_since and time.monotonic() - busy_since > 1.0:
            interrupt()
            interrupt = None
        try:
            msg = client.get_iopub_msg(timeout=0.05)
        except Empty:
            continue
        if msg["parent_header"].get("msg_id") != msg_id:
            continue
        kind, content = msg["msg_type"], msg["content"]
        if kind == "status":
            if content["execution_state"] == "busy":
                busy_since = time.monotonic()
            elif content["execution_state"] == "idle":
                break
        elif kind == "stream":
            if outputs and outputs[-1][0] == content["name"]:
                outputs[-1] = (content["name"], outputs[-1][1] + content["text"])
            else:
                outputs.append((content["name"], content["text"]))
        elif kind == "display_data":
            outputs.append(("svg", content["data"]["image/svg+xml"]))
        elif kind == "error":
            outputs.append(("error", content))
    reply = client.get_shell_msg(timeout=60)
    while reply["parent_header"].get("msg_id") != msg_id:  # replies to earlier requests
        reply = client.get_shell_msg(timeout=60)
    return reply["content"], outputs


def stdout(outputs):
    return "".join(text for kind, text in outputs if kind == "stdout")


with Sandbox(sys.argv[1]) as sandbox:
    os.chdir(sandbox.work)
    manager, client = start_new_kernel(kernel_name="dovex", startup_timeout=120)
    try:
        # Lines run as at the prompt, echo included; a multi-line block is one
        # expression; empty lines are skipped.
        reply, outputs = run(client, 'add 2 3\nglobal (new integer n)\n\n'
                                     'set n (begin (new integer i)\n    (set i 40)\n    (add (get i) 2))\nget n\n')
        assert reply["status"] == "ok", reply
        assert stdout(outputs) == "integer temp = 5\n\nNULL\n\nNULL\n\ninteger n = 42\n\n", outputs

        # A diagnostic ends the cell in the error state, after the lines
        # that follow it ran; a cell with a bracket left open runs nothing.
        reply, outputs = run(client, "foo 1 2\nset n 7")
        assert reply["status"] == "error" and reply["evalue"] == "Syntax error 'foo 1 2'", reply
        assert stdout(outputs) == "Syntax error 'foo 1 2'\nNULL\n\nNULL\n\n", outputs
        assert any(kind == "stderr" and "cell[2]:1:1: in foo 1 2" in text for kind, text in outputs), outputs
        reply, outputs = run(client, "set n 1\nprint (add 1\n  (get n)")
        assert reply["status"] == "error" and reply["ename"] == "IncompleteInput", reply
        assert outputs[0] == ("stderr", "cell[3]:2:7: this bracket is never closed; nothing in the cell was "
                                        "run\n"), outputs
        assert stdout(run(client, "get n")[1]) == "integer n = 7\n\n"

        # plot_file's SVG shows inline; show_state prints as at a terminal;
        # user.input asks through the front end.
        reply, outputs = run(client, "plot_file p.svg (matrix 2 1 (complex 0.6 0) (complex 0 0.8))\n"
                                     "show_state (matrix 2 1 (complex 0.6 0) (complex 0 0.8))\n"
                                     "user.input integer", answers=["12"])
        assert reply["status"] == "ok", reply
        svgs = [text for kind, text in outputs if kind == "svg"]
        assert len(svgs) == 1 and svgs[0].startswith("<svg") and "|1⟩" in svgs[0], outputs
        assert ("input", "Please enter an integer: ") in outputs, outputs
        assert stdout(outputs).endswith(" 0.6 |0⟩  p = 0.36\n0.8i |1⟩  p = 0.64\nNULL\n\n\ninteger temp = 12\n\n")

        # Completion (keywords, variables, file names after `file`) and
        # inspection (the !help synopsis).
        matches = client.complete("get n", 5, reply=True)["content"]
        assert "n" in matches["matches"] and matches["cursor_start"] == 4, matches
        matches = client.complete("print (plo", 10, reply=True)["content"]["matches"]
        assert matches == ["plot_file"], matches
        os.mkdir("scripts")
        matches = client.complete("(file scr", 9, reply=True)["content"]["matches"]
        assert matches == ["scripts/"], matches
        found = client.inspect("mult", 2, reply=True)["content"]
        assert found["found"] and found["data"]["text/plain"].startswith("mult A B\n"), found
        assert not client.inspect("nosuchword", 3, reply=True)["content"]["found"]
        # The lexer knows exactly the words the binary completes.
        from dovex_kernel import lexer
        words = set(client.complete("", 0, reply=True)["content"]["matches"]) - {"n", "!state", "!clear",
                                                                               "!help", "!exit"}
        assert words == set(lexer.KEYWORDS) | set(lexer.EXTENSIONS), words ^ (set(lexer.KEYWORDS) |
                                                                             set(lexer.EXTENSIONS))
        registered = subprocess.run([sys.executable, "-c", "import pygments.lexers as l; "
                                     "print(l.get_lexer_by_name('dovex').name)"], capture_output=True, text=True)
        assert registered.stdout == "Dovex\n", registered

        # Interrupt breaks a long apply_op loop; the session keeps its globals.
        run(client, "global (begin (new space q 2) (new system r 12 q q q q q q q q q q q q) "
                    "(new matrix psi 4096 1))\nset psi (matrix 4096 1 ident)")
        reply, outputs = run(client, "while 1 (set psi (apply_op (get r) 3 (matrix 2 2 QFT) (get psi)))\nset n 99",
                             interrupt=manager.interrupt_kernel)
        assert reply["status"] == "error" and reply["ename"] == "UserBreak", reply
        assert stdout(outputs) == "Error: Error: User break.\nNULL\n\n", outputs
        assert stdout(run(client, "get n\nrowSize (get psi)")[1]) == "integer n = 7\n\ninteger temp = 4096\n\n"

        # exit ends the session, and a fresh one starts; so does a restart.
        reply, outputs = run(client, "exit\nget n")
        assert reply["status"] == "ok" and "a fresh one has started" in stdout(outputs), outputs
        assert stdout(run(client, "global (new integer m)\n!state")[1]) == "NULL\n\nState List:\n<integer, m>\n\n\n"
        manager.restart_kernel(now=True)
        client.wait_for_ready(timeout=120)
        assert stdout(run(client, "!state")[1]) == "State List:\n\n\n"
    finally:
        client.stop_channels()
        manager.shutdown_kernel(now=True)
        del client, manager  # before the interpreter's teardown, which their clean-up needs
print("jupyter kernel: cells, errors, plots, input, completion, inspection, interrupt, exit and restart; "
      "1 passed, 0 failed")
