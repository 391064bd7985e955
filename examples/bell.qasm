// A Bell pair written in OpenQASM 2.0: a Hadamard on q[0], a CNOT from q[0]
// to q[1], then both qubits measured into the classical register c.
OPENQASM 2.0;
include "qelib1.inc";
qreg q[2];
creg c[2];
h q[0];
cx q[0], q[1];
measure q -> c;
