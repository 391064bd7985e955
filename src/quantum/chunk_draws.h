// Draws from the basis-state probabilities |v[r]|² of a column whose
// probabilities dovex-mpi sums in chunks (chunked_sums.h), without the
// column ever being whole in one process. The cumulative distribution is
// walked down the same pairwise tree the sums are added in: at a node, the
// draw u goes left when u < (before + left) / total, "before" being the sum
// of every subtree passed on the left on the way down (added root first);
// in the chunk it reaches, the running sum from "before" is compared row by
// row, as one process compares its running sums. A subtree of probability 0
// is never entered, so no draw lands on an outcome of probability 0. Every
// number here is formed alike at any number of processes, so every process
// count draws the same outcomes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// Whether a column of [rows] rows is drawn from by the tree below: one a
// distributed run sums in chunks whose length is a power of two (every
// column it may hold split).
bool drawsInChunks(size_t rows);

class ChunkTree {
 public:
  // The tree of [column]: this process's slice of a column held split, or
  // a whole column drawsInChunks accepts. Every process builds it at the
  // same point (the slices' totals are shared). Stops early on a break.
  explicit ChunkTree(const Matrix& column);

  // Σ |v|² over the whole column.
  double total() const { return top_.back()[0]; }
  // The row (numbered in the whole column) that the draw [u] in [0, 1)
  // lands on, when this process holds it; nothing when another one does.
  // The total is positive and finite.
  std::optional<size_t> row(double u) const;

 private:
  const Matrix& column_;
  // levels_[0]: the chunk sums of this process's rows; levels_[l + 1][j]:
  // levels_[l][2j] + levels_[l][2j + 1], up to this process's total.
  std::vector<std::vector<double>> levels_;
  // The same over the processes' totals (just this one's when it is whole).
  std::vector<std::vector<double>> top_;
};

}  // namespace kernels
