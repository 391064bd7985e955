#!/usr/bin/env python3
"""dovex-mpi on 1, 2 and 4 processes against the plain dovex, whole runs
compared byte for byte: standard output, standard error, exit status and the
files a script writes. Also the break (SIGUSR1 to the launcher), a session
read from the launcher's standard input, and a count of processes that is
not a power of two, and a large array one process fails to get.

usage: distributed_test.py DOVEX DOVEX_MPI MPIEXEC SOURCE_DIR
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

dovex, dovex_mpi, mpiexec, source = sys.argv[1:5]
# Plugins stay loaded to the end, so a sanitized build can name the library
# an allocation that outlives the run came from.
env = dict(os.environ, DOVEX_THREADS="1", OMPI_MCA_btl_vader_single_copy_mechanism="none",
           OMPI_MCA_rmaps_base_oversubscribe="1", OMPI_MCA_mca_base_component_disable_dlclose="1")
if os.geteuid() == 0:
    env.update(OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")
failures = []


def launch(processes, args):
    return [mpiexec, "-q", "--oversubscribe", "-np", str(processes), dovex_mpi] + args


def run(command, folder, stdin=b""):
    done = subprocess.run(command, cwd=folder, input=stdin, capture_output=True, env=env, timeout=120)
    written = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            written[name] = f.read()
    return done.returncode, done.stdout, done.stderr, written


def compare(label, args, stdin=b"", files=None, split_min=None):
    """Runs [args] in a fresh folder holding [files] with dovex and with
    dovex-mpi on 1, 2 and 4 processes (columns split from [split_min] rows
    per process on); all four must agree."""
    outcomes = []
    if split_min:
        env["DOVEX_SPLIT_MIN"] = str(split_min)
    for processes in (None, 1, 2, 4):
        with tempfile.TemporaryDirectory() as folder:
            for name, text in (files or {}).items():
                with open(os.path.join(folder, name), "w") as f:
                    f.write(text)
            command = [dovex] + args if processes is None else launch(processes, args)
            outcomes.append((processes, run(command, folder, stdin)))
    env.pop("DOVEX_SPLIT_MIN", None)
    plain = outcomes[0][1]
    for processes, outcome in outcomes[1:]:
        for part, want, got in zip(("exit status", "stdout", "stderr", "files"), plain, outcome):
            if want != got:
                failures.append(f"{label}, {processes} processes: {part} differs\n  dovex:     {want!r:.600}\n"
                                f"  dovex-mpi: {got!r:.600}")
    return plain


# The examples: measurements and random draws from a shared seed, a result
# file written once.
for name in ("bell", "ghz", "teleport", "grover3", "grover_view", "rotation_table", "u_random"):
    compare(name, ["--seed", "7", os.path.join(source, "examples", name + ".txt")])

# Ten qubits held split over 2 and 4 processes (slices of 512 and 256 rows):
# gates and operators on leading and trailing qubits (one leaving no local
# qubit to swap a leading one with, qubits listed out of order, subsystems
# that are not qubits, dense operators that are not symmetric on the leading
# qubit and on subsystems across the leading bits, a system that does not
# fit the state), copies, elements, the measurements
# (probabilities summed in chunks by dovex-mpi, printed alike), the state
# views of subsystems and of the whole register (more terms than are shown,
# draws walked down the chunk sums), scalar multiples, sums and tensor
# products with a split right factor, printing, files written (one that
# cannot be), an infinite amplitude, and an error that stops the script with
# a split state in a variable.
split = """begin
(new space q 2)
(new system reg 10 q q q q q q q q q q)
(new matrix a 4 1)
(new matrix b 16 1)
(new matrix psi 1024 1)
(set a (tensor (get q.ket.0) (get q.ket.0)))
(set b (tensor (get a) (get a)))
(set psi (tensor (tensor (get b) (get b)) (get a)))
(set psi (apply_qubits (get psi) (matrix 2 2 QFT) 0))
(set psi (apply_qubits (get psi) (matrix 2 2 QFT) 9))
(set psi (apply_qubits (get psi) (gate cnot 2 0 1) 0 5))
(set psi (apply_op (get reg) 3 (matrix 2 2 QFT) (get psi)))
(new matrix copy 1024 1)
(new_file shown.txt)
(set copy (get psi))
(print (get copy))
(print_file shown.txt (get copy))
(print_file shown.txt (tensor (get copy) (get q.ket.1)))
(print (get_element (get copy) 512 0))
(new integer first)
(print (measure_qbit (get psi) 0 first))
(new array p double 2)
(print (measure_distribution (get psi) (get reg) 0 p))
(new integer k)
(set psi (measure (get psi) (get reg) 9 k))
(print (get k))
(print (rowSize (get psi)))
(show_state (get psi) (get reg))
(histogram (get psi) (get reg) 3)
(sample (get psi) 20 (get reg) 1)
(save_npy psi.npy (get copy))
(print (transpose (partial_measure (get copy) (get reg) 2)))
(new space h 32)
(new system halves 2 h h)
(new space all 1024)
(set psi (get all.ket.3))
(set psi (apply_qubits (get psi) (matrix 8 8 QFT) 1 0 2))
(set psi (apply_qubits (get psi) (matrix 4 4 QFT) 9 0))
(set psi (apply_qubits (get psi) (matrix 16 16 QFT) 9 2 8 1))
(print (measure_distribution (get psi) (get reg) 1 p))
(set psi (apply_qubits (get psi) (matrix 512 512 QFT) 9 8 7 6 5 4 3 2 1))
(new space e 8)
(new system mixed 4 q q e h)
(set psi (apply_op (get mixed) 2 (matrix 8 8 QFT) (get psi)))
(set psi (apply_op (get mixed) 1 (matrix 2 2 QFT) (get psi)))
(new space f 4)
(new space c 128)
(new space w 256)
(new system straddle 3 q f c)
(new system top 2 f w)
(new system odd 3 f e q)
(new matrix g 2 2)
(set g (set_element (set_element (matrix 2 2 QFT) 0 1 (complex 0.3 -0.7)) 1 1 (complex -0.45 0.2)))
(set psi (apply_op (get reg) 0 (get g) (get psi)))
(new matrix g4 4 4)
(set g4 (set_element (set_element (matrix 4 4 QFT) 0 3 (complex 0.3 -0.7)) 2 1 (complex -0.45 0.2)))
(set psi (apply_op (get straddle) 1 (get g4) (get psi)))
(set psi (apply_op (get top) 0 (get g4) (get psi)))
(save_npy ops.npy (get psi))
(print (apply_op (get odd) 1 (matrix 8 8 QFT) (get psi)))
(print (measure_distribution (get psi) (get mixed) 3 p))
(print (measure_distribution (get psi) (get reg) 0 p))
(print (measure_distribution (get psi) (get halves) 1 p))
(print (transpose (measure_qbit (get psi) 3 first)))
(histogram (get psi) (get halves) 0)
(plot_file dist.svg (get psi) (get halves) 1)
(set psi (apply_qubits (get psi) (matrix 8 8 QFT) 3 9 8))
(show_state (get psi) (get mixed))
(histogram (get psi))
(sample (get psi) 500 (get reg))
(plot_file whole.svg (get psi))
(set copy (add (mult (complex 0.6 0.8) (get copy)) (mult 0.5 (get psi))))
(print_file shown.txt (subtract (get copy) (get psi)))
(print_file shown.txt (tensor (get q.ket.1) (get copy)))
(print_file shown.txt (tensor (matrix 8 1 QFT) (get copy)))
(save_npy /no/such/dir/psi.npy (get copy))
(set copy (set_element (get copy) 5 0 (complex (div 1.0 0.0) 0.0)))
(print (measure_distribution (get copy) (get reg) 9 p))
(set copy (mult (get copy) (get copy)))
(print 9)
"""
compare("split states", ["--seed", "5", "split.txt"], files={"split.txt": split}, split_min=256)

# run_qasm on ten qubits held split: gates on leading qubits (swapped to
# local positions and kept there for the gates after them; the last one
# needs both the leading qubit and the local one it was swapped with),
# saved to a file bit for bit; then from that state (gathered whole by
# get_element) a circuit with a measurement, a reset and an if, each taking
# every qubit home first.
gates = ("OPENQASM 2.0;\ninclude \"qelib1.inc\";\nqreg q[10];\ncreg c[2];\nh q[0];\nh q[9];\ncx q[9],q[8];\n"
         "u3(0.3,0.2,0.1) q[8];\ncx q[0],q[9];\nccx q[9],q[8],q[7];\nrz(0.7) q[9];\nh q[3];\ncu1(0.4) q[8],q[2];\n"
         "swap q[9],q[1];\nh q[9];\nccx q[1],q[9],q[8];\np(1.1) q[9];\nh q[5];\nh q[6];\ncx q[4],q[9];\n")
measured = gates + "measure q[8] -> c[0];\nif (c==1) x q[9];\nh q[8];\nreset q[9];\ncx q[8],q[5];\nmeasure q[9] -> c[1];\n"
compare("run_qasm on split states", ["--seed", "4", "qasm.txt"], split_min=256, files={
    "gates.qasm": gates, "measured.qasm": measured, "qasm.txt":
    "begin\n(new matrix psi 1024 1)\n(new integer c)\n(set psi (run_qasm gates.qasm))\n(save_npy psi.npy (get psi))\n"
    "(print (get_element (get psi) 3 0))\n"
    "(set psi (run_qasm measured.qasm (get psi)))\n(print (get c))\n(new_file psi.txt)\n(print_file psi.txt (get psi))\n"})

# An error mid-script (exit status 1, notes on standard error), a script
# that runs another and writes to a file it cannot open, -l, -W error and -e.
broken = ("begin\n(new_file out.csv)\n(print_file out.csv 1 2.5)\n(file inner.txt)\n"
          "(print_file /no/such/dir/x.csv 1)\n(print (mult (get q.ket.0) 2)))\n(print 9)\n")
inner = "begin\n(global (new space q 2))\n(print (rand 100))\n(user.input integer)\n"
status = compare("error mid-script", ["--seed", "3", "-l", "gates", "-W", "error", "main.txt"], stdin=b"41\n",
                 files={"main.txt": broken, "inner.txt": inner})[0]
if status != 1:
    failures.append(f"error mid-script: exit status {status}, not 1")
compare("-e lines", ["-e", "add 2 3\nexit\nadd 4 5"])

# A session read from the launcher's standard input, user.input included.
compare("session", ["-q"], stdin=b"global (new integer n)\nset n (user.input integer)\n42\nprint (get n)\n"
        b"!state\nnew_file s.txt\nprint_file s.txt (get n)\n")

# SIGUSR1 to the launcher breaks the running loop on every process; the
# session goes on with the next line.
with tempfile.TemporaryDirectory() as folder:
    session = subprocess.Popen(launch(2, ["-q"]), cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=env)
    session.stdin.write(b"global (new integer i)\nwhile 1 (set i (add (get i) 1))\nadd 1 2\n")
    session.stdin.flush()
    time.sleep(3)  # started and inside the loop
    session.send_signal(signal.SIGUSR1)
    time.sleep(1)
    out, err = session.communicate(timeout=60)
    if b"Error: User break." not in out or not out.endswith(b"integer temp = 3\n\nDovex > ") \
            or session.returncode != 0:
        failures.append(f"break: status {session.returncode}\n  stdout {out[-300:]!r}\n  stderr {err!r:.300}")

# A large array that one process cannot have (a test hook fails it there):
# every process reports it, and all go on with the next line.
for processes, failing in ((2, "1"), (4, "3")):
    with tempfile.TemporaryDirectory() as folder:
        env["DOVEX_TEST_FAILED_ALLOCATION"] = failing
        status, out, err, _ = run(launch(processes, ["-e", "global (new matrix m 512 512)\nprint 7"]), folder)
        del env["DOVEX_TEST_FAILED_ALLOCATION"]
        if status != 1 or out != b"Error: out of memory\nNULL\n\ninteger temp = 7\nNULL\n\n":
            failures.append(f"allocation failing on process {failing}: status {status}, stdout {out!r}")

# A process that dies ends the job with a word from process 0 (from process
# 1 when process 0 is the one that died), what was printed before it kept.
for victim in ("1", "0"):
    with tempfile.TemporaryDirectory() as folder:
        session = subprocess.Popen(launch(2, ["-e", "print 5\nglobal (new integer i)\nwhile 1 (set i (add (get i) 1))"]),
                                   cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        time.sleep(3)  # inside the loop
        for pid in subprocess.run(["pgrep", "-P", str(session.pid)], capture_output=True, text=True).stdout.split():
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"OMPI_COMM_WORLD_RANK={victim}\0".encode() in f.read():
                    os.kill(int(pid), signal.SIGKILL)
        out, err = session.communicate(timeout=60)
        if session.returncode == 0 or not out.startswith(b"integer temp = 5\n") or \
                err.count(b"Error: the job is ended") != 1:
            failures.append(f"process {victim} died: status {session.returncode}, stdout {out!r:.200}, "
                            f"stderr {err!r:.300}")

# Three processes: refused, on every process, with one message.
with tempfile.TemporaryDirectory() as folder:
    status, out, err, _ = run(launch(3, ["-e", "print 1"]), folder)
    if status != 2 or out != b"" or err.count(b"power of two") != 1:
        failures.append(f"three processes: status {status}, stdout {out!r}, stderr {err!r}")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
