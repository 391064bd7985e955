// The plain dense algorithms of apply_op, apply_qubits and the subsystem
// measurements,
// written the long way: a widened operator built by Kronecker products, and a
// full basis vector with a dot product for every basis state. They cost the
// square of the state's length and are used only by the tests and the
// benchmark, as the yardstick the kernels of kernels.h must match bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "value/matrix.h"

namespace reference {

// [out] = (I_d0 ⊗ … ⊗ [g] at position [k] ⊗ … ⊗ I_d(m-1)) · [v] for the
// system [dims]; a [k] outside the system widens to the identity. False (out
// untouched) when the widened operator's columns differ from v's rows.
bool applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out);

// The basis column |x0⟩ ⊗ |x1⟩ ⊗ … for the subsystem indices [x] of [dims].
Matrix basisVector(const std::vector<int32_t>& dims, const std::vector<int32_t>& x);

// The outcome probabilities of subsystem [k]: for each outcome, the odometer
// walk over the other subsystems with one dot product per basis state. The
// dot product's errors report an ill-shaped [v].
std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k);

// [out] = [v] collapsed onto [outcome] of subsystem [k]: each basis vector of
// the outcome scaled by its amplitude / [pSq] and added to a zero vector.
void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome, double pSq,
                       Matrix& out);

// apply_qubits the long way: [g] ⊗ I puts the operator on the top k bits,
// a permutation matrix P moves qubits[m] to bit n-1-m (the other qubits below
// it in their order), and [out] = (Pᵀ · (g ⊗ I) · P) · [v]. [v] must be a
// column of 2^n rows, [g] of side 2^k, the qubits distinct and below n.
void applyToQubits(const Matrix& g, const std::vector<int32_t>& qubits, const Matrix& v, Matrix& out);

}  // namespace reference
