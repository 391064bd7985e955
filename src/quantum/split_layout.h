// Where the qubits of a column held split sit while a run of gates works on
// it. A gate acts on one process's slice alone when all its qubits are
// local (below the leading ones, which are the process number); a leading
// qubit a gate needs is swapped with a local one (swapLeadingQubit), and the
// swap is kept for the gates that follow, so a run of gates on a leading
// qubit pays for one exchange there and one back rather than two per gate.
// The layout is always a set of disjoint swaps of one leading and one local
// position, so putting every qubit back costs one exchange per swap.
// Moving amplitudes is exact: a gate applied at the positions positions()
// gives each amplitude the bits it gets in one process.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "value/matrix.h"

namespace kernels {

class SplitLayout {
 public:
  // A column of 2^[qubits] rows, slices of 2^[localQubits], every qubit at
  // its own position.
  SplitLayout(int32_t qubits, int32_t localQubits);

  // The positions the qubits [qubits] sit at now.
  std::vector<int32_t> positions(const std::vector<int32_t>& qubits) const;
  // Whether every one of [qubits] sits at a local position.
  bool allLocal(const std::vector<int32_t>& qubits) const;

  // Brings every one of [qubits] to a local position by exchanges of
  // [slice] with partner processes. The local qubit given up for a leading
  // one is one [qubits] does not name, the one [laterUse] ranks highest
  // (needed last), ties going to the highest position. False, and nothing
  // moved, when too few local qubits are free. With a [source], the
  // amplitudes are read from it and [slice] (of its shape) need not hold
  // anything yet. Every process calls it alike.
  bool bringLocal(Matrix& slice, const std::vector<int32_t>& qubits,
                  const std::function<uint64_t(int32_t)>& laterUse, const Matrix* source = nullptr);

  // Every qubit back at its own position.
  void restore(Matrix& slice);
  bool atHome() const;
  int32_t qubitCount() const { return static_cast<int32_t>(other_.size()); }

 private:
  void swap(Matrix& slice, int32_t leading, int32_t local);

  int32_t local_;
  const Matrix* source_ = nullptr;  // what the next swap reads, if not the slice
  // other_[p]: the position that p's qubit and p have been swapped with, or p.
  std::vector<int32_t> other_;
};

}  // namespace kernels
