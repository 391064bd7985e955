"""Interpreter overhead on loop scripts: each script runs in the real Dovex binary (a whole process,
the fastest of five runs, start-up subtracted) and the same loop in CPython in the same run. Times are
the processor time of the whole child process (user + system), which a machine busy with other
work disturbs far less than elapsed time.

Usage: interp_bench.py DOVEX_BINARY [ITERATIONS]

Prints microseconds per iteration for both and the ratio (Dovex / CPython). Scripts are run as
`dovex FILE`; a binary without that mode is fed `file FILE` on standard input instead."""
import os, resource, subprocess, sys, tempfile

PYTHON = "/usr/bin/python3"


def timed(cmd, stdin=None):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    r = subprocess.run(cmd, input=stdin, capture_output=True, timeout=900)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, r.stdout.decode(errors="replace")


def best_time(cmd, stdin=None, expect=None):
    times = []
    for _ in range(5):
        t, out = timed(cmd, stdin)
        if expect is not None and expect not in out:
            sys.exit(f"unexpected output from {cmd}: {out[-300:]!r}")
        times.append(t)
    return min(times)


def counting_loop(n, before="", body="(set i (+ (get i) 1))"):
    return f"begin {before}(new integer i) (while (< (get i) {n}) {body}) (get i)"


def nested(depth, statement):
    return "(begin " * depth + statement + ")" * depth


LONG_BODY_PY = ["i = i + 1"] + [f"s{k} = s{k} + i * {k + 2} - {k}" for k in range(12)]
LONG_BODY_DX = " ".join(["(set i (+ (get i) 1))"] +
                        [f"(set s{k} (- (+ (get s{k}) (* (get i) {k + 2})) {k}))" for k in range(12)])
LONG_DECL_DX = " ".join(f"(new integer s{k})" for k in range(12)) + " "


def workloads(n):
    pad_py = lambda p: f"for k in range({p}):\n    globals()['pad_' + str(k)] = 0\n"
    loop_py = "i = 0\nwhile i < {n}:\n    i = i + 1\nprint(i)\n"
    long_py = ("".join(f"s{k} = 0\n" for k in range(12)) + "i = 0\nwhile i < {n}:\n" +
               "".join(f"    {line}\n" for line in LONG_BODY_PY) + "print(i)\n")
    return [
        ("counting loop", counting_loop(n), loop_py.format(n=n)),
        ("+1,000 visible variables", counting_loop(n, "(new array pad integer 1000) "),
         pad_py(1000) + loop_py.format(n=n)),
        ("+10,000 visible variables", counting_loop(n, "(new array pad integer 10000) "),
         pad_py(10000) + loop_py.format(n=n)),
        ("long body line (13 statements)", counting_loop(n, LONG_DECL_DX, LONG_BODY_DX), long_py.format(n=n)),
        ("body in begin 16 deep", counting_loop(n, body=nested(16, "(set i (+ (get i) 1))")), loop_py.format(n=n)),
    ]


def main():
    binary = os.path.abspath(sys.argv[1])
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 300000
    work = tempfile.mkdtemp(prefix="dovex_bench_")
    probe = os.path.join(work, "probe.dvx")
    with open(probe, "w") as f:
        f.write("begin (new integer i) (set i 4242) (get i)\n")
    # `dovex FILE` when the binary has it, else the file keyword on standard input.
    direct = "4242" in timed([binary, probe], b"exit\n")[1]
    run = (lambda path: ([binary, path], b"")) if direct else (lambda path: ([binary], f"file {path}\nexit\n".encode()))
    empty = os.path.join(work, "empty.dvx")
    with open(empty, "w") as f:
        f.write("nop 0\n")
    dx_start = best_time(*run(empty))
    py_start = best_time([PYTHON, "-c", "pass"])
    print(f"{n} iterations; Dovex run as {'dovex FILE' if direct else 'file FILE on stdin'}; "
          f"start-up subtracted (Dovex {dx_start * 1e3:.0f} ms, CPython {py_start * 1e3:.0f} ms)")
    print(f"| {'loop':32} | Dovex µs/iter | CPython µs/iter | ratio |")
    print(f"|{'-' * 34}|---------------|-----------------|-------|")
    base = None
    for name, script, py in workloads(n):
        path = os.path.join(work, "loop.dvx")
        with open(path, "w") as f:
            f.write(script + "\n")
        dx = max(best_time(*run(path), expect=str(n)) - dx_start, 1e-9) / n * 1e6
        pt = max(best_time([PYTHON, "-c", py], expect=str(n)) - py_start, 1e-9) / n * 1e6
        base = base or dx
        print(f"| {name:32} | {dx:13.3f} | {pt:15.3f} | {dx / pt:5.1f} |  ({dx / base:.2f}x the counting loop)")


if __name__ == "__main__":
    main()
