#!/usr/bin/env python3
"""dovex-mpi against dovex, whole processes in one run, and the scaling model
built from what they measure.

(a) The benchmark circuit of circuit_vs_peers.py (a Hadamard on every qubit,
    then 3N random H, CNOT and phase gates, seed 1) on N = 24 qubits through
    run_qasm: 2 processes of dovex-mpi with DOVEX_THREADS=1 each against one
    dovex with DOVEX_THREADS=2.
(b) One gate on a leading qubit (the process number's, so amplitudes are
    exchanged) against one on a local qubit, by apply_qubits and by
    run_qasm, on 2 processes.
(c) The figures the model needs: a local gate's time per amplitude per
    process, and the throughput of the pairwise exchange between processes
    here (a gate on a leading qubit less one on a local qubit).

A time is that of a whole process (mpirun included); a per-circuit or
per-gate time is the difference between a script doing the work K times and
one doing it once (or not at all), so start-up, the state's set-up and the
final check cancel. Every figure is the median of --repeats runs, the runs of
the two sides interleaved (the machine is shared).

--model prints the scaling model (docs/scaling.md) from the figures of a run
(or from --local-ns / --exchange-gbs given by hand) for 30 to 40 qubits on 4
to 1,024 processes over a network of 100 and 10 Gbit/s.

Usage: mpi_scaling.py [--build DIR] [--qubits N] [--repeats R] [--model]
                      [--local-ns X --exchange-gbs Y]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from circuit_vs_peers import circuit, qasm_passes, qasm_program  # noqa: E402

ENV = dict(os.environ, OMPI_MCA_btl_vader_single_copy_mechanism="none", OMPI_MCA_rmaps_base_oversubscribe="1")
if os.geteuid() == 0:
    ENV.update(OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")


def command(build, processes, script):
    if processes == 0:
        return [os.path.join(build, "dovex"), script]
    return ["mpirun", "-q", "--oversubscribe", "-np", str(processes), os.path.join(build, "dovex-mpi"), script]


def timed(cmd, threads, cwd):
    start = time.perf_counter()
    done = subprocess.run(cmd, cwd=cwd, capture_output=True, timeout=1800, env=dict(ENV, DOVEX_THREADS=str(threads)))
    elapsed = time.perf_counter() - start
    if done.returncode != 0 or b"rror" in done.stdout or b"rror" in done.stderr:
        sys.exit(f"{' '.join(cmd)} failed ({done.returncode}): {done.stdout[-300:]!r} {done.stderr[-300:]!r}")
    return elapsed, done.stdout


def script(folder, name, lines):
    with open(os.path.join(folder, name), "w") as f:
        f.write("begin\n" + "\n".join(lines) + "\n")
    return name


def differences(folder, sides, repeats):
    """For each side (label, processes, threads, script of the work once or
    not at all, script of it [count] more times, count): the median time of
    one more, and the median whole time of the first script. The sides' runs
    interleave."""
    samples = {label: ([], []) for label, *_ in sides}
    outputs = {}
    for _ in range(repeats):
        for label, processes, threads, base, more, count in sides:
            t0, out = timed(command(BUILD, processes, base), threads, folder)
            t1, _ = timed(command(BUILD, processes, more), threads, folder)
            samples[label][0].append((t1 - t0) / count)
            samples[label][1].append(t0)
            outputs[label] = out
    return {label: (statistics.median(d), statistics.median(w), outputs[label]) for label, (d, w) in samples.items()}


def circuit_figures(folder, n, repeats, more):
    with open(os.path.join(folder, "bench.qasm"), "w") as f:
        f.write(qasm_program(n, circuit(n, 1)))
    check = "(print (cnorm (get_element (get psi) 0 0)))"
    once = script(folder, "circuit1.txt", ["(new matrix psi 1 1)", "(set psi (run_qasm bench.qasm))", check])
    again = script(folder, "circuitK.txt",
                   ["(new matrix psi 1 1)"] + ["(set psi (run_qasm bench.qasm))"] * (1 + more) + [check])
    got = differences(folder, [("dovex, 2 threads", 0, 2, once, again, more),
                               ("dovex-mpi, 2 processes of 1 thread", 2, 1, once, again, more)], repeats)
    outs = {out for _, _, out in got.values()}
    if len(outs) != 1:
        sys.exit(f"the two runs disagree: {outs}")
    return got


def gate_figures(folder, n, repeats, more, leading, local):
    """apply_qubits and run_qasm with one H on a leading and on a local qubit
    of an N-qubit state held split over 2 processes, and a gate on a local
    qubit by 1 process (the time per amplitude)."""
    with open(os.path.join(folder, "zero.qasm"), "w") as f:
        f.write(f"OPENQASM 2.0;\nqreg q[{n}];\n")
    start = ["(new matrix psi 1 1)", "(set psi (run_qasm zero.qasm))", "(new double s)", "(set s (sqrt 0.5))",
             "(new matrix H 2 2)",
             "(set H (matrix 2 2 (complex (get s) 0) (complex (get s) 0) (complex (get s) 0) "
             "(complex (neg (get s)) 0)))"]
    base = script(folder, "gates0.txt", start)
    sides = []
    for where, q in (("leading", leading), ("local", local)):
        with open(os.path.join(folder, f"h{q}.qasm"), "w") as f:
            f.write(f"OPENQASM 2.0;\ninclude \"qelib1.inc\";\nqreg q[{n}];\nh q[{q}];\n")
        applied = script(folder, f"apply{q}.txt", start + [f"(set psi (apply_qubits (get psi) (get H) {q}))"] * more)
        run = script(folder, f"run{q}.txt", start + [f"(set psi (run_qasm h{q}.qasm (get psi)))"] * more)
        sides.append((f"apply_qubits, {where} qubit {q}", 2, 1, base, applied, more))
        sides.append((f"run_qasm, {where} qubit {q}", 2, 1, base, run, more))
    sides.append((f"apply_qubits, 1 process, qubit {local}", 0, 1, base, f"apply{local}.txt", more))
    return differences(folder, sides, repeats)


# The model. A gate is a pass over each process's slice (read and write
# 16 bytes an amplitude); a gate on a leading qubit (one in log2 P of the n)
# adds a swap there and back, each moving half the slice to the partner and
# as much back. A measurement (measure_qbit) is a pass for the probability,
# one reduction over the processes, and a pass for the collapse.
NETWORKS = (("100 Gbit/s", 100e9 / 8, 2e-6), ("10 Gbit/s", 10e9 / 8, 5e-6))
CHUNK_BYTES = 512 * 1024


def model(local_ns, exchange_gbs):
    lines = [f"Measured here: a local gate {local_ns:.3f} ns per amplitude per process (one thread); "
             f"exchange between two processes here {exchange_gbs:.2f} GB/s each way.", ""]
    for label, bandwidth, latency in NETWORKS:
        lines += [f"Network {label}, latency {latency * 1e6:.0f} us per message of 512 KiB chunks, "
                  "full bisection (every pair at full rate at once).", "",
                  "| qubits | processes | slice (GiB) | local gate (s) | leading-qubit gate (s) | "
                  "average gate, one at a time (s) | run_qasm circuit of 4n gates (s) | its communication | "
                  "measurement (s) | exchange / local |",
                  "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
        for n in (30, 32, 34, 36, 38, 40):
            for p in (4, 16, 64, 256, 1024):
                slice_amps = 2 ** n / p
                if slice_amps * 16 > 64 * 2 ** 30 or slice_amps < 2 ** 20:
                    continue  # more than 64 GiB a process, or less than the split threshold
                local = slice_amps * local_ns * 1e-9
                half_bytes = slice_amps * 8  # half a slice of 16-byte amplitudes
                messages = max(1.0, half_bytes / CHUNK_BYTES)
                # The network time plus what moving half a slice costs here
                # (gather, copies through shared memory, scatter).
                one_swap = half_bytes / bandwidth + messages * latency + half_bytes / (exchange_gbs * 1e9)
                leading = local + 2 * one_swap
                g = (p.bit_length() - 1) / n  # share of qubits that are leading
                random_gate = (1 - g) * local + g * leading
                # run_qasm: the circuit's passes over each slice, and each
                # leading qubit swapped in once and home once (the fewest).
                leading_qubits = p.bit_length() - 1
                passes = qasm_passes(n - leading_qubits, circuit(n, 1))
                whole_circuit = passes * local + 2 * leading_qubits * one_swap
                reduction = (p.bit_length() - 1) * latency
                measurement = 2 * local + reduction
                lines.append(f"| {n} | {p} | {slice_amps * 16 / 2 ** 30:.3g} | {local:.3g} | {leading:.3g} | "
                             f"{random_gate:.3g} | {whole_circuit:.3g} | "
                             f"{2 * leading_qubits * one_swap / whole_circuit:.0%} | {measurement:.3g} | "
                             f"{2 * one_swap / local:.2g} |")
        # Communication outweighs the passes of an average gate once the
        # leading qubits' share of the gates, log2 P / n, passes this.
        per_amp_local = local_ns * 1e-9
        per_amp_swaps = 2 * (8 / bandwidth + 8 / (exchange_gbs * 1e9))
        lines += ["", f"A gate on a leading qubit costs {1 + per_amp_swaps / per_amp_local:.1f} local gates; "
                  f"the average gate of a random circuit is mostly communication once log2 P / n passes "
                  f"{per_amp_local / per_amp_swaps:.2f}, that is from P = "
                  + ", ".join(f"2^{max(2, int(n * per_amp_local / per_amp_swaps) + 1)} at {n} qubits"
                              for n in (30, 35, 40)) + ".", ""]
    return "\n".join(lines)


def main():
    global BUILD
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--qubits", type=int, default=24)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--more", type=int, default=4, help="extra circuits in the longer script of (a)")
    parser.add_argument("--gates", type=int, default=40, help="gates in the longer scripts of (b)")
    parser.add_argument("--model", action="store_true", help="print the scaling model")
    parser.add_argument("--local-ns", type=float, help="local gate ns per amplitude (skips the runs)")
    parser.add_argument("--exchange-gbs", type=float, help="exchange GB/s each way (skips the runs)")
    args = parser.parse_args()
    BUILD = os.path.abspath(args.build)
    n = args.qubits
    if args.local_ns and args.exchange_gbs:
        print(model(args.local_ns, args.exchange_gbs))
        return
    with tempfile.TemporaryDirectory() as folder:
        print(f"(a) the benchmark circuit on {n} qubits ({3 * n + n} gates) through run_qasm; "
              f"median of {args.repeats}, seconds")
        got = circuit_figures(folder, n, args.repeats, args.more)
        for label, (one, whole, _) in got.items():
            print(f"  {label:40s} one circuit {one:7.3f}   whole process (one circuit) {whole:7.3f}")
        ratio = got["dovex-mpi, 2 processes of 1 thread"][0] / got["dovex, 2 threads"][0]
        print(f"  ratio, 2 processes / 2 threads: {ratio:.2f} (target: at most 1.5)")
        print(f"(b) one H on {n} qubits held by 2 processes; median of {args.repeats}, milliseconds per gate")
        leading, local = n - 1, n // 2
        gates = gate_figures(folder, n, args.repeats, args.gates, leading, local)
        for label, (one, _, _) in gates.items():
            print(f"  {label:40s} {one * 1e3:8.1f}")
        for how in ("apply_qubits", "run_qasm"):
            r = gates[f"{how}, leading qubit {leading}"][0] / gates[f"{how}, local qubit {local}"][0]
            print(f"  {how}: leading / local {r:.2f} (target: at most 3)")
        slice_amps = 2 ** n / 2
        # One process alone with one thread: what a process of a cluster
        # node does with its memory to itself.
        local_ns = gates[f"apply_qubits, 1 process, qubit {local}"][0] / (2 ** n) * 1e9
        extra = gates[f"apply_qubits, leading qubit {leading}"][0] - gates[f"apply_qubits, local qubit {local}"][0]
        # Two swaps, each sending half a slice and receiving as much.
        exchange_gbs = 2 * (slice_amps * 8) / max(extra, 1e-3) / 1e9
        print(f"(c) local gate {local_ns:.3f} ns per amplitude (1 process, 1 thread); exchange {exchange_gbs:.2f} GB/s "
              f"each way between 2 processes here (a leading gate less a local one: half a slice out and back, twice)")
    if args.model:
        print()
        print(model(local_ns, exchange_gbs))


if __name__ == "__main__":
    main()
