"""The example notebooks run headless through `jupyter nbconvert --execute`
(the Dovex tour, then its numpy side reading the states the tour saved) with
no error, an inline SVG plot, and highlighting by the Dovex lexer when the
tour is exported to HTML. Usage: nbconvert_test.py DOVEX_BINARY"""

import json
import os
import subprocess
import sys

from support import Sandbox, require

require(["nbconvert", "nbformat", "ipykernel", "numpy"], ["jupyter-nbconvert"],
        "jupyter-nbconvert python3-ipykernel python3-numpy")


def execute(sandbox, name):
    run = subprocess.run(["jupyter-nbconvert", "--to", "notebook", "--execute", name, "--output", "run-" + name,
                          "--ExecutePreprocessor.timeout=120"], cwd=sandbox.work, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    with open(os.path.join(sandbox.work, "run-" + name)) as f:
        outputs = [o for cell in json.load(f)["cells"] for o in cell.get("outputs", [])]
    errors = [o for o in outputs if o["output_type"] == "error" or o.get("name") == "stderr"]
    assert not errors, errors
    return outputs


with Sandbox(sys.argv[1]) as sandbox:
    sandbox.copy_examples("tour.ipynb", "tour_numpy.ipynb")
    outputs = execute(sandbox, "tour.ipynb")
    svgs = [o for o in outputs if "image/svg+xml" in o.get("data", {})]
    assert len(svgs) == 1 and "|101⟩" in "".join(svgs[0]["data"]["image/svg+xml"]), svgs
    text = "".join("".join(o.get("text", "")) for o in outputs)
    assert "0.707107 |00⟩  p = 0.5\n0.707107 |11⟩  p = 0.5\n" in text, text
    execute(sandbox, "tour_numpy.ipynb")
    assert os.path.exists(os.path.join(sandbox.work, "from_numpy.npy"))

    html = subprocess.run(["jupyter-nbconvert", "--to", "html", "run-tour.ipynb", "--output", "tour.html"],
                          cwd=sandbox.work, capture_output=True, text=True)
    assert html.returncode == 0, html.stderr
    with open(os.path.join(sandbox.work, "tour.html")) as f:
        page = f.read()
    for fragment in ('<span class="k">apply_op</span>', '<span class="nb">plot_file</span>',
                     '<span class="c">(nop the oracle flips the sign of basis state 5)</span>',
                     '<span class="mi">5</span>'):
        assert fragment in page, fragment
print("jupyter nbconvert: the tour and its numpy side ran; 1 passed, 0 failed")
