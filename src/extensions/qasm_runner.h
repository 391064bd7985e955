// Runs a checked OpenQASM program on a state vector: runs of gates go to
// the blocked gate passes of quantum/circuit.h, measure and reset draw from
// the language's generator as measure_qbit does, and `if` tests the
// classical register as the operations before it left it.
#pragma once

#include <cstdint>
#include <vector>

#include "extensions/qasm_parser.h"
#include "quantum/circuit.h"

// The state after [program], started from [initial] (a column of
// 2^qubitCount rows, not changed) or, for nullptr, from |0…0⟩. In a
// distributed run a column held split (or large enough to be) is run as
// this process's slice and the slice comes back; every process calls it
// alike. The value of
// each classical register (bit j = its bit j) goes to [registerValues]. The
// gates give the bits that applying them one by one with apply_qubits gives,
// and each measurement those of measure_qbit. A break throws "Error: User
// break." part-way.
Matrix runQasmProgram(const QasmProgram& program, const Matrix* initial, std::vector<int32_t>& registerValues,
                      const kernels::BlockShape& shape = {});
