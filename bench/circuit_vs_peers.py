#!/usr/bin/env python3
"""A seeded random circuit on N qubits, timed as whole processes in one run:
Dovex twice (the real binary running the circuit written as OpenQASM 2.0
through run_qasm, and the same circuit as a script file of apply_qubits
lines), numpy (each gate applied with reshape and tensordot) and, when
Debian's libquantum-dev is installed, a small C driver on libquantum's
register.

The circuit: a Hadamard on every qubit, then 3N gates each drawn from
{H on a random qubit, CNOT on a random ordered pair, a phase rotation
diag(1, e^(i phi)) on a random qubit}. Every tool prints the probability of
|0...0>, and the three must agree (libquantum to single precision).

Usage: circuit_vs_peers.py DOVEX_BINARY [N ...] [--repeats R] [--seed S]
       (default N: 16 20 22 24). Prints one line per N with the ratios
run_qasm / peer (below 1: Dovex is faster); every time is the best of R
runs (the machine is shared). A second table gives, per gate, the time of
apply_qubits (its script's time less that of the same script without the
gates) as a fraction of the bandwidth of a one-thread memcpy of 1 GiB (2
state sizes per gate), the passes run_qasm makes over the state per gate,
and the peak memory of a run_qasm process in state sizes.
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


def qasm_program(n, gates):
    """The circuit in OpenQASM 2.0: qubit j of register q is bit j, as for
    apply_qubits; the phase rotation is the header's p."""
    lines = ["OPENQASM 2.0;", 'include "qelib1.inc";', f"qreg q[{n}];"]
    for g in gates:
        if g[0] == "h":
            lines.append(f"h q[{g[1]}];")
        elif g[0] == "cx":
            lines.append(f"cx q[{g[1]}],q[{g[2]}];")
        else:
            lines.append(f"p({g[2]}) q[{g[1]}];")
    return "\n".join(lines) + "\n"


def qasm_passes(n, gates, block_qubits=15, low_qubits=6):
    """The passes over the state run_qasm makes: consecutive gates grouped
    while the qubits they touch from low_qubits up, with the low ones, fit
    in a block (the rule of src/quantum/circuit.cpp)."""
    limit = max(1, min(block_qubits, n - 2))
    low = max(0, min(low_qubits, limit, n))
    passes, spanned, empty = 0, set(), True
    for g in gates:
        qubits = {q for q in ([g[1], g[2]] if g[0] == "cx" else [g[1]]) if q >= low}
        if not empty and low + len(spanned | qubits) > limit:
            passes, spanned = passes + 1, set()
        spanned |= qubits
        empty = False
    return passes + (0 if empty else 1)


MEMCPY_PROG = r'''
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
int main(void) {
  size_t n = (size_t)1 << 30;
  char *a = malloc(n), *b = malloc(n);
  if (!a || !b) return 1;
  memset(a, 1, n); memset(b, 2, n);
  double best = 1e9;
  for (int r = 0; r < 5; ++r) {
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    memcpy(b, a, n);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    double t = (t1.tv_sec - t0.tv_sec) + 1e-9 * (t1.tv_nsec - t0.tv_nsec);
    if (t < best) best = t;
  }
  printf("%.6f %d\n", 2.0 * n / best / 1e9, b[12345]);
  return 0;
}
'''


def memcpy_bandwidth(workdir):
    """GB/s of a one-thread memcpy of 1 GiB (read plus write), best of 5."""
    source = os.path.join(workdir, "memcpy_bw.c")
    exe = os.path.join(workdir, "memcpy_bw")
    with open(source, "w") as f:
        f.write(MEMCPY_PROG)
    r = subprocess.run(["cc", "-O2", source, "-o", exe], capture_output=True)
    if r.returncode != 0:
        return float("nan")
    return float(subprocess.run([exe], capture_output=True).stdout.split()[0])


def dovex_command(binary, script):
    """`dovex FILE` where the binary has a command line (`--version` prints
    and exits), else the script fed to the prompt with `file`."""
    probe = subprocess.run([binary, "--version"], input=b"exit\n", capture_output=True, timeout=60)
    if b"Dovex >" not in probe.stdout:
        return [binary, script], b""
    return [binary], f"file {script}\nexit\n".encode()


def best_time(cmd, stdin, cwd, repeats, name):
    """The best of [repeats] runs of the Dovex command and its last output."""
    best, out = float("inf"), ""
    for _ in range(repeats):
        t, r = timed(cmd, stdin, cwd)
        out = r.stdout.decode(errors="replace")
        if "rror" in out:
            print(f"dovex reported an error ({name}):", out[-400:].replace("\n", " | "))
            sys.exit(1)
        best = min(best, t)
    return best, last_number(out.split("Dovex >")[-2] if stdin else out)


def peak_memory(cmd, stdin, cwd):
    """The peak resident size of one run of [cmd], in bytes."""
    with tempfile.TemporaryFile() as feed:
        feed.write(stdin)
        feed.seek(0)
        child = subprocess.Popen(cmd, stdin=feed, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd)
        _, _, usage = os.wait4(child.pid, 0)
    return usage.ru_maxrss * 1024


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
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    ok = True
    per_gate = []
    with tempfile.TemporaryDirectory() as d:
        lq = build_libquantum(d)
        bandwidth = memcpy_bandwidth(d)
        print(f"{'N':>3} {'gates':>5} {'run_qasm s':>10} {'apply_q s':>9} {'numpy s':>9} {'libq s':>9} "
              f"{'qasm/numpy':>10} {'qasm/libq':>9}  p0 (run_qasm, apply_qubits, numpy, libquantum)")
        for n in args.sizes:
            gates = circuit(n, args.seed)
            files = {"qasm": f"circuit{n}.qasm", "apply": f"circuit{n}.txt", "setup": f"setup{n}.txt",
                     "run": f"run{n}.txt"}
            with open(os.path.join(d, files["qasm"]), "w") as f:
                f.write(qasm_program(n, gates))
            with open(os.path.join(d, files["apply"]), "w") as f:
                f.write(dovex_script(n, gates))
            with open(os.path.join(d, files["setup"]), "w") as f:
                f.write(dovex_script(n, []))
            with open(os.path.join(d, files["run"]), "w") as f:
                f.write(f"begin\n(print (cnorm (get_element (run_qasm {files['qasm']}) 0 0)))\n")
            times, p0 = {}, {}
            for key in ("run", "apply", "setup"):
                cmd, stdin = dovex_command(binary, os.path.join(d, files[key]))
                times[key], p0[key] = best_time(cmd, stdin, d, args.repeats, files[key])
            cmd, stdin = dovex_command(binary, os.path.join(d, files["run"]))
            peak = peak_memory(cmd, stdin, d)
            lq_input = (f"{n}\n" + "\n".join(" ".join(str(x) for x in g) for g in gates) + "\n").encode()
            times["numpy"], times["libq"] = float("inf"), float("nan")
            for _ in range(args.repeats):
                t, r = timed([NUMPY_PYTHON, "-c", NUMPY_PROG, str(n)], json.dumps(gates).encode(), d)
                if r.returncode != 0:
                    print("numpy run failed:", r.stderr.decode()[-300:])
                    sys.exit(1)
                times["numpy"] = min(times["numpy"], t)
                p0["numpy"] = last_number(r.stdout.decode())
                if lq:
                    t, r = timed([lq], lq_input, d)
                    times["libq"] = t if times["libq"] != times["libq"] else min(times["libq"], t)
                    p0["libq"] = last_number(r.stdout.decode())
            agree = p0["run"] == p0["apply"] and abs(p0["run"] - p0["numpy"]) <= 1e-9 * abs(p0["numpy"]) + 1e-15
            if lq:
                agree = agree and abs(p0["libq"] - p0["numpy"]) <= 1e-3 * abs(p0["numpy"]) + 1e-9
            ok = ok and agree
            print(f"{n:>3} {len(gates):>5} {times['run']:>10.3f} {times['apply']:>9.3f} {times['numpy']:>9.3f} "
                  f"{times['libq']:>9.3f} {times['run'] / times['numpy']:>10.2f} {times['run'] / times['libq']:>9.2f}  "
                  f"{p0['run']:.6g}, {p0['apply']:.6g}, {p0['numpy']:.6g}, {p0.get('libq', float('nan')):.6g}"
                  f"{'' if agree else '  DISAGREE'}", flush=True)
            state_gb = 16 * 2 ** n / 1e9
            gate_s = max(times["apply"] - times["setup"], 1e-9) / len(gates)
            passes = qasm_passes(n, gates)
            per_gate.append((n, gate_s, 2 * state_gb / gate_s / bandwidth, passes / len(gates), peak / 1e9 / state_gb))
        if not lq:
            print("libquantum: not installed (apt-get install libquantum-dev), column left empty")
    print(f"\none-thread memcpy of 1 GiB: {bandwidth:.1f} GB/s (read + write)")
    print(f"{'N':>3} {'apply_qubits ms/gate':>20} {'of memcpy bw':>12} {'run_qasm passes/gate':>20} "
          f"{'run_qasm peak / state':>21}")
    for n, gate_s, fraction, passes, peak in per_gate:
        print(f"{n:>3} {gate_s * 1e3:>20.2f} {fraction:>12.2f} {passes:>20.3f} {peak:>21.2f}")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
