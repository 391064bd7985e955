#include "quantum/chunk_draws.h"

#include <algorithm>
#include <bit>

#include "quantum/chunked_sums.h"
#include "quantum/kernels.h"
#include "quantum/parallel.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"

namespace kernels {

namespace {

// The levels above [bottom], pairs added left + right, up to one sum.
void addLevels(std::vector<std::vector<double>>& levels) {
  while (levels.back().size() > 1) {
    const std::vector<double>& below = levels.back();
    std::vector<double> above(below.size() / 2);
    for (size_t j = 0; j < above.size(); ++j) above[j] = below[2 * j] + below[2 * j + 1];
    levels.push_back(std::move(above));
  }
}

// Walks down [levels] from its top node: [node] at the bottom level, with
// [before] the sum passed on the left.
void descend(const std::vector<std::vector<double>>& levels, double u, double total, size_t& node, double& before) {
  for (size_t l = levels.size() - 1; l-- > 0;) {
    const double left = levels[l][2 * node];
    const double right = levels[l][2 * node + 1];
    if (right == 0.0 || (left != 0.0 && u < (before + left) / total)) {
      node = 2 * node;
    } else {
      before = before + left;
      node = 2 * node + 1;
    }
  }
}

}  // namespace

bool drawsInChunks(size_t rows) { return sumsInChunks(rows) && std::has_single_bit(rows); }

ChunkTree::ChunkTree(const Matrix& column) : column_(column) {
  const size_t rows = column.data.size();
  std::vector<double> chunks(rows / kChunkRows);
  const Complex* v = column.data.data();
  parallelFor(static_cast<int64_t>(chunks.size()), 64, [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    for (size_t c = static_cast<size_t>(first); c < static_cast<size_t>(last); ++c) {
      double sum = 0.0;
      for (size_t i = c * kChunkRows; i < (c + 1) * kChunkRows; ++i) sum += squaredModulus(v[i]);
      chunks[c] = sum;
    }
  });
  levels_.push_back(std::move(chunks));
  addLevels(levels_);
  const double own = levels_.back()[0];
  std::vector<double> totals(column.isSlice() ? processCount() : 1, own);
  if (column.isSlice()) gatherSlices(&own, sizeof own, totals.data());
  top_.push_back(std::move(totals));
  addLevels(top_);
}

std::optional<size_t> ChunkTree::row(double u) const {
  const double all = total();
  size_t holder = 0;
  double before = 0.0;
  descend(top_, u, all, holder, before);
  if (column_.isSlice() && holder != processRank()) return std::nullopt;
  size_t chunk = 0;
  descend(levels_, u, all, chunk, before);
  const Complex* v = column_.data.data();
  // A chunk of positive sum holds a row of positive probability.
  size_t last = chunk * kChunkRows;
  double running = before;
  for (size_t i = chunk * kChunkRows; i < (chunk + 1) * kChunkRows; ++i) {
    const double p = squaredModulus(v[i]);
    if (p == 0.0) continue;
    running = running + p;
    last = i;
    if (u < running / all) break;
  }
  return static_cast<size_t>(column_.firstRow) + last;
}

}  // namespace kernels
