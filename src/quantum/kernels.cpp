#include "quantum/kernels.h"

#include <algorithm>
#include <cstddef>

#include "value/break_flag.h"

namespace kernels {

namespace {

// The amplitude the dense algorithms read for one basis state: the dot
// product of a unit basis vector with the state, +0 + (1 + 0i)·v.
Complex basisAmplitude(Complex v) {
  const Complex term = complexProduct(Complex{1.0, 0.0}, v);
  return Complex{0.0 + term.re, 0.0 + term.im};
}

size_t toIndex(int64_t n) { return static_cast<size_t>(n); }

}  // namespace

int64_t saturatingProduct(int64_t a, int64_t b) {
  if (a <= 0 || b <= 0) return 0;
  if (a > kSaturatedSize / b) return kSaturatedSize;
  return a * b;
}

int64_t dimensionProduct(const std::vector<int32_t>& dims, size_t begin, size_t end) {
  int64_t product = 1;
  for (size_t s = begin; s < end && s < dims.size(); ++s) product = saturatingProduct(product, dims[s]);
  return product;
}

void applyToSubsystem(const Matrix& g, int64_t high, int64_t low, const Matrix& v, Matrix& out) {
  const size_t gRows = toIndex(g.rows);
  const size_t gCols = toIndex(g.cols);
  const size_t blocks = toIndex(high);
  const size_t run = toIndex(low);
  const size_t outRows = blocks * gRows * run;
  const size_t inRows = toIndex(v.rows);
  out.setSize(static_cast<int32_t>(outRows), v.cols);
  out.setZero();
  // Each output entry is summed over the operator's columns in increasing
  // order, as the dense product does; a whole run of `low` entries that share
  // one operator entry is updated at a time so the inner loop is contiguous.
  BreakPoll poll;
  for (size_t col = 0; col < toIndex(v.cols); ++col) {
    const Complex* in = v.data.data() + col * inRows;
    Complex* result = out.data.data() + col * outRows;
    for (size_t a = 0; a < blocks; ++a) {
      for (size_t r = 0; r < gRows; ++r) {
        if (poll.stopAfter(gCols * run)) return;  // Ctrl-C: stop; the caller raises the break
        Complex* target = result + (a * gRows + r) * run;
        for (size_t k = 0; k < gCols; ++k) {
          const Complex entry = g.data[r + k * gRows];
          const Complex* source = in + (a * gCols + k) * run;
          for (size_t b = 0; b < run; ++b) {
            const Complex p = complexProduct(entry, source[b]);
            target[b].re += p.re;
            target[b].im += p.im;
          }
        }
      }
    }
  }
}

namespace {

// The operator at position k between the subsystems before it (high) and
// after it (low). A k outside the system replaces no factor: the whole
// system's identity, met as a 1 × 1 identity on a last, invisible subsystem.
struct Placement {
  bool inSystem;
  int64_t high;
  int64_t low;
};

Placement placement(const std::vector<int32_t>& dims, int32_t k) {
  if (k >= 0 && static_cast<size_t>(k) < dims.size()) {
    const size_t position = static_cast<size_t>(k);
    return Placement{true, dimensionProduct(dims, 0, position), dimensionProduct(dims, position + 1, dims.size())};
  }
  return Placement{false, dimensionProduct(dims, 0, dims.size()), 1};
}

// The identity of the whole system applied to [v]: an exact copy, -0,
// infinities and NaNs included (a product with the widened identity would
// turn inf into NaN through 0 · inf).
void copyAsIdentity(const Matrix& v, Matrix& out) {
  out.setSize(v.rows, v.cols);
  const size_t count = v.data.size();
  for (size_t first = 0; first < count; first += kBreakPollWork) {
    if (breakRequested()) return;  // Ctrl-C: stop; the caller raises the break
    const size_t last = std::min(count, first + kBreakPollWork);
    std::copy(v.data.begin() + first, v.data.begin() + last, out.data.begin() + first);
  }
}

}  // namespace

WidenedShape widenedShape(const std::vector<int32_t>& dims, int32_t k, const Matrix& g) {
  const Placement at = placement(dims, k);
  const int64_t rows = at.inSystem ? g.rows : 1;
  const int64_t cols = at.inSystem ? g.cols : 1;
  return WidenedShape{saturatingProduct(saturatingProduct(at.high, rows), at.low),
                      saturatingProduct(saturatingProduct(at.high, cols), at.low)};
}

void applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out) {
  const Placement at = placement(dims, k);
  if (at.inSystem) {
    applyToSubsystem(g, at.high, at.low, v, out);
  } else {
    copyAsIdentity(v, out);
  }
}

std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = toIndex(dims[measured]);
  const size_t outcomeStride = toIndex(dimensionProduct(dims, measured + 1, dims.size()));

  // The squared moduli in flat order first: one sequential pass over the
  // state, so the strided walk below reads half the memory.
  std::vector<double> squares(v.data.size());
  BreakPoll poll;
  for (size_t i = 0; i < squares.size(); ++i) {
    if (poll.stopAfter(1)) return {};  // Ctrl-C: stop; the caller raises the break
    squares[i] = squaredModulus(basisAmplitude(v.data[i]));
  }

  // The other subsystems as odometer wheels, lowest-numbered first (it turns
  // fastest). Wheels of dimension 1 never turn and are left out.
  struct Wheel {
    size_t size;
    size_t stride;
    size_t position;
  };
  std::vector<Wheel> wheels;
  size_t stride = 1;
  for (size_t s = dims.size(); s-- > 0;) {
    if (s != measured && dims[s] > 1) wheels.push_back(Wheel{toIndex(dims[s]), stride, 0});
    stride *= toIndex(dims[s]);
  }
  // Built from the last subsystem backwards; the odometer turns the first.
  std::vector<Wheel> odometer(wheels.rbegin(), wheels.rend());

  std::vector<double> p(outcomes, 0.0);
  size_t base = 0;
  const size_t steps = squares.size() / outcomes;
  for (size_t step = 0; step < steps; ++step) {
    if (poll.stopAfter(outcomes)) return {};  // Ctrl-C: stop; the caller raises the break
    for (size_t o = 0; o < outcomes; ++o) p[o] += squares[base + o * outcomeStride];
    for (Wheel& wheel : odometer) {
      base += wheel.stride;
      if (++wheel.position < wheel.size) break;
      base -= wheel.size * wheel.stride;
      wheel.position = 0;
    }
  }
  return p;
}

void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome, double pSq,
                       Matrix& out) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = toIndex(dims[measured]);
  const size_t blocks = toIndex(dimensionProduct(dims, 0, measured));
  const size_t run = toIndex(dimensionProduct(dims, measured + 1, dims.size()));
  out.setSize(v.rows, 1);
  out.setZero();
  BreakPoll poll;
  for (size_t a = 0; a < blocks; ++a) {
    if (poll.stopAfter(run)) return;  // Ctrl-C: stop; the caller raises the break
    const size_t first = (a * outcomes + static_cast<size_t>(outcome)) * run;
    for (size_t i = first; i < first + run; ++i) {
      const Complex amplitude = basisAmplitude(v.data[i]);
      // The dense collapse scales the unit basis vector by amplitude / pSq
      // and adds it to a zero vector: +0 plus the scaled unit entry.
      const Complex scaled = complexProduct(Complex{amplitude.re / pSq, amplitude.im / pSq}, Complex{1.0, 0.0});
      out.data[i] = Complex{0.0 + scaled.re, 0.0 + scaled.im};
    }
  }
}

}  // namespace kernels
