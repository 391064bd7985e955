"""The tour notebook in a real browser: headless Chromium, driven through
chromedriver, opens it in a notebook server started here on a loopback
port, runs all cells, and finds the inline SVG plot, Dovex highlighting in
the editor, and no error output. Usage: browser_test.py DOVEX_BINARY"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from support import Sandbox, require

require(["selenium", "notebook"], ["jupyter-notebook", "chromedriver"],
        "python3-selenium jupyter-notebook chromium chromium-driver")
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
if not CHROMIUM:
    from support import skip
    skip("chromium not found (Debian: chromium)")

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.25)
    raise AssertionError("timed out waiting for " + what)


def reachable(url):
    try:
        with urllib.request.urlopen(url, timeout=2):
            return True
    except OSError:
        return False


with Sandbox(sys.argv[1]) as sandbox:
    sandbox.copy_examples("tour.ipynb")
    port = free_port()
    command = ["jupyter-notebook", "--no-browser", "--ip=127.0.0.1", "--port=%d" % port,
               "--port-retries=0", "--NotebookApp.token=", "--NotebookApp.password=",
               "--notebook-dir=" + sandbox.work]
    if os.geteuid() == 0:
        command.append("--allow-root")
    log = open(os.path.join(sandbox.root, "server.log"), "w")
    server = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT)
    browser = None
    try:
        base = "http://127.0.0.1:%d" % port
        wait_for(lambda: reachable(base + "/api"), 60, "the notebook server")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        profile = tempfile.mkdtemp(dir=sandbox.root)
        for flag in ("--headless", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--user-data-dir=" + profile):
            options.add_argument(flag)
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
        browser.get(base + "/notebooks/tour.ipynb")
        ready = ("return !!(window.Jupyter && Jupyter.notebook && Jupyter.notebook.kernel && "
                 "Jupyter.notebook.kernel.is_connected() && Jupyter.notebook.kernel.info_reply.status)")
        wait_for(lambda: browser.execute_script(ready), 120, "the kernel")
        browser.execute_script("Jupyter.notebook.execute_all_cells();")
        finished = ("return Jupyter.notebook.get_cells().every(function (c) { return c.cell_type !== 'code' || "
                    "(c.input_prompt_number !== '*' && c.input_prompt_number !== undefined && "
                    "c.input_prompt_number !== null); }) && Jupyter.notebook.kernel_busy === false")
        wait_for(lambda: browser.execute_script(finished), 180, "all cells to run")
        svgs = browser.find_elements("css selector", ".output_svg svg")
        assert len(svgs) == 1, "no inline SVG plot"
        errors = browser.find_elements("css selector", ".output_error, .output_stderr")
        assert not errors, [e.text for e in errors]
        assert "|101⟩" in browser.find_element("css selector", ".output_svg").get_attribute("innerHTML")
        keywords = browser.find_elements("css selector", ".CodeMirror .cm-keyword")
        comments = browser.find_elements("css selector", ".CodeMirror .cm-comment")
        assert keywords and comments, "no Dovex highlighting in the editor"
    finally:
        if browser:
            browser.quit()
        server.terminate()
        try:
            server.wait(20)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        log.close()
print("jupyter browser: the tour ran in Chromium with its plot inline; 1 passed, 0 failed")
