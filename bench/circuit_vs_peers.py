#!/usr/bin/env python3
"""A seeded random circuit on N qubits, timed as whole processes in one run:
Dovex (the real binary running a script file with apply_qubits), numpy
(each gate applied with reshape and tensordot) and, when Debian's
libquantum-dev is installed, a small C driver on libquantum's register.

The circuit: a Hadamard on every qubit, then 3N gates each drawn from
{H on a random qubit, CNOT on a random ordered pair, a phase rotation
diag(1, e^(i phi)) on a random qubit}. Every tool prints the probability of
|0...0>, and the three must agree (libquantum to single precision).

Usage: circuit_vs_peers.py DOVEX_BINARY [N ...] [--repeats R] [--seed S]
       (default N: 16 20 22 24). Prints one line per N and the ratios
Dovex / peer (below 1: Dovex is faster); times are medians of R runs.
For numpy, run with OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE unset."""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

NUMPY_PROG = r'''
import sys, json, numpy as np
n = int(sys.argv[1]); gates = json.loads(sys.stdin.read())
psi = np.zeros(2 ** n, dtype=complex); psi[0] = 1
H = np.array([[1, 1], [1, -1]], dtype=complex) / np.sqrt(2)
CX = np.array([[1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 0, 1], [0, 0, 1, 0]], dtype=complex)
def apply(op, qs):
    global psi
    k = len(qs)
    axes = [n - 1 - q for q in qs]           # axis a of the tensor holds qubit n-1-a
    t = np.tensordot(op.reshape([2] * (2 * k)), psi.reshape([2] * n), axes=(list(range(k, 2 * k)), axes))
    psi = np.moveaxis(t, list(range(k)), axes).reshape(-1)
for g in gates:
    if g[0] == "h": apply(H, [g[1]])
    elif g[0] == "cx": apply(CX, [g[1], g[2]])
    else: apply(np.array([[1, 0], [0, np.exp(1j * g[2])]]), [g[1]])
print("p0 = %.6g" % abs(psi[0]) ** 2)
'''

# Debian's numpy is installed for the system interpreter.
NUMPY_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def circuit(n, seed):
    rnd = random.Random(seed)
    gates = [["h", q] for q in range(n)]
    for _ in range(3 * n):
        kind = rnd.choice(["h", "cx", "ph"])
        if kind == "h":
            gates.append(["h", rnd.randrange(n)])
        elif kind == "cx":
            a, b = rnd.sample(range(n), 2)
            gates.append(["cx", a, b])
        else:
            gates.append(["ph", rnd.randrange(n), round(rnd.uniform(0, 6.28), 4)])
    return gates


def dovex_script(n, gates):
    """One statement per line inside a begin; qubit j is bit j, the CNOT's
    control is the operator's high bit."""
    lines = ["begin", "(new space q 2)", "(new matrix psi 1 1)", "(set psi (get q.ket.0))", "(new integer i)",
             "(set i 1)",
             f"(while (< (get i) {n}) (set psi (tensor (get psi) (get q.ket.0))) (set i (+ (get i) 1)))",
             "(new double s)", "(set s (sqrt 0.5))", "(new matrix H 2 2)",
             "(set H (matrix 2 2 (complex (get s) 0) (complex (get s) 0) (complex (get s) 0) "
             "(complex (neg (get s)) 0)))",
             "(new matrix CX 4 4)", "(set CX (gate cnot 2 1 0))", "(new matrix P 2 2)"]
    for g in gates:
        if g[0] == "h":
            lines.append(f"(set psi (apply_qubits (get psi) (get H) {g[1]}))")
        elif g[0] == "cx":
            lines.append(f"(set psi (apply_qubits (get psi) (get CX) {g[1]} {g[2]}))")
        else:
            lines.append(f"(set P (matrix 2 2 (complex 1 0) (complex 0 0) (complex 0 0) "
                         f"(complex (cos {g[2]}) (sin {g[2]}))))")
            lines.append(f"(set psi (apply_qubits (get psi) (get P) {g[1]}))")
    lines.append("(print (cnorm (get_element (get psi) 0 0)))")
    return "\n".join(lines) + "\n"


def dovex_command(binary, script):
    """`dovex FILE` where the binary has a command line (`--version` prints
    and exits), else the script fed to the prompt with `file`."""
    probe = subprocess.run([binary, "--version"], input=b"exit\n", capture_output=True, timeout=60)
    if b"Dovex >" not in probe.stdout:
        return [binary, script], b""
    return [binary], f"file {script}\nexit\n".encode()


def timed(cmd, stdin, cwd):
    start = time.perf_counter()
    r = subprocess.run(cmd, input=stdin, capture_output=True, timeout=3600, cwd=cwd)
    return time.perf_counter() - start, r


def last_number(text):
    for token in reversed(text.replace("=", " ").split()):
        try:
            return float(token)
        except ValueError:
            continue
    return float("nan")


def build_libquantum(workdir):
    if not os.path.exists("/usr/include/quantum.h") or not shutil.which("cc"):
        return None
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libquantum_circuit.c")
    exe = os.path.join(workdir, "libquantum_circuit")
    r = subprocess.run(["cc", "-O2", source, "-o", exe, "-lquantum", "-lm", "-fopenmp"], capture_output=True)
    return exe if r.returncode == 0 else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("sizes", nargs="*", type=int, default=[16, 20, 22, 24])
    parser.add_argument("--repeats", type=int, default=1)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    ok = True
    with tempfile.TemporaryDirectory() as d:
        lq = build_libquantum(d)
        print(f"{'N':>3} {'gates':>5} {'dovex s':>9} {'numpy s':>9} {'libq s':>9} "
              f"{'dovex/numpy':>11} {'dovex/libq':>10}  p0 (dovex, numpy, libquantum)")
        for n in args.sizes:
            gates = circuit(n, args.seed)
            script = os.path.join(d, f"circuit{n}.txt")
            with open(script, "w") as f:
                f.write(dovex_script(n, gates))
            cmd, stdin = dovex_command(binary, script)
            lq_input = (f"{n}\n" + "\n".join(" ".join(str(x) for x in g) for g in gates) + "\n").encode()
            times = {"dovex": [], "numpy": [], "libq": []}
            p0 = {}
            for _ in range(args.repeats):
                t, r = timed(cmd, stdin, d)
                out = r.stdout.decode(errors="replace")
                if "rror" in out:
                    print("dovex reported an error:", out[-400:].replace("\n", " | "))
                    sys.exit(1)
                times["dovex"].append(t)
                p0["dovex"] = last_number(out.split("Dovex >")[-2] if stdin else out)
                t, r = timed([NUMPY_PYTHON, "-c", NUMPY_PROG, str(n)], json.dumps(gates).encode(), d)
                if r.returncode != 0:
                    print("numpy run failed:", r.stderr.decode()[-300:])
                    sys.exit(1)
                times["numpy"].append(t)
                p0["numpy"] = last_number(r.stdout.decode())
                if lq:
                    t, r = timed([lq], lq_input, d)
                    times["libq"].append(t)
                    p0["libq"] = last_number(r.stdout.decode())
            med = {k: statistics.median(v) if v else float("nan") for k, v in times.items()}
            agree = abs(p0["dovex"] - p0["numpy"]) <= 1e-9 * abs(p0["numpy"]) + 1e-15
            if lq:
                agree = agree and abs(p0["libq"] - p0["numpy"]) <= 1e-3 * abs(p0["numpy"]) + 1e-9
            ok = ok and agree
            print(f"{n:>3} {len(gates):>5} {med['dovex']:>9.3f} {med['numpy']:>9.3f} {med['libq']:>9.3f} "
                  f"{med['dovex'] / med['numpy']:>11.2f} {med['dovex'] / med['libq']:>10.2f}  "
                  f"{p0['dovex']:.6g}, {p0['numpy']:.6g}, {p0.get('libq', float('nan')):.6g}"
                  f"{'' if agree else '  DISAGREE'}", flush=True)
        if not lq:
            print("libquantum: not installed (apt-get install libquantum-dev), column left empty")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
