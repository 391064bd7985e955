// The plain algorithms behind tensor, apply_op, apply_qubits, run_qasm and
// the measurements, written the long way: Kronecker products element by
// element, a widened operator built from them, a full basis vector with a dot
// product for every basis state, a row-by-row walk, a gate sequence one gate
// and one amplitude at a time. Each has the signature of its fast twin in
// kernels.h, qubit_kernels.h or circuit.h and is the yardstick that twin
// must match bit for bit (one test fixture runs every pair). They cost up to
// the square of the state's length and serve only the tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum/circuit.h"
#include "value/matrix.h"

namespace reference {

// [out] = [a] ⊗ [b], element after element in storage order. A break
// throws "Error: User break." part-way.
void tensorProduct(const Matrix& a, const Matrix& b, Matrix& out);

// [out] = (I_d0 ⊗ … ⊗ [g] at position [k] ⊗ … ⊗ I_d(m-1)) · [v] for the
// system [dims]; [v] must have as many rows as that operator has columns. A
// [k] outside the system replaces no factor and gives an exact copy of [v]
// (-0, infinities and NaNs as they are, which a product with the identity
// would not keep).
void applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out);

// The basis column |x0⟩ ⊗ |x1⟩ ⊗ … for the subsystem indices [x] of [dims].
Matrix basisVector(const std::vector<int32_t>& dims, const std::vector<int32_t>& x);

// The outcome probabilities of subsystem [k]: for each outcome, the odometer
// walk over the other subsystems with one dot product per basis state. The
// dot product's errors report an ill-shaped [v].
std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k);

// [out] = [v] collapsed onto [outcome] of subsystem [k]: each basis vector of
// the outcome scaled by its amplitude / [rootProbability] (√p of the
// outcome) and added to a zero vector.
void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                       double rootProbability, Matrix& out);

// apply_qubits the long way: [g] ⊗ I puts the operator on the top k bits,
// a permutation matrix P moves qubits[m] to bit n-1-m (the other qubits below
// it in their order), and [out] = (Pᵀ · (g ⊗ I) · P) · [v]. [v] must be a
// column of 2^n rows, [g] of side 2^k, the qubits distinct and below n.
void applyToQubits(const Matrix& g, const std::vector<int32_t>& qubits, const Matrix& v, Matrix& out);

// applyGates the long way: [gates] one after the other, each amplitude of
// the next state a sum from +0 + 0i over the 2^k amplitudes that differ from
// it only in the gate's qubits, in increasing state index, of the gate's
// entry times that amplitude (every term, zeros included). [target] may be
// [source]; with no gates it is an exact copy. [shape] changes nothing here:
// the blocked passes must give these bits whatever their shape.
void applyGates(const std::vector<kernels::CircuitGate>& gates, int32_t n, const Complex* source, Complex* target,
                const kernels::BlockShape& shape = {});

// measure_qbit's probability that qubit [bit] of the first column of [v]
// reads 0: |v|² added from +0, row by row, over the rows without the bit.
double qubitZeroProbability(const Matrix& v, int32_t bit);

// The first column of [out] (which has v's shape) set row by row to
// v · [factor] where qubit [bit] equals [outcome], +0 + 0i elsewhere.
void collapseQubit(const Matrix& v, int32_t bit, int32_t outcome, double factor, Matrix& out);

}  // namespace reference
