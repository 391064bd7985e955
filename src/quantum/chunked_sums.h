// Probabilities as a distributed run sums them. One chain of additions down
// a whole column cannot be split between processes, so dovex-mpi sums the
// squared moduli of every column of at least splitMinimum() rows — at any
// number of processes, one included, split or not — over fixed chunks of
// kChunkRows consecutive rows (each chunk from +0, in row order) and adds
// the chunk sums pairwise: chunk sums 2j and 2j+1 first, then those pairs'
// sums the same way, up the tree over all the chunks of the column (a chunk
// holding no row of an outcome adds an exact zero to it). A slice holds
// whole chunks and whole subtrees, so the bits never depend on how many
// processes hold the column.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/break_flag.h"
#include "value/matrix.h"

namespace kernels {

inline constexpr size_t kChunkRows = 256;

// Whether a column of [rows] rows has its probabilities summed in chunks:
// in a distributed run, from splitMinimum() rows on.
bool sumsInChunks(size_t rows);

// Sums chunk sums given by increasing chunk number, the chunks not given
// counting as exact zeros, in the pairwise order above.
class PairwiseSum {
 public:
  // Adds [sum], the sum of chunk [chunk] (past every chunk given before).
  void add(uint64_t chunk, double sum);
  // The sum over chunks [0, chunks): the tree's root, or for a count that
  // is not a power of two the complete subtrees added from the smallest up.
  double total(uint64_t chunks);

 private:
  // Takes in a subtree of 2^level chunks starting at next_ (aligned to it).
  void takeSubtree(int level, double value);
  void skipTo(uint64_t chunk);

  double pending_[64] = {};  // pending_[l]: a left subtree of 2^l chunks awaiting its sibling
  uint64_t next_ = 0;        // the chunks taken so far
};

// How an amplitude's probability is formed: |v|² of the amplitude as it is
// (a qubit's outcome, a norm), or of it read as a subsystem measurement
// reads it, through basisAmplitude (which an infinite part turns into NaN,
// as the one-process sums do; a finite one keeps its bits).
enum class Square { Direct, ThroughBasis };

// The sum for outcome [o] over rows [firstRow, firstRow + rows) of a column
// whose row r has the outcome (r / run) % outcomes, [v] holding those rows:
// the chunks counted from firstRow (a multiple of kChunkRows or 0), so for a
// slice of 2^m ≥ kChunkRows rows at a multiple of 2^m the root of the
// slice's own subtree. Stops early on a break.
double outcomeSumInChunks(const Complex* v, size_t firstRow, size_t rows, size_t outcomes, size_t run, size_t o,
                          Square square = Square::Direct);

// Σ [weight](i) over i in [0, rows), summed by the rule above: chunk sums
// from +0 in row order, added pairwise. Stops early on a break.
template <typename Weight>
double sumInChunks(size_t rows, Weight weight) {
  PairwiseSum total;
  BreakPoll poll;
  for (size_t begin = 0; begin < rows && !poll.stopAfter(kChunkRows); begin += kChunkRows) {
    double sum = 0.0;
    for (size_t i = begin; i < std::min(rows, begin + kChunkRows); ++i) sum += weight(i);
    total.add(begin / kChunkRows, sum);
  }
  return total.total((rows + kChunkRows - 1) / kChunkRows);
}

// The outcome probabilities of subsystem [k] of the column [v] (rows =
// product of [dims]), summed in chunks.
std::vector<double> subsystemProbabilitiesInChunks(const Matrix& v, const std::vector<int32_t>& dims, int32_t k);
// The probability that qubit [bit] (≥ 0) of the first column of [v] is 0,
// summed in chunks.
double qubitZeroProbabilityInChunks(const Matrix& v, int32_t bit);
// Σ |v[r]|² over all rows, summed in chunks.
double squaredNormInChunks(const Matrix& v);

}  // namespace kernels
