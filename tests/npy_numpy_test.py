"""save_npy and load_npy against numpy itself: arrays numpy writes (every
element kind read, both orders, both byte orders, one and two dimensions)
come back from Dovex's save_npy bit for bit as complex128, -0 and NaN
payloads included; a state Dovex computes reads in numpy as the same bits;
and every file that is not read is refused with its reason, creating
nothing. Usage: npy_numpy_test.py DOVEX_BINARY"""

import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
except ImportError:
    print("skipped: numpy not found (Debian: python3-numpy)")
    sys.exit(77)

BINARY = os.path.abspath(sys.argv[1])


def session(lines, cwd):
    """What a piped session prints for LINES (the prompts left out)."""
    run = subprocess.run([BINARY, "-q"], input="\n".join(lines) + "\n", capture_output=True, text=True, cwd=cwd)
    return run.stdout.replace("Dovex > ", "")


def bits(a):
    """The complex128 array A as the bit patterns of its parts."""
    return np.ascontiguousarray(a.astype(np.complex128)).view(np.uint64)


def complex_of(re, im):
    """Complex numbers with exactly these parts (no arithmetic touches them)."""
    z = np.empty(len(re), dtype=np.complex128)
    z.real, z.imag = re, im
    return z


def quiet_nan(payload):
    return np.array([0x7FF8000000000000 | payload], dtype=np.uint64).view(np.float64)[0]


with tempfile.TemporaryDirectory() as work:
    path = lambda name: os.path.join(work, name)  # noqa: E731

    # numpy -> Dovex -> numpy.
    special = np.array([-0.0, quiet_nan(0x12345), -quiet_nan(1), np.inf, 1e-310, 2.5])
    cases = {
        "c128_c": complex_of(special, special[::-1]).reshape(2, 3),
        "c128_f": np.asfortranarray(complex_of(special[::-1], special).reshape(3, 2)),
        "c128_big": complex_of(special, np.full(6, 0.5)).astype(">c16"),
        "c64": np.array([[1.5 - 2j, -0.0 + 0j], [np.float32(np.nan), 3e38j]], dtype=np.complex64),
        "f8_big_f": np.asfortranarray(special.reshape(2, 3).astype(">f8")),
        "f4": np.array([-0.0, 1.25, np.nan, -3e38], dtype=np.float32),
        "i1": np.array([[-128, 127], [0, -1]], dtype=np.int8),
        "i2_big": np.array([-32768, 32767], dtype=">i2"),
        "i4": np.array([[-2 ** 31], [2 ** 31 - 1]], dtype=np.int32),
        "i8": np.array([-(2 ** 53), 2 ** 53 + 1, -1], dtype=np.int64),
        "u1": np.array([0, 255], dtype=np.uint8),
        "u8_big": np.array([2 ** 64 - 1, 7], dtype=">u8"),
    }
    for name, array in cases.items():
        np.save(path(name + ".npy"), array)
    out = session(["save_npy out_%s.npy (load_npy %s.npy)" % (name, name) for name in cases], work)
    assert out == "NULL\n\n" * len(cases), out
    for name, array in cases.items():
        back = np.load(path("out_%s.npy" % name))
        expected = array.reshape(-1, 1) if array.ndim == 1 else array
        assert back.dtype == np.complex128 and back.shape == expected.shape, (name, back.dtype, back.shape)
        assert np.array_equal(bits(back), bits(expected)), (name, back, expected)
    assert not [f for f in os.listdir(work) if f.startswith(".")], os.listdir(work)  # no temporaries left

    # Dovex -> numpy: a state with -0 (the conjugate of +0) and NaN parts.
    out = session(["global (new matrix psi 2 2)",
                   "set psi (transpose (matrix 2 2 (complex 0.6 0) (complex 0 0.8) (complex (sqrt -1.0) -0.5) "
                   "(complex (div_d 1 0) 0)))",
                   "save_npy psi.npy (get psi)",
                   "save_npy psi.npy (get nothing)",
                   "save_npy no/such/folder/psi.npy (get psi)"], work)
    assert out.endswith("NULL\n\nError: getMatrix error - type is NULL or not matrix\nNULL\n\n"
                        "Cannot open file 'no/such/folder/psi.npy'\nNULL\n\n"), out
    psi = np.load(path("psi.npy"))
    # matrix fills row by row; transpose conjugates by multiplying by -1.0.
    expected = complex_of([0.6, -quiet_nan(0), 0.0, np.inf], [-0.0, 0.5, -0.8, -0.0]).reshape(2, 2)
    assert psi.shape == (2, 2) and np.array_equal(bits(psi), bits(expected)), (psi, expected)

    # Refusals: a reason, no value, and the exit status of a reported error.
    np.save(path("object.npy"), np.array([1, "x", None], dtype=object), allow_pickle=True)
    np.save(path("struct.npy"), np.zeros(3, dtype=[("a", "<f8"), ("b", "<i4")]))
    np.save(path("cube.npy"), np.zeros((2, 2, 2)))
    np.save(path("scalar.npy"), np.float64(1.0))
    np.save(path("bools.npy"), np.array([True, False]))
    whole = open(path("c64.npy"), "rb").read()
    open(path("long.npy"), "wb").write(whole + b"\0" * 8)
    open(path("short.npy"), "wb").write(whole[:-3])
    open(path("cut.npy"), "wb").write(whole[:20])
    huge = b"{'descr': '<c16', 'fortran_order': False, 'shape': (16384, 16385), }"
    huge += b" " * (118 - len(huge)) + b"\n"
    open(path("huge.npy"), "wb").write(b"\x93NUMPY\x01\x00" + len(huge).to_bytes(2, "little") + huge)
    refused = {
        "object": "object arrays are not read",
        "struct": "structured types are not read",
        "cube": "3 dimensions (1 or 2 are read)",
        "scalar": "0 dimensions (1 or 2 are read)",
        "bools": "element type '|b1' is not read",
        "long": "the header does not match the data: 40 bytes of data where the header announces 32",
        "short": "truncated: 29 bytes of data where the header announces 32",
        "cut": "truncated: the header is cut short",
        "huge": "more elements than a matrix may hold",
    }
    for name, reason in refused.items():
        run = subprocess.run([BINARY, "-e", "load_npy %s.npy" % name], capture_output=True, text=True, cwd=work)
        message = "Cannot read file '%s.npy': %s" % (name, reason)
        assert run.stdout.startswith(message) and run.stdout.endswith("\nNULL\n\n"), (name, run.stdout)
        assert run.returncode == 1, (name, run.returncode)
print("npy: numpy round trips bit for bit both ways and the refusals; 1 passed, 0 failed")
