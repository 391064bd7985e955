#!/usr/bin/env python3
"""Drives the interpreter in a real terminal (tmux): line editing, history,
keyword completion, and breaking loops with a key and with Ctrl-C.

Usage: terminal_test.py PATH/TO/dovex
"""
import os
import shutil
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


def main():
    home = tempfile.mkdtemp(prefix="dovex-home-")
    try:
        env_cmd = "env HOME=%s %s" % (home, BINARY)
        tmux("new-session", "-d", "-s", SESSION, "-x", "100", "-y", "50", env_cmd)
        try:
            wait_for("Dovex >")
            keys("global (new integer g)", "Enter")
            keys("set g 5", "Enter")
            # Editing: fix "ad 1 2" with the cursor keys.
            keys("ad 1 2", "Home", "Right", "Right", "d", "Enter")
            wait_for("integer temp = 3")
            # History: the previous line comes back with Up.
            keys("Up", "Enter")
            wait_for("integer temp = 3", count=2)
            # Completion: "rowS" completes to the keyword rowSize.
            keys("rowS", "Tab")
            keys(" (matrix 3 2 zero)", "Enter")
            wait_for("integer temp = 3", count=3)
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
            time.sleep(0.3)
            # user.input reads a whole edited line while a line runs.
            keys("user.input integer", "Enter")
            wait_for("Please enter an integer:")
            keys("42", "Enter")
            wait_for("integer temp = 42")
            # The global survived all of it.
            keys("get g", "Enter")
            wait_for("integer g = 5")
            final = screen()
            # A second Ctrl-C during a long computation that never tests for a
            # break ends the program instead of leaving the user waiting.
            tmux("set-option", "-t", SESSION, "remain-on-exit", "on")
            keys("mult (matrix 1500 1500 zero) (matrix 1500 1500 zero)", "Enter")
            time.sleep(0.5)
            keys("C-c")
            time.sleep(0.2)
            keys("C-c")
            wait_for("Interrupted.")
        finally:
            subprocess.run(["tmux", "kill-session", "-t", SESSION], capture_output=True)
        # The abandoned line was answered by a fresh prompt, not evaluated.
        assert "Dovex > half typed\nDovex > user.input integer" in final, final
        with open(os.path.join(home, ".dovex_history")) as f:
            history = f.read().splitlines()
        assert "add 1 2" in history and "get g" in history and history[-1].startswith("mult"), history
        assert "half typed" not in history, history
        print(final)
        print("history:", history)
        print("terminal test passed")
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
