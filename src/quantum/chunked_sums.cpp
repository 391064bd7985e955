#include "quantum/chunked_sums.h"

#include <algorithm>
#include <bit>

#include "quantum/kernels.h"
#include "quantum/parallel.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"

namespace kernels {

bool sumsInChunks(size_t rows) {
  return processGroup() != nullptr && static_cast<int64_t>(rows) >= splitMinimum();
}

void PairwiseSum::takeSubtree(int level, double value) {
  int l = level;
  while ((next_ >> l) & 1) {
    value = pending_[l] + value;
    ++l;
  }
  pending_[l] = value;
  next_ += uint64_t{1} << level;
}

void PairwiseSum::skipTo(uint64_t chunk) {
  // Chunks holding nothing go in as whole subtrees of zeros: the sums they
  // meet are exactly what one zero at a time would make.
  while (next_ < chunk) {
    int level = next_ == 0 ? 63 : std::countr_zero(next_);
    while (next_ + (uint64_t{1} << level) > chunk) --level;
    takeSubtree(level, 0.0);
  }
}

void PairwiseSum::add(uint64_t chunk, double sum) {
  skipTo(chunk);
  takeSubtree(0, sum);
}

double PairwiseSum::total(uint64_t chunks) {
  skipTo(chunks);
  double sum = 0.0;
  bool any = false;
  for (int l = 0; l < 64; ++l) {
    if ((chunks >> l) & 1) {
      sum = any ? pending_[l] + sum : pending_[l];
      any = true;
    }
  }
  return sum;
}

namespace {

uint64_t chunkCount(size_t rows) { return (rows + kChunkRows - 1) / kChunkRows; }

}  // namespace

double outcomeSumInChunks(const Complex* v, size_t firstRow, size_t rows, size_t outcomes, size_t run, size_t o,
                          Square square) {
  BreakPoll poll;
  PairwiseSum total;
  uint64_t chunk = 0;
  double sum = 0.0;
  bool open = false;
  const size_t end = firstRow + rows;
  const size_t period = outcomes * run;
  // Outcome o's runs of rows, from the one in the period holding firstRow.
  for (size_t base = firstRow / period * period + o * run; base < end; base += period) {
    if (poll.stopAfter(run)) break;
    for (size_t r = std::max(base, firstRow); r < std::min(end, base + run); ++r) {
      const uint64_t c = (r - firstRow) / kChunkRows;
      if (open && c != chunk) {
        total.add(chunk, sum);
        sum = 0.0;
      }
      chunk = c;
      open = true;
      const Complex a = v[r - firstRow];
      sum += squaredModulus(square == Square::ThroughBasis ? basisAmplitude(a) : a);
    }
  }
  if (open) total.add(chunk, sum);
  return total.total(chunkCount(rows));
}

std::vector<double> subsystemProbabilitiesInChunks(const Matrix& v, const std::vector<int32_t>& dims, int32_t k) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = static_cast<size_t>(dims[measured]);
  size_t run = 1;
  for (size_t s = measured + 1; s < dims.size(); ++s) run *= static_cast<size_t>(dims[s]);
  const size_t rows = v.data.size();
  std::vector<double> p(outcomes, 0.0);
  parallelFor(static_cast<int64_t>(outcomes), 1, [&](int64_t first, int64_t last) {
    for (int64_t o = first; o < last; ++o) {
      p[static_cast<size_t>(o)] =
          outcomeSumInChunks(v.data.data(), 0, rows, outcomes, run, static_cast<size_t>(o), Square::ThroughBasis);
    }
  });
  if (breakRequested()) std::fill(p.begin(), p.end(), 0.0);
  return p;
}

double qubitZeroProbabilityInChunks(const Matrix& v, int32_t bit) {
  const size_t rows = v.hasStorage() ? static_cast<size_t>(std::max(v.rows, 0)) : 0;
  // From bit 62 on (and past the column's length) every row has the bit clear.
  const size_t run = bit < 62 ? std::min(size_t{1} << bit, rows) : rows;
  return outcomeSumInChunks(v.data.data(), 0, rows, 2, run, 0);
}

double squaredNormInChunks(const Matrix& v) {
  return outcomeSumInChunks(v.data.data(), 0, v.data.size(), 1, v.data.size(), 0);
}

}  // namespace kernels
