// Grover's search on three qubits for |101>, two rounds, in OpenQASM 2.0.
// The marked state is found with probability 121/128; c holds what was read.
OPENQASM 2.0;
include "qelib1.inc";
qreg q[3];
creg c[3];
// the oracle: a phase of -1 on |101>
gate oracle a, b, c { x b; h c; ccx a, b, c; h c; x b; }
// the reflection about the uniform superposition
gate diffusion a, b, c { h a; h b; h c; x a; x b; x c; h c; ccx a, b, c; h c; x a; x b; x c; h a; h b; h c; }
h q;
oracle q[0], q[1], q[2];
diffusion q[0], q[1], q[2];
oracle q[0], q[1], q[2];
diffusion q[0], q[1], q[2];
measure q -> c;
