// The kernel behind apply_qubits: a 2^k × 2^k operator applied to any k
// qubits of a 2^n-row state, in time 2^n · 2^k and memory of one result,
// without forming the 2^n × 2^n operator.
//
// Qubit j is bit j of the basis index. The dense construction it replaces
// puts the operator on the k most significant bits by Kronecker products with
// an identity, conjugates that with the permutation taking the listed qubits
// there, and multiplies the state by the result. In that product output i
// sums, from +0 and in increasing state index, over every input; only the
// 2^k inputs that agree with i outside the listed qubits meet a non-zero
// entry. The kernel adds exactly those terms in that order, so for finite
// inputs its bits are the dense product's (see kernels.h for why the zero
// terms and the signs of zeros in unit entries change nothing).
#pragma once

#include <cstdint>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// [out] = [g] applied to the qubits [qubits] of the column [v]: qubits[0]
// stands for the most significant bit of g's index. [v] must have 2^n rows
// and one column, [g] 2^k rows and columns for k = qubits.size() ≥ 1, and the
// qubits must be distinct and below n. The work runs in blocks through
// parallelFor; when a break is requested the remaining blocks are skipped and
// [out] is left partly written, so the caller must check the break flag.
void applyToQubits(const Matrix& g, const std::vector<int32_t>& qubits, const Matrix& v, Matrix& out);

// measure_qbit: the probability that qubit [bit] (0 ≤ bit; from 31 on no row
// has it) of the first column of [v] reads 0, as |v|² added from +0 over the
// rows without the bit in increasing order: one chain, read front to back.
// A break stops it early (the caller checks the flag).
double qubitZeroProbability(const Matrix& v, int32_t bit);

// The first column of [out] (which has v's shape) set to v · [factor] on the
// rows whose qubit [bit] equals [outcome], +0 + 0i on the others; [out] may
// be [v] itself. A break leaves it partly written (the caller checks the
// flag).
void collapseQubit(const Matrix& v, int32_t bit, int32_t outcome, double factor, Matrix& out);

}  // namespace kernels
