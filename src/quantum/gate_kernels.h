// One gate applied in place to a short array of amplitudes (a block held in
// cache), by a kernel chosen for the gate's structure: a permutation moves
// amplitudes without arithmetic, a diagonal gate multiplies only the
// amplitudes whose factor is not 1, other gates compute only the rows that
// differ from the identity, and a one-qubit gate runs a loop of its own.
//
// Every amplitude that changes gets exactly the bits the dense product of
// qubit_kernels.h gives it: its sum starts at +0 + 0i and adds the products
// of the non-zero entries of its row with the inputs in increasing state
// index, each product rounded as complexProduct rounds it. For finite inputs
// the left-out terms are zeros, which change nothing in a sum started at +0
// (kernels.h), and a product by a real entry r differs from (r·re, r·im) only
// in the sign of a zero, which the sum washes out. An amplitude whose row is
// the identity's is left alone: the dense sum would return it unchanged but
// for a -0 part, which it makes +0. So the array must hold no -0 part (a
// state that any gate or these kernels wrote never does); callers normalise
// a state from elsewhere first, as applyGates does while it reads the state
// in its first pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// A gate read once for application, independent of where its qubits lie:
// its matrix in state order (local index c has bit r for the r-th lowest of
// its qubits), sorted into the rows that change and what each one needs.
class PreparedGate {
 public:
  // [g] is 2^k × 2^k (column-major) acting on the k distinct [qubits];
  // qubits[0] stands for the most significant bit of g's index, as for
  // applyToQubits.
  PreparedGate(const Matrix& g, const std::vector<int32_t>& qubits);

  // The gate's qubits in ascending order.
  const std::vector<int32_t>& sortedQubits() const { return sorted_; }

  // Applies the gate in place to [data] of [length] = 2^m amplitudes
  // without -0 parts, the gate's qubits lying at the bit positions
  // [positions] (ascending, each below m, in the order of sortedQubits).
  void applyInPlace(Complex* data, size_t length, const int32_t* positions) const;

  // How the kernel treats the gate (for tests and the benchmark's report).
  enum class Form { Identity, OneQubitDense, OneQubitDiagonal, Transposition, Diagonal, SparseRows };
  Form form() const { return form_; }

 private:
  // One term of a changed row: the entry and the local index it reads.
  struct Term {
    uint32_t source;
    Complex entry;
  };

  void applyOneQubitDense(Complex* data, size_t length, size_t stride) const;
  void applyOneQubitDiagonal(Complex* data, size_t length, size_t stride) const;
  void applyTransposition(Complex* data, size_t length, const int32_t* positions) const;
  void applyDiagonal(Complex* data, size_t length, const int32_t* positions) const;
  void applySparseRows(Complex* data, size_t length, const int32_t* positions) const;

  Form form_ = Form::Identity;
  int32_t k_ = 0;
  std::vector<int32_t> sorted_;
  bool realEntries_ = false;        // every non-zero entry has a zero imaginary part
  Complex dense_[2][2] = {};        // OneQubitDense: rows and columns in state order
  std::vector<uint32_t> rows_;      // the rows that change, increasing
  std::vector<uint32_t> rowStart_;  // SparseRows: terms of rows_[i] are terms_[rowStart_[i] .. rowStart_[i+1])
  std::vector<Term> terms_;         // Diagonal forms: one per changed row; SparseRows: all
};

// Whether the one-qubit kernels may use the wider vector loops where the
// processor has them (the default); tests turn them off to check the
// baseline loops give the same bits.
void allowWideLoops(bool allowed);

}  // namespace kernels
