#include "quantum/gate_kernels.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "quantum/gate_kernels_avx2.h"
#include "quantum/gate_loops.h"
#include "quantum/simd_pair.h"

namespace kernels {

namespace {

// One complex number per register: the loops of gate_loops.h on SSE2.
struct Sse2 {
  using Pack = simd::Pair;
  static constexpr size_t kWidth = 1;
  static Pack load(const Complex* p) { return simd::load(p); }
  static void store(Complex* p, Pack v) { simd::store(p, v); }
  static Pack zero() { return simd::zero(); }
  static Pack splat(double x) { return simd::splat(x); }
  static Pack pair(double re, double im) { return simd::make(re, im); }
  static Pack add(Pack a, Pack b) { return simd::add(a, b); }
  static Pack mul(Pack a, Pack b) { return simd::mul(a, b); }
  static Pack realParts(Pack a) { return simd::realParts(a); }
  static Pack imagParts(Pack a) { return simd::imagParts(a); }
};

std::atomic<bool> wideLoopsAllowed{true};

// The wider loops where the processor has them and the stride allows.
bool useAvx2(size_t stride) {
  static const bool available = avx2::available();
  return available && stride >= 2 && wideLoopsAllowed.load(std::memory_order_relaxed);
}

bool isZero(Complex e) { return e.re == 0.0 && e.im == 0.0; }
bool isOne(Complex e) { return e.re == 1.0 && e.im == 0.0; }

// Calls [f](base, count) for the groups of 2^k amplitudes of an array of
// [length], whose base indices have zero bits at [positions] (ascending):
// the [count] groups from [base] on have the consecutive bases base,
// base + 1, … (the bits below the lowest position run through), so the
// insertion of the zero bits is worked out once per run of them.
template <class F>
void forEachRun(size_t length, const int32_t* positions, int32_t k, F&& f) {
  const size_t groups = length >> k;
  const size_t run = size_t{1} << positions[0];
  for (size_t t = 0; t < groups; t += run) {
    size_t base = t;
    for (int32_t r = 0; r < k; ++r) {
      const size_t p = static_cast<size_t>(positions[r]);
      base = ((base >> p) << (p + 1)) | (base & ((size_t{1} << p) - 1));
    }
    f(base, run);
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
    case Form::Identity:
      return;
    case Form::OneQubitDense:
      return applyOneQubitDense(data, length, size_t{1} << positions[0]);
    case Form::OneQubitDiagonal:
      return applyOneQubitDiagonal(data, length, size_t{1} << positions[0]);
    case Form::Transposition:
      return applyTransposition(data, length, positions);
    case Form::Diagonal:
      return applyDiagonal(data, length, positions);
    case Form::SparseRows:
      return applySparseRows(data, length, positions);
  }
}

void PreparedGate::applyOneQubitDense(Complex* data, size_t length, size_t stride) const {
  if (realEntries_) {
    const double r[2][2] = {{dense_[0][0].re, dense_[0][1].re}, {dense_[1][0].re, dense_[1][1].re}};
    if (useAvx2(stride)) return avx2::oneQubitReal(data, length, stride, r);
    return loops::oneQubitReal<Sse2>(data, length, stride, r);
  }
  if (useAvx2(stride)) return avx2::oneQubitComplex(data, length, stride, dense_);
  loops::oneQubitComplex<Sse2>(data, length, stride, dense_);
}

void PreparedGate::applyOneQubitDiagonal(Complex* data, size_t length, size_t stride) const {
  for (const Term& t : terms_) {
    if (useAvx2(stride)) {
      avx2::oneQubitFactor(data, length, stride, static_cast<int>(t.source), t.entry);
    } else {
      loops::oneQubitFactor<Sse2>(data, length, stride, static_cast<int>(t.source), t.entry);
    }
  }
}

void PreparedGate::applyTransposition(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  const size_t a = offsets[rows_[0]];
  const size_t b = offsets[rows_[1]];
  // The inputs hold no -0, so moving them is what the dense sums give.
  forEachRun(length, positions, k_, [&](size_t base, size_t count) {
    std::swap_ranges(data + base + a, data + base + a + count, data + base + b);
  });
}

void PreparedGate::applyDiagonal(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  std::vector<std::pair<size_t, simd::Entry>> factors;
  for (const Term& t : terms_) factors.emplace_back(offsets[t.source], simd::Entry(t.entry));
  forEachRun(length, positions, k_, [&](size_t base, size_t count) {
    for (const auto& [offset, d] : factors) {
      for (Complex *x = data + base + offset, *end = x + count; x != end; ++x) {
        simd::store(x, simd::add(simd::zero(), d.times(simd::load(x))));
      }
    }
  });
}

void PreparedGate::applySparseRows(Complex* data, size_t length, const int32_t* positions) const {
  const std::vector<size_t> offsets = localOffsets(positions, k_);
  std::vector<Complex> inputs(offsets.size());
  forEachRun(length, positions, k_, [&](size_t first, size_t count) {
    for (size_t base = first; base < first + count; ++base) {
      for (size_t c = 0; c < offsets.size(); ++c) inputs[c] = data[base + offsets[c]];
      for (size_t i = 0; i < rows_.size(); ++i) {
        simd::Pair sum = simd::zero();
        for (uint32_t t = rowStart_[i]; t < rowStart_[i + 1]; ++t) {
          const Term& term = terms_[t];
          sum = simd::add(sum, simd::Entry(term.entry).times(simd::load(&inputs[term.source])));
        }
        simd::store(data + base + offsets[rows_[i]], sum);
      }
    }
  });
}

void allowWideLoops(bool allowed) { wideLoopsAllowed.store(allowed, std::memory_order_relaxed); }

}  // namespace kernels
