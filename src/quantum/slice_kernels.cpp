#include "quantum/slice_kernels.h"

#include <algorithm>
#include <bit>

#include "quantum/chunked_sums.h"
#include "quantum/kernels.h"
#include "quantum/parallel.h"
#include "quantum/qubit_bits.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"

namespace kernels {

namespace {

constexpr int64_t kRowsPerBlock = 4096;

// The period of subsystem [k]'s digit: the product of the dimensions after it.
size_t runOf(const std::vector<int32_t>& dims, int32_t k) {
  size_t run = 1;
  for (size_t s = static_cast<size_t>(k) + 1; s < dims.size(); ++s) run *= static_cast<size_t>(dims[s]);
  return run;
}

// [out] shaped like [slice], the same part of the same column (or [slice]
// itself); each of its rows [keep(global row)] ? [kept](amplitude) : 0.
template <typename Keep, typename Kept>
void collapseRows(const Matrix& slice, Matrix& out, Keep keep, Kept kept) {
  if (&out != &slice) {
    out.setSizeForOverwrite(slice.rows, 1);
    out.wholeRows = slice.wholeRows;
    out.firstRow = slice.firstRow;
  }
  const Complex* in = slice.data.data();
  Complex* result = out.data.data();
  const size_t first = static_cast<size_t>(slice.firstRow);
  parallelFor(slice.rows, kRowsPerBlock, [&](int64_t begin, int64_t end) {
    if (breakRequested()) return;
    for (size_t i = static_cast<size_t>(begin); i < static_cast<size_t>(end); ++i) {
      result[i] = keep(first + i) ? kept(in[i]) : Complex{0.0, 0.0};
    }
  });
}

}  // namespace

std::vector<double> combineSliceSums(const std::vector<double>& local) {
  lookForSharedBreak();  // each slice summed: a break is raised by the caller
  const size_t processes = processCount();
  std::vector<double> all(local.size() * processes);
  gatherSlices(local.data(), local.size() * sizeof(double), all.data());
  std::vector<double> total(local.size());
  for (size_t o = 0; o < local.size(); ++o) {
    PairwiseSum sum;
    for (size_t r = 0; r < processes; ++r) sum.add(r, all[r * local.size() + o]);
    total[o] = sum.total(processes);
  }
  return total;
}

std::vector<double> sliceSubsystemProbabilities(const Matrix& slice, const std::vector<int32_t>& dims, int32_t k) {
  const size_t outcomes = static_cast<size_t>(dims[static_cast<size_t>(k)]);
  const size_t run = runOf(dims, k);
  std::vector<double> local(outcomes, 0.0);
  parallelFor(static_cast<int64_t>(outcomes), 1, [&](int64_t first, int64_t last) {
    for (int64_t o = first; o < last; ++o) {
      local[static_cast<size_t>(o)] = outcomeSumInChunks(slice.data.data(), static_cast<size_t>(slice.firstRow),
                                                         static_cast<size_t>(slice.rows), outcomes, run,
                                                         static_cast<size_t>(o), Square::ThroughBasis);
    }
  });
  // Every process takes part in the sums, a break or not; the caller raises it.
  return combineSliceSums(local);
}

double sliceQubitZeroProbability(const Matrix& slice, int32_t bit) {
  const size_t run = bit < 31 ? size_t{1} << bit : size_t{1} << 31;
  const double local = outcomeSumInChunks(slice.data.data(), static_cast<size_t>(slice.firstRow),
                                          static_cast<size_t>(slice.rows), 2, run, 0);
  return combineSliceSums({local})[0];
}

double sliceSquaredNorm(const Matrix& slice) {
  const double local = outcomeSumInChunks(slice.data.data(), static_cast<size_t>(slice.firstRow),
                                          static_cast<size_t>(slice.rows), 1, static_cast<size_t>(slice.wholeRows), 0);
  return combineSliceSums({local})[0];
}

void collapseSliceSubsystem(const Matrix& slice, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                            double rootProbability, Matrix& out) {
  const size_t outcomes = static_cast<size_t>(dims[static_cast<size_t>(k)]);
  const size_t run = runOf(dims, k);
  const size_t keptOutcome = static_cast<size_t>(outcome);
  collapseRows(
      slice, out, [&](size_t row) { return row / run % outcomes == keptOutcome; },
      [&](Complex a) {
        // As collapseSubsystem writes it: +0 plus the scaled unit entry.
        const Complex amplitude = basisAmplitude(a);
        const Complex scaled = complexProduct(
            Complex{amplitude.re / rootProbability, amplitude.im / rootProbability}, Complex{1.0, 0.0});
        return Complex{0.0 + scaled.re, 0.0 + scaled.im};
      });
}

void collapseSliceQubit(const Matrix& slice, int32_t bit, int32_t outcome, double factor, Matrix& out) {
  const bool keepSet = outcome == 1;
  collapseRows(
      slice, out, [&](size_t row) { return rowHasBit(row, bit) == keepSet; },
      [&](Complex a) { return complexProduct(a, Complex{factor, 0.0}); });
}

void swapLeadingQubit(const Matrix& source, Matrix& target, int32_t leading, int32_t local) {
  constexpr size_t kChunk = size_t{1} << 15;  // amplitudes sent at once (512 KiB)
  const size_t rows = static_cast<size_t>(source.rows);
  const int32_t localQubits = std::countr_zero(rows);
  const uint32_t rankBit = uint32_t{1} << (leading - localQubits);
  const uint32_t partner = processRank() ^ rankBit;
  // The rows whose [local] bit differs from this process's [leading] bit
  // move: to the partner's row with that bit flipped, both sides in row order.
  const size_t moving = (processRank() & rankBit) != 0 ? 0 : size_t{1} << local;
  const size_t low = (size_t{1} << local) - 1;
  const size_t chunkRows = std::min(kChunk, rows / 2);
  // A chunk within one run of 2^local moving rows goes out from the slice
  // itself, not through a copy, and comes back straight into [target] when
  // that is not [source].
  const bool runs = (size_t{1} << local) >= chunkRows;
  const bool inPlace = &source == &target;
  std::vector<Complex> out(runs ? 0 : chunkRows);
  std::vector<Complex> in(runs && !inPlace ? 0 : chunkRows);
  const Complex* from = source.data.data();
  Complex* to = target.data.data();
  // The t-th moving row: t with [moving]'s bit inserted at [local]; the
  // t-th staying row the same with the other bit.
  auto row = [&](size_t t) { return ((t & ~low) << 1) | moving | (t & low); };
  const size_t flip = size_t{1} << local;
  for (size_t begin = 0; begin < rows / 2; begin += chunkRows) {
    // A break stops every pair at the same chunk; the caller raises it and
    // discards [target].
    lookForSharedBreak();
    if (breakRequested()) return;
    const size_t count = std::min(chunkRows, rows / 2 - begin);
    for (size_t t = begin; !inPlace && t < begin + count; ++t) to[row(t) ^ flip] = from[row(t) ^ flip];
    if (runs) {
      const size_t first = row(begin);
      Complex* landing = inPlace ? in.data() : to + first;
      exchangeWith(partner, from + first, landing, count * sizeof(Complex));
      if (inPlace) std::copy(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(count), to + first);
      continue;
    }
    for (size_t t = 0; t < count; ++t) out[t] = from[row(begin + t)];
    exchangeWith(partner, out.data(), in.data(), count * sizeof(Complex));
    for (size_t t = 0; t < count; ++t) to[row(begin + t)] = in[t];
  }
}

void swapLocalQubits(Matrix& slice, int32_t a, int32_t b) {
  const size_t high = size_t{1} << a;
  const size_t low = size_t{1} << b;
  Complex* data = slice.data.data();
  parallelFor(slice.rows, kRowsPerBlock, [&](int64_t begin, int64_t end) {
    for (size_t row = static_cast<size_t>(begin); row < static_cast<size_t>(end); ++row) {
      // Each pair once: from its row with a's bit set and b's clear.
      if ((row & high) != 0 && (row & low) == 0) std::swap(data[row], data[row ^ high ^ low]);
    }
  });
}

void tensorWithSplitRight(const Matrix& a, const Matrix& b, Matrix& product) {
  constexpr size_t kChunk = size_t{1} << 15;  // amplitudes sent at once (512 KiB)
  const size_t processes = processCount();
  const size_t rank = processRank();
  const size_t bRows = static_cast<size_t>(b.wholeRows);
  const size_t bSlice = static_cast<size_t>(b.rows);
  const size_t rows = static_cast<size_t>(product.rows);
  // Process t's rows need b's rows [first(t), first(t) + width): whole
  // slices of b, all of b when the product's slice holds a run of it.
  const size_t width = std::min(rows, bRows);
  const auto first = [&](size_t t) { return t * rows % bRows; };
  const auto needs = [&](size_t t, size_t q) { return q * bSlice >= first(t) && q * bSlice < first(t) + width; };
  Complex* out = product.data.data();
  for (size_t shift = 0; shift < processes; ++shift) {
    const size_t to = (rank + shift) % processes;
    const size_t from = (rank + processes - shift) % processes;
    const bool sending = needs(to, rank);
    const bool receiving = needs(rank, from);
    Complex* place = out + (from * bSlice - first(rank));
    if (shift == 0) {
      if (receiving) std::copy(b.data.begin(), b.data.end(), place);
      continue;
    }
    for (size_t begin = 0; (sending || receiving) && begin < bSlice; begin += kChunk) {
      const size_t bytes = std::min(kChunk, bSlice - begin) * sizeof(Complex);
      shiftWith(static_cast<uint32_t>(to), b.data.data() + begin, sending ? bytes : 0, static_cast<uint32_t>(from),
                place + begin, receiving ? bytes : 0);
    }
  }
  // out[0, width) holds b's rows; each run of width rows is one row of a
  // times them, the first run last (it holds them).
  const size_t aRow = rank * rows / bRows - static_cast<size_t>(a.firstRow);
  for (size_t k = rows / width; k-- > 0;) {
    const Complex factor = a.data[aRow + k];
    for (size_t t = 0; t < width; ++t) out[k * width + t] = complexProduct(factor, out[t]);
  }
}

void swapLeadingQubit(Matrix& slice, int32_t leading, int32_t local) { swapLeadingQubit(slice, slice, leading, local); }

std::vector<std::pair<int32_t, int32_t>> localPlacesInOrder(const std::vector<int32_t>& qubits, int32_t localQubits,
                                                            std::vector<int32_t>& places) {
  places = qubits;
  std::vector<std::pair<int32_t, int32_t>> swaps;  // (from, to), in order
  if (std::all_of(qubits.begin(), qubits.end(), [&](int32_t q) { return q < localQubits; })) return swaps;
  std::vector<int32_t> sorted = qubits;
  std::sort(sorted.begin(), sorted.end());
  const size_t k = sorted.size();
  std::vector<int32_t> to(k);
  for (size_t i = k, below = static_cast<size_t>(localQubits); i-- > 0; below = static_cast<size_t>(to[i])) {
    to[i] = std::min(sorted[i], static_cast<int32_t>(below) - 1);
  }
  for (size_t i = 0; i < k; ++i) {
    if (sorted[i] != to[i]) swaps.emplace_back(sorted[i], to[i]);
    *std::find(places.begin(), places.end(), sorted[i]) = to[i];
  }
  return swaps;
}

namespace {

void swapSliceQubits(Matrix& slice, int32_t a, int32_t b) {
  if (a >= std::countr_zero(static_cast<uint32_t>(slice.rows))) {
    swapLeadingQubit(slice, a, b);
  } else {
    swapLocalQubits(slice, a, b);
  }
}

}  // namespace

void makeSliceSwaps(const Matrix& source, Matrix& target, const std::vector<std::pair<int32_t, int32_t>>& swaps) {
  size_t done = 0;
  if (!swaps.empty() && swaps.front().first >= std::countr_zero(static_cast<uint32_t>(source.rows))) {
    swapLeadingQubit(source, target, swaps.front().first, swaps.front().second);
    done = 1;
  } else {
    std::copy(source.data.begin(), source.data.end(), target.data.begin());
  }
  for (size_t i = done; i < swaps.size(); ++i) swapSliceQubits(target, swaps[i].first, swaps[i].second);
}

void undoSliceSwaps(Matrix& slice, const std::vector<std::pair<int32_t, int32_t>>& swaps) {
  for (auto s = swaps.rbegin(); s != swaps.rend(); ++s) swapSliceQubits(slice, s->first, s->second);
}

}  // namespace kernels
