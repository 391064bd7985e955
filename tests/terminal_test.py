#!/usr/bin/env python3
"""Drives the interpreter in a real terminal (tmux): line editing, history,
keyword completion, pasted lines, lines continued while a bracket is open,
breaking loops, long built-ins and long output with a key and with Ctrl-C,
Ctrl-C at an idle prompt, the memory an idle session holds after large work, a
history file that is a symbolic link, output redirected to a file, and Ctrl-C
without a terminal.

Usage: terminal_test.py PATH/TO/dovex
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BINARY = os.path.abspath(sys.argv[1])
SESSION = "dovex-terminal-test-%d" % os.getpid()


def tmux(*args):
    return subprocess.run(["tmux", *args], check=True, capture_output=True, text=True).stdout


def screen():
    return tmux("capture-pane", "-p", "-t", SESSION, "-S", "-200")


def wait_for(text, timeout=10.0, count=1):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if screen().count(text) >= count:
            return
        time.sleep(0.05)
    raise AssertionError("never saw %r (x%d) on the screen:\n%s" % (text, count, screen()))


def keys(*k):
    tmux("send-keys", "-t", SESSION, *k)


def wait_until(ready, what, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if ready():
            return
        time.sleep(0.05)
    raise AssertionError("never saw %s; the screen:\n%s" % (what, screen()))


def short_session(command, lines, expect, ready=None):
    """Runs [command] in a fresh tmux session, waits until [ready]() (the
    prompt on the screen by default), types [lines] and waits for [expect]
    on the screen; the session ends with "exit"."""
    tmux("new-session", "-d", "-s", SESSION, "-x", "100", "-y", "50", command)
    try:
        wait_until(ready or (lambda: "Dovex >" in screen()), "the first prompt")
        for line in lines:
            keys(line, "Enter")
        wait_for(expect)
        keys("exit", "Enter")
        deadline = time.time() + 10
        while time.time() < deadline:
            if subprocess.run(["tmux", "has-session", "-t", SESSION], capture_output=True).returncode != 0:
                return
            time.sleep(0.05)
        raise AssertionError("the session did not end:\n" + screen())
    finally:
        subprocess.run(["tmux", "kill-session", "-t", SESSION], capture_output=True)


def resident_mib():
    """The resident memory of the interpreter running in the session's pane
    (a child of the pane's shell), in MiB."""
    shell = tmux("display-message", "-p", "-t", SESSION, "#{pane_pid}").strip()
    with open("/proc/%s/task/%s/children" % (shell, shell)) as f:
        child = f.read().split()[0]
    with open("/proc/%s/status" % child) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    raise AssertionError("no VmRSS for the interpreter")


def linked_history(home):
    """A history file that is a symbolic link is never followed: the file it
    points to keeps every line, and the session runs as usual."""
    other = os.path.join(home, "other")
    with open(other, "w") as f:
        f.write("".join("%d\n" % i for i in range(1, 2001)))
    history = os.path.join(home, ".dovex_history")
    os.remove(history)
    os.symlink(other, history)
    short_session("env HOME=%s %s" % (home, BINARY), ["add 2 2"], "integer temp = 4")
    with open(other) as f:
        assert f.read().splitlines() == [str(i) for i in range(1, 2001)], "the linked file changed"
    assert os.path.islink(history)


def redirected_output(home):
    """With the output redirected to a file, lines are read plainly: the file
    gets the prompts and the echo, and no editing codes or typed lines."""
    out = os.path.join(home, "out.txt")
    def written():
        with open(out) as f:
            return f.read()

    short_session("sh -c 'env HOME=%s %s > %s'" % (home, BINARY, out), ["add 5 6"], "add 5 6",
                  ready=lambda: os.path.exists(out) and "Dovex >" in written())
    text = written()
    assert "\x1b" not in text and "add 5 6" not in text, repr(text)
    assert text.endswith("Dovex > integer temp = 11\n\nDovex > "), repr(text)


def without_terminal():
    """Without a terminal Ctrl-C ends the program with status 130."""
    child = subprocess.Popen([BINARY], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    child.stdin.write(b"while 1 (nop 1)\n")
    child.stdin.flush()
    time.sleep(0.5)
    child.send_signal(signal.SIGINT)
    status = child.wait(timeout=10)
    # Killed by the signal, which a shell reports as 130.
    assert status in (130, -signal.SIGINT), status


def main():
    home = tempfile.mkdtemp(prefix="dovex-home-")
    try:
        # The shell around the interpreter shows its exit status. Its own
        # Ctrl-C trap is a handler, not an ignore, so the interpreter starts
        # with the default disposition as usual.
        env_cmd = "trap : INT; env HOME=%s %s; echo \"exit status $?\"" % (home, BINARY)
        tmux("new-session", "-d", "-s", SESSION, "-x", "100", "-y", "50", env_cmd)
        try:
            wait_for("Dovex >")
            idle_at_start = resident_mib()
            keys("global (new integer g)", "Enter")
            keys("set g 5", "Enter")
            # Editing: fix "ad 1 2" with the cursor keys.
            keys("ad 1 2", "Home", "Right", "Right", "d", "Enter")
            wait_for("integer temp = 3")
            # History: the previous line comes back with Up.
            keys("Up", "Enter")
            wait_for("integer temp = 3", count=2)
            # Two lines pasted at once both run, in order.
            tmux("set-buffer", "-b", "two", "add 10 20\nadd 30 40\n")
            tmux("paste-buffer", "-p", "-d", "-b", "two", "-t", SESSION)
            wait_for("integer temp = 70")
            assert screen().index("integer temp = 30") < screen().index("integer temp = 70"), screen()
            # A line that leaves a bracket open goes on after the continuation
            # prompt and runs once, joined; so does a pasted indented block.
            keys("print (add 40", "Enter")
            wait_for("    ...")
            keys("2)", "Enter")
            wait_for("integer temp = 42")
            tmux("set-buffer", "-b", "block",
                 "begin (new integer k) (while (< (get k) 2)\n    (set k (add (get k) 1))\n    (print (get k)))\n")
            tmux("paste-buffer", "-p", "-d", "-b", "block", "-t", SESSION)
            wait_for("integer k = 2")
            # An empty line abandons a continued line, and so does Ctrl-C.
            keys("add (1", "Enter")
            keys("Enter")
            keys("add (2", "Enter", "3")
            wait_for("    ... 3")
            keys("C-c")
            time.sleep(0.3)
            # Completion: "rowS" completes to the keyword rowSize.
            keys("rowS", "Tab")
            keys(" (matrix 3 2 zero)", "Enter")
            wait_for("integer temp = 3", count=3)
            continued = screen()
            # Extension commands complete too: "show_s" becomes show_state.
            keys("show_s", "Tab")
            keys(" (matrix 2 1 (complex 0 0) (complex 1 0))", "Enter")
            wait_for("1 |1⟩  p = 1")
            # A key pressed during a loop breaks it; the key stays for the next prompt.
            keys("while 1 (nop 1)", "Enter")
            time.sleep(0.5)
            keys("x")
            wait_for("Error: Error: User break.")
            keys("BSpace")
            # Ctrl-C during a loop nested in an if branch breaks it too.
            keys("if 1 (while 1 (nop 1)) 0", "Enter")
            time.sleep(0.5)
            keys("C-c")
            wait_for("Syntax error 'if 1 (while 1 (nop 1)) 0': Error: User break.")
            # Ctrl-C at the prompt abandons a half-typed line.
            keys("half typed")
            wait_for("Dovex > half typed")
            keys("C-c")
            # ... and shows a fresh prompt at once, before any other key.
            wait_until(lambda: screen().rstrip().endswith("Dovex > half typed\nDovex >"), "a fresh prompt")
            # user.input reads a whole edited line while a line runs.
            keys("user.input integer", "Enter")
            wait_for("Please enter an integer:")
            keys("42", "Enter")
            wait_for("integer temp = 42")
            answered = screen()
            # Ctrl-C breaks a long built-in, not only a loop: the unitarity
            # test of a 2048 x 2048 matrix runs about a minute to completion.
            keys("is_unitary (matrix 2048 2048 ident)", "Enter")
            time.sleep(1.0)
            keys("C-c")
            asked = time.time()
            wait_for("Error: Error: User break.", count=2)
            broke_after = time.time() - asked
            # ... and a loop of operators on a 22-qubit register, whose
            # variable keeps its last complete value.
            keys("global (new space q 2)", "Enter")
            keys("global (new system s 22" + " q" * 22 + ")", "Enter")
            keys("global (new matrix v 4194304 1)", "Enter")
            keys("while 1 (set v (apply_op (get s) 0 (matrix 2 2 ident) (get v)))", "Enter")
            time.sleep(1.5)
            keys("C-c")
            wait_for("Error: Error: User break.", count=3)
            keys("rowSize (get v)", "Enter")
            wait_for("integer temp = 4194304")
            # With that state dropped, the idle session gives its memory back.
            # (It does so before it shows the next prompt.)
            keys("delete v", "Enter")
            wait_until(lambda: screen().rstrip().endswith("Dovex > delete v\nNULL\n\nDovex >"), "the prompt after delete")
            idle_after_work = resident_mib()
            # Ctrl-C stops the printing of a long vector (8 million counts,
            # seconds of text), and the session goes on.
            keys("global (new matrix w 1 1)", "Enter")
            keys("set w (matrix 8388608 1 ident)", "Enter")
            keys("sample (get w) 1", "Enter")
            wait_for("0, 0, 0, 0, 0, 0, 0, 0")
            keys("C-c")
            asked = time.time()
            wait_until(lambda: screen().rstrip().endswith("Error: Error: User break.\n\n\nDovex >"),
                       "the cut echo reported")
            printing_broke_after = time.time() - asked
            keys("rowSize (get w)", "Enter")
            wait_for("integer temp = 8388608")
            # The global survived all of it.
            keys("get g", "Enter")
            wait_for("integer g = 5")
            final = screen()
            # A line that polls nothing (a script declaring six million
            # variables; declarations are all-or-nothing) is ended by a
            # second Ctrl-C, but only once it has had 3 seconds to stop.
            with open(os.path.join(home, "declarations.dvx"), "w") as f:
                f.write("begin" + " (new array b integer 100000)" * 60 + "\n")
            tmux("set-option", "-t", SESSION, "remain-on-exit", "on")
            keys("begin (new array a integer 10) (file %s/declarations.dvx)" % home, "Enter")
            time.sleep(1.0)
            time.sleep(0.5)
            keys("C-c")
            time.sleep(0.5)
            keys("C-c")
            time.sleep(0.5)
            assert "Interrupted." not in screen(), screen()
            time.sleep(2.5)
            keys("C-c")
            wait_for("Interrupted.")
            wait_for("exit status 130")
        finally:
            subprocess.run(["tmux", "kill-session", "-t", SESSION], capture_output=True)
        # The abandoned line was answered by a fresh prompt, not evaluated.
        assert "Dovex > half typed\nDovex > user.input integer" in answered, answered
        with open(os.path.join(home, ".dovex_history")) as f:
            history = f.read().splitlines()
        assert "add 1 2" in history and "get g" in history and history[-1].startswith("begin (new array"), history
        assert "half typed" not in history, history
        # A continued line is one entry, joined as a script's lines are; an
        # abandoned one is not kept and never ran.
        assert "print (add 40 2)" in history, history
        assert "begin (new integer k) (while (< (get k) 2) (set k (add (get k) 1)) (print (get k)))" in history, history
        assert not [h for h in history if h.startswith("add (")], history
        assert "Dovex > add (1\n    ...\nDovex > add (2\n    ... 3\nDovex > rowSize" in continued, continued
        print(final)
        print("history:", history)
        linked_history(home)
        redirected_output(home)
        print("is_unitary broke %.2f s after Ctrl-C" % broke_after)
        assert broke_after < 2.0, broke_after
        print("printing broke %.2f s after Ctrl-C" % printing_broke_after)
        assert printing_broke_after < 1.0, printing_broke_after
        print("resident memory: %.0f MiB idle at start, %.0f MiB idle after work" % (idle_at_start, idle_after_work))
        assert idle_after_work < idle_at_start + 32, (idle_at_start, idle_after_work)
        without_terminal()
        print("terminal test passed")
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
