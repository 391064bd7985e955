#include "quantum/gate_kernels.h"

#include <algorithm>
#include <utility>

#include "quantum/simd_pair.h"

namespace kernels {

namespace {

bool isZero(Complex e) { return e.re == 0.0 && e.im == 0.0; }
bool isOne(Complex e) { return e.re == 1.0 && e.im == 0.0; }

// Calls [f](base) for the base index of every group of 2^k amplitudes of an
// array of [length]: the index with zero bits at [positions] (ascending).
// Consecutive groups below the lowest position have consecutive bases, so
// the insertion of the zero bits is worked out once per run of them.
template <class F>
void forEachGroup(size_t length, const int32_t* positions, int32_t k, F&& f) {
  const size_t groups = length >> k;
  const size_t run = size_t{1} << positions[0];
  for (size_t t = 0; t < groups; t += run) {
    size_t base = t;
    for (int32_t r = 0; r < k; ++r) {
      const size_t p = static_cast<size_t>(positions[r]);
      base = ((base >> p) << (p + 1)) | (base & ((size_t{1} << p) - 1));
    }
    for (size_t j = 0; j < run; ++j) f(base + j);
  }
}

// The offset of local index c (bit r at positions[r]) for every c < 2^k.
std::vector<size_t> localOffsets(const int32_t* positions, int32_t k) {
  std::vector<size_t> offsets(size_t{1} << k, 0);
  for (size_t c = 0; c < offsets.size(); ++c) {
    for (int32_t r = 0; r < k; ++r) {
      if (((c >> r) & 1) != 0) offsets[c] |= size_t{1} << positions[r];
    }
  }
  return offsets;
}

}  // namespace

PreparedGate::PreparedGate(const Matrix& g, const std::vector<int32_t>& qubits)
    : k_(static_cast<int32_t>(qubits.size())), sorted_(qubits) {
  std::sort(sorted_.begin(), sorted_.end());
  const size_t dim = size_t{1} << k_;
  // index[c]: g's row or column number of local index c. Bit k-1-m of g's
  // index is qubits[m]; bit r of c is sorted_[r].
  std::vector<size_t> index(dim, 0);
  for (size_t c = 0; c < dim; ++c) {
    for (int32_t r = 0; r < k_; ++r) {
      if (((c >> r) & 1) == 0) continue;
      const size_t m = static_cast<size_t>(std::find(qubits.begin(), qubits.end(), sorted_[static_cast<size_t>(r)]) -
                                           qubits.begin());
      index[c] |= size_t{1} << (static_cast<size_t>(k_) - 1 - m);
    }
  }
  auto entry = [&](size_t a, size_t b) { return g.data[index[a] + index[b] * dim]; };

  bool diagonal = true;
  realEntries_ = true;
  for (size_t a = 0; a < dim; ++a) {
    bool unitRow = isOne(entry(a, a));
    for (size_t b = 0; b < dim; ++b) {
      const Complex e = entry(a, b);
      if (e.im != 0.0) realEntries_ = false;
      if (b != a && !isZero(e)) {
        unitRow = false;
        diagonal = false;
      }
    }
    if (!unitRow) rows_.push_back(static_cast<uint32_t>(a));
  }

  if (rows_.empty()) {
    form_ = Form::Identity;
  } else if (diagonal) {
    form_ = k_ == 1 ? Form::OneQubitDiagonal : Form::Diagonal;
    for (uint32_t a : rows_) terms_.push_back(Term{a, entry(a, a)});
  } else if (rows_.size() == 2 && isOne(entry(rows_[0], rows_[1])) && isOne(entry(rows_[1], rows_[0])) &&
             isZero(entry(rows_[0], rows_[0])) && isZero(entry(rows_[1], rows_[1]))) {
    // Rows other than the two hold only their diagonal 1 (they are unit
    // rows), and each of the two has one non-zero entry: a swap.
    bool onlyTheSwap = true;
    for (uint32_t a : rows_) {
      for (size_t b = 0; b < dim; ++b) {
        if (b != rows_[0] && b != rows_[1] && !isZero(entry(a, b))) onlyTheSwap = false;
      }
    }
    if (onlyTheSwap) form_ = Form::Transposition;
  }
  if (form_ == Form::Identity && !rows_.empty()) {
    if (k_ == 1) {
      form_ = Form::OneQubitDense;
      for (size_t a = 0; a < 2; ++a) {
        for (size_t b = 0; b < 2; ++b) dense_[a][b] = entry(a, b);
      }
    } else {
      form_ = Form::SparseRows;
      for (uint32_t a : rows_) {
        rowStart_.push_back(static_cast<uint32_t>(terms_.size()));
        for (size_t b = 0; b < dim; ++b) {
          if (!isZero(entry(a, b))) terms_.push_back(Term{static_cast<uint32_t>(b), entry(a, b)});
        }
      }
      rowStart_.push_back(static_cast<uint32_t>(terms_.size()));
    }
  }
}

void PreparedGate::applyInPlace(Complex* data, size_t length, const int32_t* positions) const {
  switch (form_) {
    case Form::Identity: return;
    case Form::OneQubitDense: return applyOneQubitDense(data, length, size_t{1} << positions[0]);
    case Form::OneQubitDiagonal: return applyOneQubitDiagonal(data, length, size_t{1} << positions[0]);
    case Form::Transposition: return applyTransposition(data, length, positions);
    case Form::Diagonal: return applyDiagonal(data, length, positions);
    case Form::SparseRows: return applySparseRows(data, length, positions);
  }
}

void PreparedGate::applyOneQubitDense(Complex* data, size_t length, size_t stride) const {
  if (realEntries_) {
    const simd::Pair r00 = simd::splat(dense_[0][0].re), r01 = simd::splat(dense_[0][1].re);
    const simd::Pair r10 = simd::splat(dense_[1][0].re), r11 = simd::splat(dense_[1][1].re);
    for (size_t i0 = 0; i0 < length; i0 += 2 * stride) {
      for (size_t i = i0; i < i0 + stride; ++i) {
        const simd::Pair x0 = simd::load(data + i);
        const simd::Pair x1 = simd::load(data + i + stride);
        const simd::Pair zero = simd::zero();
        simd::store(data + i, simd::add(simd::add(zero, simd::mul(r00, x0)), simd::mul(r01, x1)));
        simd::store(data + i + stride, simd::add(simd::add(zero, simd::mul(r10, x0)), simd::mul(r11, x1)));
      }
    }
    return;
  }
  const simd::Entry e00(dense_[0][0]), e01(dense_[0][1]), e10(dense_[1][0]), e11(dense_[1][1]);
  for (size_t i0 = 0; i0 < length; i0 += 2 * stride) {
    for (size_t i = i0; i < i0 + stride; ++i) {
      const simd::Pair x0 = simd::load(data + i);
      const simd::Pair x1 = simd::load(data + i + stride);
      const simd::Pair zero = simd::zero();
      simd::store(data + i, simd::add(simd::add(zero, e00.times(x0)), e01.times(x1)));
      simd::store(data + i + stride, simd::add(simd::add(zero, e10.times(x0)), e11.times(x1)));
    }
  }
}

void PreparedGate::applyOneQubitDiagonal(Complex* data, size_t length, size_t stride) const {
  for (const Term& t : terms_) {
    const simd::Entry d(t.entry);
    const size_t first = t.source == 0 ? 0 : stride;
    for (size_t i0 = first; i0 < length; i0 += 2 * stride) {
      for (size_t i = i0; i < i0 + stride; ++i) {
        simd::store(data + i, simd::add(simd::zero(), d.times(simd::load(data + i))));
      }
    }
  }
}

void PreparedGate::applyTransposition(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  const size_t a = offsets[rows_[0]];
  const size_t b = offsets[rows_[1]];
  // The inputs hold no -0, so moving them is what the dense sums give.
  forEachGroup(length, positions, k_, [&](size_t base) { std::swap(data[base + a], data[base + b]); });
}

void PreparedGate::applyDiagonal(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  std::vector<std::pair<size_t, simd::Entry>> factors;
  for (const Term& t : terms_) factors.emplace_back(offsets[t.source], simd::Entry(t.entry));
  forEachGroup(length, positions, k_, [&](size_t base) {
    for (const auto& [offset, d] : factors) {
      Complex* x = data + base + offset;
      simd::store(x, simd::add(simd::zero(), d.times(simd::load(x))));
    }
  });
}

void PreparedGate::applySparseRows(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  std::vector<simd::Entry> entries;
  for (const Term& t : terms_) entries.emplace_back(t.entry);
  std::vector<Complex> inputs(offsets.size());
  forEachGroup(length, positions, k_, [&](size_t base) {
    for (size_t c = 0; c < offsets.size(); ++c) inputs[c] = data[base + offsets[c]];
    for (size_t i = 0; i < rows_.size(); ++i) {
      simd::Pair sum = simd::zero();
      for (uint32_t t = rowStart_[i]; t < rowStart_[i + 1]; ++t) {
        sum = simd::add(sum, entries[t].times(simd::load(&inputs[terms_[t].source])));
      }
      simd::store(data + base + offsets[rows_[i]], sum);
    }
  });
}

void normaliseZeros(Complex* data, size_t length) {
  for (size_t i = 0; i < length; ++i) simd::store(data + i, simd::add(simd::load(data + i), simd::zero()));
}

}  // namespace kernels
