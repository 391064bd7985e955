#include "quantum/qubit_kernels.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

#include "quantum/chunked_sums.h"
#include "quantum/kernels.h"
#include "quantum/parallel.h"
#include "quantum/prefetch.h"
#include "quantum/qubit_bits.h"
#include "runtime/break_flag.h"

namespace kernels {

namespace {

// About this many outputs make one block of work: large enough that handing
// out blocks costs nothing, small enough that a break is seen at once.
constexpr size_t kBlockOutputs = size_t{1} << 14;

// One application's layout, shared by every block. The 2^k amplitudes that
// one group of outputs reads and writes lie at base + offsets[b], where base
// has zero bits at the listed qubits; offsets increase, which is the order
// the dense product adds its terms in.
struct QubitLayout {
  size_t dim = 0;                   // 2^k
  std::vector<size_t> offsets;      // increasing
  std::vector<Complex> entries;     // entries[a · dim + b]: from offsets[b] to offsets[a]
  std::vector<int32_t> positions;   // the listed qubits, ascending
};

QubitLayout layoutFor(const Matrix& g, const std::vector<int32_t>& qubits) {
  const size_t k = qubits.size();
  QubitLayout layout;
  layout.dim = size_t{1} << k;
  // Bit k-1-m of the operator's index is qubit qubits[m].
  std::vector<size_t> offsetOf(layout.dim, 0);
  for (size_t c = 0; c < layout.dim; ++c) {
    for (size_t m = 0; m < k; ++m) {
      if (((c >> (k - 1 - m)) & 1) != 0) offsetOf[c] |= size_t{1} << qubits[m];
    }
  }
  std::vector<size_t> order(layout.dim);
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return offsetOf[x] < offsetOf[y]; });
  layout.offsets.resize(layout.dim);
  layout.entries.resize(layout.dim * layout.dim);
  for (size_t a = 0; a < layout.dim; ++a) {
    layout.offsets[a] = offsetOf[order[a]];
    for (size_t b = 0; b < layout.dim; ++b) {
      layout.entries[a * layout.dim + b] = g.data[order[a] + order[b] * layout.dim];
    }
  }
  layout.positions = qubits;
  std::sort(layout.positions.begin(), layout.positions.end());
  return layout;
}

// The base index of group [t]: t with a zero bit put in at each listed qubit.
// Going up from the lowest qubit, the bits below each insertion are final.
size_t baseIndex(size_t t, const std::vector<int32_t>& positions) {
  for (int32_t p : positions) {
    const size_t low = t & ((size_t{1} << p) - 1);
    t = ((t >> p) << (p + 1)) | low;
  }
  return t;
}

// Groups [first, last) of the state [in] into [result]. [Dim] fixes 2^k at
// compile time so the small gates unroll; 0 reads it from the layout.
template <size_t Dim>
void applyGroups(const QubitLayout& layout, const Complex* in, Complex* result, size_t first, size_t last) {
  const size_t dim = Dim != 0 ? Dim : layout.dim;
  Complex fixedInputs[Dim != 0 ? Dim : 1];
  std::vector<Complex> wideInputs(Dim != 0 ? 0 : dim);
  Complex* inputs = Dim != 0 ? fixedInputs : wideInputs.data();
  const size_t* offsets = layout.offsets.data();
  const Complex* entries = layout.entries.data();
  for (size_t t = first; t < last; ++t) {
    const size_t base = baseIndex(t, layout.positions);
    for (size_t b = 0; b < dim; ++b) inputs[b] = in[base + offsets[b]];
    for (size_t a = 0; a < dim; ++a) {
      const Complex* row = entries + a * dim;
      Complex sum{0.0, 0.0};
      for (size_t b = 0; b < dim; ++b) {
        addProduct(sum, row[b], inputs[b]);
      }
      result[base + offsets[a]] = sum;
    }
  }
}

}  // namespace

void applyToQubits(const Matrix& g, const std::vector<int32_t>& qubits, const Matrix& v, Matrix& out) {
  const QubitLayout layout = layoutFor(g, qubits);
  const size_t k = qubits.size();
  out.setSizeForOverwrite(v.rows, 1);  // every group writes all of its outputs
  const Complex* in = v.data.data();
  Complex* result = out.data.data();
  const size_t groups = static_cast<size_t>(v.rows) >> k;
  const size_t grain = std::max<size_t>(1, kBlockOutputs >> k);
  parallelFor(static_cast<int64_t>(groups), static_cast<int64_t>(grain), [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    const size_t from = static_cast<size_t>(first);
    const size_t to = static_cast<size_t>(last);
    switch (layout.dim) {
      case 2: applyGroups<2>(layout, in, result, from, to); break;
      case 4: applyGroups<4>(layout, in, result, from, to); break;
      case 8: applyGroups<8>(layout, in, result, from, to); break;
      default: applyGroups<0>(layout, in, result, from, to); break;
    }
  });
}

double qubitZeroProbability(const Matrix& v, int32_t bit) {
  const size_t rows = v.hasStorage() ? static_cast<size_t>(std::max(v.rows, 0)) : 0;
  if (sumsInChunks(rows)) return qubitZeroProbabilityInChunks(v, bit);
  const Complex* column = v.data.data();
  // The t-th row without the bit: t with a zero bit inserted at [bit].
  const size_t count = bit < 31 ? (rows >> (bit + 1)) * (size_t{1} << bit) +
                                      std::min(rows & ((size_t{2} << bit) - 1), size_t{1} << bit)
                                : rows;
  const size_t low = bit < 31 ? (size_t{1} << bit) - 1 : ~size_t{0};
  double p0 = 0.0;
  for (size_t begin = 0; begin < count; begin += kBlockOutputs * 16) {
    if (breakRequested()) break;
    const size_t end = std::min(count, begin + kBlockOutputs * 16);
    for (size_t t = begin; t < end; ++t) {
      const size_t i = ((t & ~low) << 1) | (t & low);
      if (t % 4 == 0) prefetchAhead(column, i, rows);  // rows with the bit skipped leave gaps
      p0 += squaredModulus(column[i]);
    }
  }
  return p0;
}

void collapseQubit(const Matrix& v, int32_t bit, int32_t outcome, double factor, Matrix& out) {
  const Complex* in = v.data.data();
  Complex* result = out.data.data();
  const bool keepSet = outcome == 1;
  const size_t rows = v.hasStorage() ? static_cast<size_t>(std::max(v.rows, 0)) : 0;
  parallelFor(static_cast<int64_t>(rows), static_cast<int64_t>(kBlockOutputs) * 2, [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    for (size_t i = static_cast<size_t>(first); i < static_cast<size_t>(last); ++i) {
      if (i % 4 == 0) prefetchAhead(in, i, rows);
      result[i] = rowHasBit(i, bit) == keepSet ? complexProduct(in[i], Complex{factor, 0.0}) : Complex{0.0, 0.0};
    }
  });
}

}  // namespace kernels
